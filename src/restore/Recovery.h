// Putting the project back into a chosen state, at the end of a run whose new archive (the
// present state) has been written and checked. The project's files as listed at start-up
// are deleted, folders they leave empty are removed, and the chosen archive is extracted in
// their place with its folders and their times. Files that appeared after start-up are not
// touched; a folder holding an archive folder is never removed.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "platform/Result.h"
#include "store/Project.h"
#include "zip/ZipArchive.h"

namespace kp {

// The card's line while restoring: "Restoring 101203.1530c  ..".
std::string restoringCaption(const Project& project, const std::string& restoreArchive);

// On failure the project may be incomplete (RestoreFailed; WriteFailed when the restore could
// not be recorded, Internal when the archive cannot be read: then nothing was deleted); the
// caller names the archive that holds the state before the restore.
// keptIn, the archive holding the state before the restore, is recorded in the archive
// folder until the restore has finished, so that a run killed midway is told of later.
Result<void> recoverProject(const Project& project, const std::string& restoreArchive,
                            const std::string& keptIn = "");
// The same from an archive already opened (and checked) by the caller.
Result<void> recoverProject(const Project& project, ZipArchive& restoreArchive, const std::string& keptIn = "");

// A restore that did not finish: the archive it restored and the one holding the state before
// it (file names as in the archive folder).
struct UnfinishedRestore {
    std::string restored;
    std::string keptIn;
};

// Reads the record of a restore that did not finish and removes it; empty when there is none.
std::optional<UnfinishedRestore> takeUnfinishedRestore(const Project& project);

} // namespace kp
