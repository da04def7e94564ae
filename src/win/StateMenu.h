// The Tools page's context menu on the list of states (the right button, the menu key or
// Shift+F10): "Show changes…" and "Copy files out…" of the state under the pointer or the
// selected one.
#pragma once
#include <windows.h>

#include "engine/StatesModel.h"
#include "store/Project.h"

namespace kp::win {

// at: the WM_CONTEXTMENU position (screen), or -1, -1 from the keyboard.
void showStateMenu(HWND dialog, HWND list, const StatesModel& states, const Project& project, LPARAM at);

} // namespace kp::win
