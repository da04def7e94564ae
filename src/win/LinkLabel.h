// A label that acts as a link: underlined, in its window's link colour, with the hand
// cursor over it. The label needs SS_NOTIFY so that a click reaches its window.
#pragma once
#include <windows.h>

namespace kp::win {

void makeLink(HWND label);

} // namespace kp::win
