// The options window, shown modally when the run asks for it; returns what the user chose.
#pragma once
#include <windows.h>

#include "engine/Engine.h"

namespace kp::win {

OptionsChoice runOptionsDialog(HINSTANCE instance, HWND owner, Engine& engine);

} // namespace kp::win
