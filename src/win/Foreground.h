// Bringing a window of the program to the foreground, although the system grants the
// foreground only to the program the user last used: the foreground lock time-out is set
// to 0 for the moment, and the program's input is attached to the foreground window's
// thread while it asks.
#pragma once
#include <windows.h>

namespace kp::win {

// Returns whether the window got the foreground.
bool bringToForeground(HWND window);

} // namespace kp::win
