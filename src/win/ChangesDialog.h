// "Show changes…": what differs between a stored state and the project as it is now, with
// a filter box. Read-only towards the project and its archives.
#pragma once
#include <windows.h>

#include <string>

#include "store/Project.h"

namespace kp::win {

void runChangesDialog(HWND owner, const Project& project, const std::string& archive);

} // namespace kp::win
