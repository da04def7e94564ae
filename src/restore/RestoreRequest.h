// The checks of a request to put a stored state back. They change nothing on disk: they check
// that no project file is held open by another program and that the chosen archive is
// intact and safe to extract. The engine then arranges that the run first stores the present
// state (with a note in its comment) and replaces the project's files only after that new
// archive has passed its check.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "store/Project.h"
#include "zip/ZipArchive.h"

namespace kp {

// Relative paths of the project's files that another program has open.
std::vector<std::string> busyProjectFiles(const Project& project);

// True when an item name passes through an archive folder ("#tarnel" or "#arh" at any level).
// Such items are never extracted: they would overwrite stored states.
bool insideArchiveFolder(const std::string& itemName);

// Refused when the chosen archive must not be restored: an item whose data does not match
// its CRC, or one that would land outside the project or inside an archive folder. Internal
// when the archive cannot be read at all.
Result<void> restoreProblem(const Project& project, const std::string& archivePath);
// The same checks of the items' names and places alone (the directory, not the data).
std::string itemsProblem(const Project& project, const ZipArchive& zip);

// Refused, with the reason, when extracting the chosen archive could not finish; checked before anything is
// deleted, so a restore that would stop halfway is refused instead. freeSpace is what the
// project's volume has free now (-1 unknown): with the space the deleted files give back it
// must hold the state's files. What the archive alone tells (history/ExtractionCheck.h, and
// a relative record in an archive named as full) is checked first. A folder that would stay
// (it holds something the restore does not delete, such as a FIFO) where the state has a
// file, and anything but a folder where the state needs one block the restore too.
// Internal when the archive cannot be read.
Result<void> restoreBlocker(const Project& project, const std::string& archivePath, std::int64_t freeSpace);
Result<void> restoreBlocker(const Project& project, const ZipArchive& zip, std::int64_t freeSpace);

} // namespace kp
