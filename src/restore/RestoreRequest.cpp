#include "restore/RestoreRequest.h"

#include "platform/BusyFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Layout.h"
#include "store/Messages.h"
#include "zip/ArchiveCheck.h"
#include "store/ChangeDetection.h"
#include "zip/ItemNames.h"

namespace kp {

namespace {

// Every item must belong to the project: the folder project's own folder and what is in it,
// or the one file of a file project, besides the bookkeeping items.
bool belongsToProject(const Project& s, const std::string& name) {
    if (name == "_kpad_/" || isBookkeepingItem(name)) return true;
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

std::string restoreProblem(const Project& s, const std::string& archivePath) {
    {
        ZipArchive zip;
        zip.open(archivePath);
        for (std::size_t i = 0; i < zip.count(); ++i) {
            const ZipItem& item = zip.item(i);
            if (const std::string why = extractionProblem(item); !why.empty()) return item.fileName + ": " + why;
            if (!belongsToProject(s, item.fileName)) return item.fileName + ": not an item of this project";
            if (insideArchiveFolder(item.fileName)) return item.fileName + ": an item inside an archive folder";
        }
    }
    const std::vector<std::string> bad = verifyArchive(archivePath);
    return bad.empty() ? std::string() : bad.front();
}

} // namespace kp
