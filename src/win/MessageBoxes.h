// Every message the program shows goes through here: the title and icon follow the kind.
#pragma once
#include <windows.h>

#include <string>

#include "engine/Host.h"

namespace kp::win {

void showMessageBox(HWND owner, MessageKind kind, const std::string& text);

} // namespace kp::win
