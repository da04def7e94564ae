// The chooser of a start from the Start menu: the system's file dialog, taking a folder or
// a file. "Choose" (or Enter, or a double-click) on a file takes the file, and on a folder
// opens it; the "Choose folder" button takes the selected folder, or the folder shown when
// no folder is selected. Names that name nothing are refused by the dialog itself.
#pragma once
#include <string>

namespace kp::win {

// Shows the chooser where the last project lies (program form, "D:/work/Site"); returns the
// chosen path in the same form, or "" when the user cancelled. COM must be initialised.
std::string chooseProject(const std::string& lastProject);

} // namespace kp::win
