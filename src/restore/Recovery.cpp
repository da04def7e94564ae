#include "restore/Recovery.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/zip/ZipArchive.h"

namespace kp {

namespace {

void deleteListedFiles(const RunState& s) {
    for (auto it = s.projectFiles.rbegin(); it != s.projectFiles.rend(); ++it)
        if (!it->isFolder && existsAsFile(it->path)) removeFile(it->path);
}

bool holdsArchiveFolder(const std::string& folder) {
    return existsAsFolder(folder + "#tarnel") || existsAsFolder(folder + "#arh");
}

// From the last line to the first, so subfolders go before their parents; only empty
// folders can be removed, so anything created after start-up keeps its folder.
void removeEmptiedFolders(const RunState& s) {
    for (auto it = s.projectFiles.rbegin(); it != s.projectFiles.rend(); ++it)
        if (it->isFolder && existsAsFolder(it->path) && !holdsArchiveFolder(it->path))
            removeEmptyFolder(withoutTrailingSlash(it->path));
}

// Folder items give the folders their stored times. All missing folders are made first and
// the times set afterwards: making a subfolder would change its parent's time again.
void restoreFolders(const RunState& s, const ZipArchive& zip) {
    std::vector<std::pair<std::string, DosDateTime>> folders;
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        if (item.externalAttributes != 0x10) continue;
        const std::string name = withoutTrailingSlash(item.fileName);
        if (name == "_kpad_") continue;
        folders.emplace_back(s.projectPath + name, item.dosTime);
    }
    for (const auto& [path, time] : folders)
        if (!existsAsFolder(path)) makeFolder(path);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) setModificationTime(it->first, fromDosDateTime(it->second));
}

} // namespace

std::string restoringCaption(const RunState& s) {
    std::string stamp = fileNamePart(s.restoreArchive);
    if (stamp.size() >= 4) stamp.resize(stamp.size() - 4);
    return "Restoring " + replaceAll(stamp, s.projectName() + "-", "") + "  ..";
}

std::string recoverProject(const RunState& s) {
    deleteListedFiles(s);
    removeEmptiedFolders(s);
    try {
        ZipArchive zip;
        zip.open(s.restoreArchive);
        zip.setBaseDirectory(s.projectPath);
        zip.extractFilesEx("*", "_kpad_/*");
        restoreFolders(s, zip);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace kp
