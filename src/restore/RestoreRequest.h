// The checks of a request to put a stored state back. They change nothing on disk: they check
// that no project file is held open by another program and that the chosen archive is
// intact and safe to extract. The engine then arranges that the run first stores the present
// state (with a note in its comment) and replaces the project's files only after that new
// archive has passed its check.
#pragma once
#include <string>
#include <vector>

#include "store/Project.h"

namespace kp {

// Relative paths of the project's files that another program has open.
std::vector<std::string> busyProjectFiles(const Project& project);

// True when an item name passes through an archive folder ("#tarnel" or "#arh" at any level).
// Such items are never extracted: they would overwrite stored states.
bool insideArchiveFolder(const std::string& itemName);

// Why the chosen archive must not be restored, or empty: an item whose data does not match
// its CRC, or one that would land outside the project or inside an archive folder. Throws
// ArchiveError when the archive cannot be read at all.
std::string restoreProblem(const Project& project, const std::string& archivePath);

} // namespace kp
