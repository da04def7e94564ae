#include "restore/RestoreRequest.h"

#include <unordered_map>
#include <unordered_set>

#include "history/ExtractionCheck.h"
#include "history/ProjectState.h"
#include "platform/BusyFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Layout.h"
#include "store/Messages.h"
#include "store/ChangeDetection.h"
#include "zip/ItemNames.h"
#include "zip/KitResult.h"

namespace kp {

namespace {

// Every item must belong to the project: the folder project's own folder and what is in it,
// or the one file of a file project, besides the bookkeeping items.
bool belongsToProject(const Project& s, const std::string& name) {
    if (name == kBookkeepingPrefix || isBookkeepingItem(name)) return true;
    const std::string project = s.projectName();
    if (s.projectKind == ProjectKind::File) return name == project;
    return name.size() > project.size() && startsWith(name, project + "/");
}

} // namespace

bool insideArchiveFolder(const std::string& itemName) {
    // Any level counts: a subfolder may be a project of its own with its own archive folder,
    // and the listing leaves these names out at every depth, ignoring case.
    for (const std::string& part : split(itemName, '/'))
        if (equalsIgnoringCase(part, kArchiveFolderName) || equalsIgnoringCase(part, kOldArchiveFolderName))
            return true;
    return false;
}

std::vector<std::string> busyProjectFiles(const Project& s) {
    std::vector<std::string> busy;
    BusyFileCheck check;
    for (const ListingEntry& e : s.projectFiles) {
        if (e.isFolder || !existsAsFile(e.path)) continue;
        if (check.isBusy(e.path)) busy.push_back(e.path.substr(s.projectPath.size()));
    }
    return busy;
}

std::string itemsProblem(const Project& s, const ZipArchive& zip) {
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        if (const std::string why = extractionProblem(item); !why.empty()) return item.fileName + ": " + why;
        if (!belongsToProject(s, item.fileName)) return item.fileName + ": not an item of this project";
        if (insideArchiveFolder(item.fileName)) return item.fileName + ": an item inside an archive folder";
    }
    return {};
}

Result<void> restoreProblem(const Project& s, const std::string& archivePath) {
    {
        ZipArchive zip;
        if (Result<void> opened = openArchive(zip, archivePath); !opened) return opened.failure();
        if (std::string problem = itemsProblem(s, zip); !problem.empty())
            return Failure{FailureKind::Refused, std::move(problem), archivePath};
    }
    const Result<std::vector<std::string>> bad = verifyArchiveFile(archivePath);
    if (!bad) return bad.failure();
    if (!bad.value().empty()) return Failure{FailureKind::Refused, bad.value().front(), archivePath};
    return {};
}

namespace {

// What the restore's deletion leaves at a path: listed files go, listed links to folders go,
// listed folders go when nothing else is left in them and they hold no archive folder.
class AfterDeletion {
public:
    explicit AfterDeletion(const Project& s) {
        for (const ListingEntry& e : s.projectFiles) {
            const std::string path = withoutTrailingSlash(e.path);
            if (!e.isFolder) m_files.insert(path);
            else if (isSymbolicLink(path)) m_links.insert(path);
            else m_folders.insert(path);
        }
    }

    EntryKind at(const std::string& path) {
        switch (const EntryKind kind = entryKind(path)) {
        case EntryKind::File:
            return m_files.count(path) ? EntryKind::None : kind;
        case EntryKind::Link:
            if (m_files.count(path) || m_links.count(path)) return EntryKind::None;
            return existsAsFolder(path) ? EntryKind::Folder : kind;
        case EntryKind::Folder:
            return empties(path) ? EntryKind::None : kind;
        default:
            return kind;
        }
    }

private:
    bool empties(const std::string& folder) {
        if (const auto it = m_empties.find(folder); it != m_empties.end()) return it->second;
        bool empty = m_folders.count(folder) > 0;
        for (const std::string& name : empty ? entryNames(folder) : std::vector<std::string>{}) {
            if (equalsIgnoringCase(name, kArchiveFolderName) || equalsIgnoringCase(name, kOldArchiveFolderName) ||
                at(folder + "/" + name) != EntryKind::None) {
                empty = false;
                break;
            }
        }
        m_empties[folder] = empty;
        return empty;
    }

    std::unordered_set<std::string> m_files, m_links, m_folders;
    std::unordered_map<std::string, bool> m_empties;
};

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB"; }

// Why extracting the state would stop halfway, or empty (see restoreBlocker).
std::string extractionBlocker(const Project& s, const ZipArchive& zip, std::int64_t freeSpace) {
    std::vector<ItemToWrite> written;
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        if (!isBookkeepingItem(item.fileName) && item.fileName != kBookkeepingPrefix && !insideArchiveFolder(item.fileName))
            written.push_back({&zip, &item});
    }
    if (std::string problem = extractionCheck(written, maxNameLength(s.projectPath)); !problem.empty()) return problem;

    AfterDeletion after(s);
    std::unordered_set<std::string> foldersChecked;
    std::uint64_t needed = 0;
    for (const ItemToWrite& w : written) {
        const ZipItem& item = *w.item;
        const std::string name = withoutTrailingSlash(item.fileName);
        const std::vector<std::string> parts = split(name, '/');
        std::string path = withoutTrailingSlash(s.projectPath);
        for (std::size_t k = 0; k < parts.size(); ++k) {
            path += "/" + parts[k];
            const bool isFolder = k + 1 < parts.size() || item.isFolder();
            if (!isFolder) break;
            if (!foldersChecked.insert(path).second) continue;
            const EntryKind kind = after.at(path);
            if (kind != EntryKind::None && kind != EntryKind::Folder)
                return "the file " + displayText(path) + " stands where the state has a folder";
        }
        if (item.isFolder()) continue;
        if (after.at(path) == EntryKind::Folder)
            return "the folder " + displayText(path) + " holds what the restore does not remove, where the state has a file";
        needed += item.uncompressedSize;
    }
    std::uint64_t freed = 0;
    for (const ListingEntry& e : s.projectFiles)
        if (!e.isFolder && e.size > 0) freed += std::uint64_t(e.size);
    if (freeSpace >= 0 && needed > std::uint64_t(freeSpace) + freed)
        return "the state needs " + megabytes(needed) + " of disk space; " + megabytes(std::uint64_t(freeSpace) + freed) +
               " can be had";
    return {};
}

} // namespace

Result<void> restoreBlocker(const Project& s, const std::string& archivePath, std::int64_t freeSpace) {
    ZipArchive zip;
    if (Result<void> opened = openArchive(zip, archivePath); !opened) return opened.failure();
    return restoreBlocker(s, zip, freeSpace);
}

Result<void> restoreBlocker(const Project& s, const ZipArchive& zip, std::int64_t freeSpace) {
    if (Result<void> named = checkFullName(s, zip.fileName(), zip); !named) return named;
    if (std::string problem = extractionBlocker(s, zip, freeSpace); !problem.empty())
        return Failure{FailureKind::Refused, std::move(problem), zip.fileName()};
    return {};
}

} // namespace kp
