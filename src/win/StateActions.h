// What the Tools page does with one stored state beyond showing it: the context menu on the
// list (the right button, the menu key or Shift+F10) with "Show changes…" and "Copy files
// out…" of the state under the pointer or the selected one, and a double click, which opens
// the state's archive with the program the system associates with it.
#pragma once
#include <windows.h>

#include "engine/StatesModel.h"
#include "store/Project.h"

namespace kp::win {

// at: the WM_CONTEXTMENU position (screen), or -1, -1 from the keyboard.
void showStateMenu(HWND dialog, HWND list, const StatesModel& states, const Project& project, LPARAM at);

// A state's comment that could not be read: the archive is missing (with a beep) or the kit
// failed. Told only while the list is on screen.
void tellUnreadComment(HWND dialog, const StateComment& comment);

// A double click on the list's row.
void openStateArchive(HWND dialog, HWND list, const StatesModel& states);

} // namespace kp::win
