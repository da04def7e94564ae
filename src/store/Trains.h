// Finding a project's archives and thinning them by trains.
//
// The full archives (change and version archives) form the major train of length L; the
// plain archives after each full archive form its minor train. At the end of a run only
// the L newest full archives stay, plain archives only after the N + 1 newest full ones
// (N = (L + 1) / 2), and never more than C = L x capacity factor plain archives in all.
// Version archives that drop out of the major train move to the archive folder's
// "repository" subfolder, which is never thinned.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "store/ArchiveNames.h"
#include "store/Layout.h"

namespace kp {


struct ArchiveLists {
    std::vector<std::string> projectArchives; // full paths in the archive folder, oldest first
    std::vector<ArchiveRef> allOwnArchives;   // archive folder and repository, oldest first
    std::vector<std::string> storedStates;    // the full archives of allOwnArchives, full paths
    std::vector<std::string> enclosingStates; // full archives of this and every enclosing folder project
    std::string lastVersion = "0.0.1";        // of the newest version archive among storedStates
};

// One archive folder and the project name whose archives it is searched for.
struct ArchiveSearchLevel {
    std::string folder;
    std::string projectName;
};

// The levels FindArchives searches: the project's own archive folder, then the archive
// folder of every enclosing folder project, up to but excluding the root's "/#tarnel". A
// one-file project's next level is the same archive folder under its folder's name,
// because a file project shares the archive folder of the folder that holds it.
std::vector<ArchiveSearchLevel> archiveSearchLevels(const std::string& archiveFolder,
                                                    const std::string& projectName);

// Lists the archives of a project: regular files in the archive folder (and its
// repository subfolder) whose names begin with the project name, exactly as spelled (on
// Linux "Site" and "site" are different projects), and whose tails are valid for today.
// onLevel runs once per searched level, so a caller can keep a window responsive.
ArchiveLists FindArchives(const std::string& archiveFolder, const std::string& repositoryName,
                          const std::string& projectName, const Clock& clock,
                          const std::function<void()>& onLevel = {});

// True when a project without a status already has trainLength1 full archives in its
// archive folder or capacityFactor x trainLength1 plain archives: the user must choose a
// status before the next store.
bool TrainsFull(std::size_t allOwnCount, std::size_t storedCount, std::size_t projectCount, int trainLength1,
                int capacityFactor);

struct ThinOutcome {
    std::vector<std::string> deleted;               // plain and change archives removed
    std::vector<std::string> movedToRepository;     // version archives copied, then removed
    std::vector<std::string> keptBecauseCopyFailed; // version archives whose copy failed
    std::vector<std::string> notRemoved;            // marked archives the file system kept
};

// Copies a file completely or not at all; returns whether it did.
using FileCopier = std::function<bool(const std::string& source, const std::string& target)>;

// Thins the archive folder after a store. projectArchives are the full paths found at
// start-up (oldest first), newArchiveName the archive just written (never removed);
// datePos is the 1-based byte position of the date in an archive's file name. A marked
// version archive is removed only after its copy in the repository is complete (it has the
// original's size), so thinning never loses a version. Paths in the outcome are full paths
// in the archive folder.
ThinOutcome ThinArchives(const std::vector<std::string>& projectArchives, const std::string& newArchiveName,
                         int datePos, int trainLength, int capacityFactor, const std::string& archiveFolder,
                         const FileCopier& copier = {});

} // namespace kp
