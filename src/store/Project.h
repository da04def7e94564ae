// The project as the store and restore code see it: where it is, what it holds and which
// archives it has. The run state extends it with what one run decides; functions below the
// engine take only this.
#pragma once
#include <string>

#include "store/ProjectListing.h"
#include "store/Trains.h"

#include "store/IgnoreRules.h"

namespace kp {

enum class ProjectKind { File = 1, Folder = 2 };

struct Project {
    std::string param;              // the parameter as checked, without a trailing "/"
    ProjectKind projectKind = ProjectKind::File;
    std::string projectPath = ".";  // the folder holding the project item, ending in "/"
    std::string projectBaseName;    // the item's name before its last "."
    std::string projectExt;         // from the last "." on, or empty
    std::string archiveFolder;
    ProjectListing projectFiles;
    std::vector<UnreadableItem> unreadable; // what the listing could not read
    ArchiveLists archives;

    std::string projectName() const { return projectBaseName + projectExt; }
};

// The project's items as a run lists them: a one-file project is that file alone, a folder
// project everything beneath it but the archive folders. kpad diff and the windows list the
// present state the same way.
// When options.ignore is not given, a folder project's ignore file is read and applied.
ProjectListing listProjectItems(const Project& project, ScanOptions options = {});

// The rules of a folder project's ignore file; none for a one-file project or without one.
inline constexpr std::size_t kMaxIgnoreFileBytes = 1 << 20;
IgnoreRules readIgnoreRules(const Project& project);

} // namespace kp
