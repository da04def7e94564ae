// Hiding the archive folder. Linux has no hidden attribute; file managers hide the names
// listed in a ".hidden" file of the parent folder.
#pragma once
#include <string>

namespace kp {

// hidden: adds the folder's name to its parent's ".hidden"; otherwise removes it from there
// and deletes ".hidden" when nothing is left in it. Never writes a ".hidden" that would not
// hide anything. Returns false when the file could not be written.
bool setFolderHidden(const std::string& folder, bool hidden);

} // namespace kp
