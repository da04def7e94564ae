#include "restore/Recovery.h"

#include <optional>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "restore/RestoreRequest.h"
#include "store/ChangeDetection.h"
#include "store/Layout.h"
#include "zip/KitResult.h"

namespace kp {

namespace {

// The listing follows symbolic links, so it holds paths beyond linked folders. What lies
// beyond a link is not the project's to delete: only the link itself is removed.
class LinkGuard {
public:
    explicit LinkGuard(const Project& s) {
        for (const ListingEntry& e : s.projectFiles)
            if (e.isFolder && isSymbolicLink(withoutTrailingSlash(e.path))) m_linkedFolders.insert(e.path);
    }
    bool isLink(const ListingEntry& e) const { return m_linkedFolders.count(e.path) > 0; }
    bool beyondLink(const std::string& path) const {
        for (auto slash = path.find('/', 1); slash != std::string::npos && slash + 1 < path.size();
             slash = path.find('/', slash + 1))
            if (m_linkedFolders.count(path.substr(0, slash + 1))) return true;
        return false;
    }

private:
    std::unordered_set<std::string> m_linkedFolders;
};

void deleteListedFiles(const Project& s, const LinkGuard& links) {
    for (auto it = s.projectFiles.rbegin(); it != s.projectFiles.rend(); ++it)
        if (!it->isFolder && !links.beyondLink(it->path) && pathExists(it->path) && !existsAsFolder(it->path))
            removeFile(it->path);
}

bool holdsArchiveFolder(const std::string& folder) {
    return existsAsFolder(folder + kArchiveFolderName) || existsAsFolder(folder + kOldArchiveFolderName);
}

// From the last line to the first, so subfolders go before their parents; only empty
// folders can be removed, so anything created after start-up keeps its folder.
void removeEmptiedFolders(const Project& s, const LinkGuard& links) {
    for (auto it = s.projectFiles.rbegin(); it != s.projectFiles.rend(); ++it) {
        if (!it->isFolder || links.beyondLink(it->path)) continue;
        if (links.isLink(*it)) removeFile(withoutTrailingSlash(it->path));
        else if (existsAsFolder(it->path) && !holdsArchiveFolder(it->path)) removeEmptyFolder(withoutTrailingSlash(it->path));
    }
}

// Folder items give the folders their stored times and modes. All missing folders are made
// first and the times set afterwards: making a subfolder would change its parent's time again.
// Modes come last, once nothing more is made inside: a folder stored read-only would refuse it.
// Folder items are found as every tool writes them: by the folder attribute or a trailing "/".
void restoreFolders(const Project& s, const ZipArchive& zip) {
    struct Folder {
        std::string path;
        DosDateTime time;
        std::optional<std::uint32_t> mode;
    };
    std::vector<Folder> folders;
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        if (!item.isFolder()) continue;
        const std::string name = withoutTrailingSlash(item.fileName);
        if (name == kBookkeepingFolder) continue;
        std::optional<std::uint32_t> mode;
        if (item.hasUnixMode()) mode = item.unixMode();
        folders.push_back({s.projectPath + name, item.dosTime, mode});
    }
    for (const Folder& f : folders)
        if (!existsAsFolder(f.path)) makeFolder(f.path);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) setModificationTime(it->path, fromDosDateTime(it->time));
    for (const Folder& f : folders)
        if (f.mode) setPermissions(f.path, *f.mode);
}

// The request's check refuses archives with such items; this keeps the extraction itself
// from ever writing into an archive folder, whatever archive reaches it. Dropping items
// from the opened archive changes only what this object extracts, never the file.
void leaveOutArchiveFolders(ZipArchive& zip) {
    zip.deleteItemsIf([](const ZipItem& item) { return insideArchiveFolder(item.fileName); });
}

// What the project's ignore file leaves out was never the state's to manage: a restore writes
// none of it, even from a state stored before the rule was written. The rules are the ones
// in the project before the restore, since the restore may replace the ignore file itself.
void leaveOutIgnoredItems(ZipArchive& zip, const Project& s, const IgnoreRules& rules) {
    if (rules.empty()) return;
    const std::string top = s.projectName() + "/";
    zip.deleteItemsIf([&](const ZipItem& item) {
        return item.fileName.starts_with(top) &&
               rules.matchWithParents(std::string_view(item.fileName).substr(top.size()), item.isFolder());
    });
}

// Extraction can succeed without writing what it should (a target that was not where the
// project is): every file of the state must be in place afterwards.
std::string missingAfterExtraction(const Project& s, const ZipArchive& zip) {
    std::size_t missing = 0;
    std::string first;
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        if (item.isFolder() || isBookkeepingItem(item.fileName)) continue;
        if (existsAsFile(s.projectPath + item.fileName)) continue;
        if (missing++ == 0) first = item.fileName;
    }
    if (missing == 0) return {};
    return std::to_string(missing) + " file(s) of the state are not in the project after extracting them, such as " +
           displayText(first);
}

std::string markerPath(const Project& s) { return s.archiveFolder + "/" + s.projectName() + kRestoreMarkerSuffix; }

} // namespace

std::optional<UnfinishedRestore> takeUnfinishedRestore(const Project& s) {
    std::string text;
    if (!readRegularFile(markerPath(s), 1u << 16, text)) return std::nullopt;
    removeFile(markerPath(s));
    const std::vector<std::string> lines = split(text, '\n');
    UnfinishedRestore r;
    if (lines.size() > 0) r.restored = lines[0];
    if (lines.size() > 1) r.keptIn = lines[1];
    return r;
}

std::string restoringCaption(const Project& s, const std::string& restoreArchive) {
    std::string stamp = fileNamePart(restoreArchive);
    if (stamp.size() >= 4) stamp.resize(stamp.size() - 4);
    return "Restoring " + replaceAll(stamp, s.projectName() + "-", "") + "  ..";
}

Result<void> recoverProject(const Project& s, const std::string& restoreArchive, const std::string& keptIn) {
    ZipArchive zip;
    if (Result<void> opened = openArchive(zip, restoreArchive); !opened) return opened.failure(); // nothing was deleted
    return recoverProject(s, zip, keptIn);
}

Result<void> recoverProject(const Project& s, ZipArchive& zip, const std::string& keptIn) {
    const std::string restoreArchive = zip.fileName();
    const std::string record = fileNamePart(restoreArchive) + "\n" + fileNamePart(keptIn) + "\n";
    if (Result<void> marked = saveFileAtomically(markerPath(s), record); !marked)
        return Failure{FailureKind::WriteFailed,
                       "cannot record the restore in " + s.archiveFolder + ": " + marked.failure().text, markerPath(s)};
    const IgnoreRules ignoreRules = readIgnoreRules(s);
    const LinkGuard links(s);
    deleteListedFiles(s, links);
    removeEmptiedFolders(s, links);
    // From here on a failure leaves the record: the project is still incomplete.
    leaveOutArchiveFolders(zip);
    leaveOutIgnoredItems(zip, s, ignoreRules);
    zip.setBaseDirectory(s.projectPath);
    if (Result<void> extracted = extractItems(zip, "*", std::string(kBookkeepingPrefix) + "*"); !extracted)
        return extracted;
    restoreFolders(s, zip);
    if (std::string missing = missingAfterExtraction(s, zip); !missing.empty())
        return Failure{FailureKind::RestoreFailed, std::move(missing), restoreArchive};
    removeFile(markerPath(s));
    return {};
}

} // namespace kp
