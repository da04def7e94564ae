#include "store/Trains.h"

#include <algorithm>

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace kp {

namespace {

constexpr const char* kDefaultVersion = "0.0.1";

std::string parentOf(const std::string& path) {
    const std::size_t pos = path.rfind('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

// Regular files of folder whose names begin with projectName, byte for byte.
void addArchiveCandidates(std::vector<ArchiveRef>& out, const std::string& folder,
                          const std::string& projectName) {
    for (const FileInfo& entry : listFolder(folder)) {
        if (entry.isFolder || !entry.name.starts_with(projectName)) continue;
        out.push_back({entry.name.substr(projectName.size()), folder + "/" + projectName});
    }
}

std::vector<std::string> fullPathsOfFullArchives(const std::vector<ArchiveRef>& refs) {
    std::vector<std::string> out;
    for (const ArchiveRef& r : refs)
        if (isFullArchiveTail(r.tail)) out.push_back(r.fullPath());
    return out;
}

// The version of the newest full archive that is a version archive; the search stops
// there even when its version text cannot be read.
std::string lastVersionOf(const std::vector<ArchiveRef>& allOwn) {
    for (auto it = allOwn.rbegin(); it != allOwn.rend(); ++it) {
        if (!isFullArchiveTail(it->tail) || it->tail.size() < 16) continue;
        if (!equalsIgnoringCase(it->tail.substr(13, 3), "-v.")) continue;
        const std::string version = versionOfTail(it->tail);
        return version.empty() ? kDefaultVersion : version;
    }
    return kDefaultVersion;
}

int todayOf(const Clock& clock) {
    const LocalTime now = clock.localNow();
    return yymmddOf(now.year, now.month, now.day);
}

enum class ArchiveClass { Other, Plain, Change, Version };

// "." or "c" right after the time, and "-v." after the "c" for a version archive. Letter
// case is ignored as the archive search ignores it: a version archive named "C-V." by hand
// must be copied to the repository like any other, not dropped by the major train.
ArchiveClass classify(const std::string& name, std::size_t datePos) {
    const std::size_t suffix = datePos + 10; // 0-based index of the character after hhnn
    if (name.size() <= suffix) return ArchiveClass::Other;
    if (name[suffix] == '.') return ArchiveClass::Plain;
    if (name[suffix] != 'c' && name[suffix] != 'C') return ArchiveClass::Other;
    if (name.size() > suffix + 3 && equalsIgnoringCase(name.substr(suffix + 1, 3), "-v.")) return ArchiveClass::Version;
    return ArchiveClass::Change;
}

bool sameSize(const std::string& a, const std::string& b) {
    const auto ia = statPath(a), ib = statPath(b);
    return ia && ib && !ia->isFolder && !ib->isFolder && ia->size == ib->size;
}

struct TrainIndex {
    std::vector<std::size_t> plain, change, version; // ascending positions; change includes version
};

TrainIndex indexTrains(const std::vector<std::string>& names, std::size_t datePos) {
    TrainIndex t;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const ArchiveClass c = classify(names[i], datePos);
        if (c == ArchiveClass::Plain) t.plain.push_back(i);
        if (c == ArchiveClass::Change || c == ArchiveClass::Version) t.change.push_back(i);
        if (c == ArchiveClass::Version) t.version.push_back(i);
    }
    return t;
}

std::vector<bool> markForRemoval(const TrainIndex& t, std::size_t count, std::size_t L, std::size_t factor) {
    std::vector<bool> marked(count, false);
    // Major train: everything older than the L-th newest full archive goes.
    if (t.change.size() > L) {
        const std::size_t k = t.change[t.change.size() - L];
        for (std::size_t i = 0; i < k; ++i)
            marked[i] = true;
    }
    // Minor trains: plain archives survive only after the (N+1)-th newest full archive.
    const std::size_t N = (L + 1) / 2;
    if (t.change.size() > N) {
        const std::size_t k = t.change[t.change.size() - N - 1];
        for (std::size_t i : t.plain)
            if (i <= k) marked[i] = true;
    }
    // Capacity: at most C plain archives, the newest ones.
    const std::size_t C = L * factor;
    if (t.plain.size() > C)
        for (std::size_t j = 0; j < t.plain.size() - C; ++j)
            marked[t.plain[j]] = true;
    // The only version archive of a project is never removed.
    if (t.version.size() == 1) marked[t.version.front()] = false;
    if (count > 0) marked[count - 1] = false; // the archive just written
    return marked;
}

} // namespace

std::vector<ArchiveSearchLevel> archiveSearchLevels(const std::string& archiveFolder,
                                                    const std::string& projectName) {
    std::string folder = withoutTrailingSlash(archiveFolder);
    const std::string archiveFolderName = fileNamePart(folder);
    const std::string rootArchiveFolder = "/" + archiveFolderName;
    std::string project = projectName;
    std::vector<ArchiveSearchLevel> levels;
    do {
        levels.push_back({folder, project});
        std::string owner = parentOf(folder);
        if (fileNamePart(owner) != project) {
            project = fileNamePart(owner); // a file project: its folder shares this archive folder
        } else {
            owner = parentOf(owner);
            project = fileNamePart(owner);
        }
        folder = owner + "/" + archiveFolderName;
    } while (folder.size() > rootArchiveFolder.size());
    return levels;
}

ArchiveLists FindArchives(const std::string& archiveFolder, const std::string& repositoryName,
                          const std::string& projectName, const Clock& clock,
                          const std::function<void()>& onLevel) {
    const int today = todayOf(clock);
    ArchiveLists lists;
    std::vector<ArchiveRef> all;
    std::vector<ArchiveRef> own;
    bool first = true;
    for (const ArchiveSearchLevel& level : archiveSearchLevels(archiveFolder, projectName)) {
        addArchiveCandidates(all, level.folder, level.projectName);
        if (first) {
            std::vector<ArchiveRef> inFolder = all;
            ValidateArchiveNames(inFolder, today);
            for (const ArchiveRef& r : inFolder)
                lists.projectArchives.push_back(r.fullPath());
        }
        addArchiveCandidates(all, level.folder + "/" + repositoryName, level.projectName);
        if (first) {
            own = all;
            ValidateArchiveNames(own, today);
        }
        first = false;
        if (onLevel) onLevel();
    }
    ValidateArchiveNames(all, today);
    lists.storedStates = fullPathsOfFullArchives(own);
    lists.enclosingStates = fullPathsOfFullArchives(all);
    lists.lastVersion = lastVersionOf(own);
    lists.allOwnArchives = std::move(own);
    return lists;
}

bool TrainsFull(std::size_t allOwnCount, std::size_t storedCount, std::size_t projectCount, int trainLength1,
                int capacityFactor) {
    const long long plain = static_cast<long long>(allOwnCount) - static_cast<long long>(storedCount);
    const long long fullInFolder = static_cast<long long>(projectCount) - plain;
    return plain >= static_cast<long long>(capacityFactor) * trainLength1 || fullInFolder >= trainLength1;
}

ThinOutcome ThinArchives(const std::vector<std::string>& projectArchives, const std::string& newArchiveName,
                         int datePos, int trainLength, int capacityFactor, const std::string& archiveFolder,
                         const FileCopier& copier) {
    ThinOutcome outcome;
    if (datePos < 1) return outcome;
    std::vector<std::string> names;
    for (const std::string& path : projectArchives)
        names.push_back(fileNamePart(path));
    names.push_back(fileNamePart(newArchiveName));

    const std::size_t L = static_cast<std::size_t>(std::clamp(trainLength, 1, 20));
    const std::size_t factor = static_cast<std::size_t>(std::clamp(capacityFactor, 1, 5));
    const TrainIndex trains = indexTrains(names, static_cast<std::size_t>(datePos));
    std::vector<bool> marked = markForRemoval(trains, names.size(), L, factor);

    const std::string repository = archiveFolder + "/" + kRepositoryName;
    const FileCopier copy = copier ? copier : FileCopier(copyFileDurably);
    std::vector<bool> moved(names.size(), false);
    for (std::size_t i : trains.version) {
        if (!marked[i]) continue;
        const std::string source = archiveFolder + "/" + names[i], target = repository + "/" + names[i];
        // The original goes only once a complete copy stands in the repository.
        const bool copied = makeFolder(repository) && copy(source, target);
        if (copied && sameSize(source, target)) {
            moved[i] = true;
            continue;
        }
        // A short copy would be listed as a stored state of its own; only the original counts.
        if (copied) removeFile(target);
        marked[i] = false;
        outcome.keptBecauseCopyFailed.push_back(source);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!marked[i]) continue;
        const std::string path = archiveFolder + "/" + names[i];
        if (!removeFile(path))
            outcome.notRemoved.push_back(path);
        else
            (moved[i] ? outcome.movedToRepository : outcome.deleted).push_back(path);
    }
    return outcome;
}

} // namespace kp
