#include "history/ProjectState.h"

#include <algorithm>
#include <unordered_set>

#include "history/StateRecord.h"
#include "platform/FileSystem.h"
#include "store/ChangeDetection.h"
#include "store/Layout.h"
#include "store/ProjectListing.h"
#include "zip/KitResult.h"

namespace kp {

namespace {

StateEntry entryOf(const ZipItem& item, const std::string& archive) {
    StateEntry e;
    e.path = item.fileName;
    e.isFolder = item.isFolder();
    e.size = e.isFolder ? 0 : item.uncompressedSize;
    e.dosTime = item.dosTime;
    e.crc32 = item.crc32;
    e.hasCrc = !e.isFolder;
    e.archive = archive;
    return e;
}

void sortByPath(std::vector<StateEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const StateEntry& a, const StateEntry& b) { return a.path < b.path; });
}

// The state's record; an archive without one holds a full state.
Result<StateRecord> readRecord(const ZipArchive& zip) {
    if (zip.findFile(kProjectSetItem) < 0) return StateRecord::parse({});
    Result<std::string> text = readItemText(zip, kProjectSetItem);
    if (!text) return text.failure();
    return StateRecord::parse(text.value());
}

// The primary a relative state names, among the project's own archives (a name from an
// archive is never taken as a path of its own). A version archive that dropped out of the
// major train lives on in the repository under the same name.
const ArchiveRef* primaryRef(const Project& project, const std::string& named) {
    for (const std::string& candidate : {project.archiveFolder + "/" + named,
                                         project.archiveFolder + "/" + kRepositoryName + "/" + named}) {
        for (const ArchiveRef& ref : project.archives.allOwnArchives)
            if (ref.fullPath() == candidate) return &ref;
    }
    return nullptr;
}

std::string primaryProblem(const ArchiveRef* primary, const std::string& named, const std::string& archive) {
    if (!primary)
        return "The primary archive " + named + " of the state " + fileNamePart(archive) +
               " is not among the project's archives.";
    if (!isFullArchiveTail(primary->tail))
        return "The primary archive " + named + " of the state " + fileNamePart(archive) +
               " is not a full archive.";
    return {};
}

bool namedAsFull(const Project& project, const std::string& archive) {
    for (const ArchiveRef& ref : project.archives.allOwnArchives)
        if (ref.fullPath() == archive) return isFullArchiveTail(ref.tail);
    return false;
}

std::string asSentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    return text + ".";
}

} // namespace

std::string fullNameProblem(const Project& project, const std::string& archive, const StateRecord& record) {
    if (!namedAsFull(project, archive) || !record.isRelative()) return {};
    return "the archive " + fileNamePart(archive) + " is named as a full state, but its record says it holds only "
           "the changes since " + record.primaryArchive() + "; it was renamed or is damaged";
}

Result<void> checkFullName(const Project& project, const std::string& archive, const ZipArchive& zip) {
    const Result<StateRecord> record = readRecord(zip);
    if (!record) return record.failure();
    if (std::string problem = fullNameProblem(project, archive, record.value()); !problem.empty())
        return Failure{FailureKind::Refused, std::move(problem), archive};
    return {};
}

std::vector<std::string> projectStates(const Project& project) {
    std::vector<std::string> states;
    for (const ArchiveRef& ref : project.archives.allOwnArchives)
        states.push_back(ref.fullPath());
    return states;
}

std::string findState(const Project& project, const std::string& nameOrPathAsGiven) {
    const std::string nameOrPath = portablePath(nameOrPathAsGiven); // "D:\x\#tarnel\a.zip" on Windows
    const std::vector<std::string> states = projectStates(project);
    for (const std::string& s : states)
        if (s == nameOrPath) return s;
    // A bare file name: the archive folder's archive before a repository copy of the same name.
    for (auto it = states.rbegin(); it != states.rend(); ++it)
        if (fileNamePart(*it) == nameOrPath && folderPart(*it) == project.archiveFolder + "/") return *it;
    for (auto it = states.rbegin(); it != states.rend(); ++it)
        if (fileNamePart(*it) == nameOrPath) return *it;
    return {};
}

Result<std::string> primaryArchiveOf(const Project& project, const std::string& archive, const std::string& named) {
    const ArchiveRef* ref = primaryRef(project, named);
    if (std::string problem = primaryProblem(ref, named, archive); !problem.empty())
        return Failure{FailureKind::Refused, std::move(problem), archive};
    return ref->fullPath();
}

Result<void> openStoredArchive(ZipArchive& zip, const std::string& archive) {
    if (!existsAsFile(archive)) return Failure{FailureKind::Internal, "The archive " + archive + " can't be found.", archive};
    return openArchive(zip, archive);
}

namespace {

// A relative state's items from its primary archive: those the state neither holds itself
// nor lists as missing.
Result<void> addPrimaryEntries(const Project& project, const StateRecord& record, ProjectState& state) {
    Result<std::string> primaryPath = primaryArchiveOf(project, state.archive, record.primaryArchive());
    if (!primaryPath) return primaryPath.failure();
    state.primary = primaryPath.value();
    std::unordered_set<std::string> own;
    for (const StateEntry& e : state.entries)
        own.insert(e.path);
    ZipArchive primary;
    if (Result<void> opened = openStoredArchive(primary, state.primary); !opened) return opened;
    for (std::size_t i = 0; i < primary.count(); ++i) {
        const ZipItem& item = primary.item(i);
        if (isBookkeepingItem(item.fileName) || own.count(item.fileName) || record.isMissing(item.fileName)) continue;
        state.entries.push_back(entryOf(item, state.primary));
    }
    return {};
}

} // namespace

Result<ProjectState> readStoredState(const Project& project, const std::string& archive) {
    ZipArchive zip;
    return readStoredState(project, archive, zip);
}

Result<ProjectState> readStoredState(const Project& project, const std::string& archive, ZipArchive& zip) {
    ProjectState state;
    state.archive = archive;
    if (Result<void> opened = openStoredArchive(zip, archive); !opened) return opened.failure();
    const Result<StateRecord> record = readRecord(zip);
    if (!record) return record.failure();
    if (const std::string problem = fullNameProblem(project, archive, record.value()); !problem.empty())
        return Failure{FailureKind::Refused, asSentence(problem), archive};
    state.entries.reserve(zip.count());
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        if (!isBookkeepingItem(item.fileName)) state.entries.push_back(entryOf(item, archive));
    }
    if (record.value().isRelative())
        if (Result<void> added = addPrimaryEntries(project, record.value(), state); !added) return added.failure();
    sortByPath(state.entries);
    return state;
}

ProjectState presentState(const Project& project) {
    const ProjectListing listing = listProjectItems(project);
    ProjectState state;
    state.folder = project.projectPath;
    state.entries.reserve(listing.size());
    for (const ListingEntry& l : listing) {
        if (!l.hasValue || l.isDriveRoot) continue;
        StateEntry e;
        e.path = l.path.substr(project.projectPath.size());
        e.isFolder = l.isFolder;
        e.size = l.isFolder ? 0 : std::uint64_t(l.size);
        e.dosTime = l.dosTime;
        state.entries.push_back(std::move(e));
    }
    sortByPath(state.entries);
    return state;
}

} // namespace kp
