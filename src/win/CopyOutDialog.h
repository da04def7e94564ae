// "Copy files out…": chosen files of a stored state copied into a folder of the user's
// choice, without touching the project or its archives.
#pragma once
#include <windows.h>

#include <string>

#include "store/Project.h"

namespace kp::win {

void runCopyOutDialog(HWND owner, const Project& project, const std::string& archive);

} // namespace kp::win
