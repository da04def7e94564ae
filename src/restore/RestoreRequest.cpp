#include "restore/RestoreRequest.h"

#include "platform/BusyFile.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/ArchiveCheck.h"
#include "store/ChangeDetection.h"
#include "store/zip/ItemNames.h"

namespace kp {

namespace {

// Every item must belong to the project: the folder project's own folder and what is in it,
// or the one file of a file project, besides the bookkeeping items.
bool belongsToProject(const RunState& s, const std::string& name) {
    if (name == "_kpad_/" || isBookkeepingItem(name)) return true;
    const std::string project = s.projectName();
    if (s.projectKind == ProjectKind::File) return name == project;
    return name.size() > project.size() && startsWith(name, project + "/");
}

} // namespace

std::string restoreNote(const std::string& archiveFileName) {
    return "After this archive creation, the archive\r\n " + archiveFileName + " " + "\r\n" + "was restored." +
           "\r\n" + "\r\n";
}

std::vector<std::string> busyProjectFiles(const RunState& s) {
    std::vector<std::string> busy;
    BusyFileCheck check;
    for (const ListingEntry& e : s.projectFiles) {
        if (e.isFolder || !existsAsFile(e.path)) continue;
        if (check.isBusy(e.path)) busy.push_back(e.path.substr(s.projectPath.size()));
    }
    return busy;
}

std::string restoreProblem(const RunState& s, const std::string& archivePath) {
    {
        ZipArchive zip;
        zip.open(archivePath);
        for (std::size_t i = 0; i < zip.count(); ++i) {
            const ZipItem& item = zip.item(i);
            if (const std::string why = extractionProblem(item); !why.empty()) return item.fileName + ": " + why;
            if (!belongsToProject(s, item.fileName)) return item.fileName + ": not an item of this project";
        }
    }
    const std::vector<std::string> bad = verifyArchive(archivePath);
    return bad.empty() ? std::string() : bad.front();
}

bool requestRestore(RunState& s, const std::string& archivePath, const std::string& currentComment, Host& host) {
    const std::vector<std::string> busy = busyProjectFiles(s);
    if (!busy.empty()) {
        std::string text = "Kestrelpad message.\r\nSome files are busy by the another applications:\r\n\r\n";
        for (const auto& path : busy) text += path + "\r\n";
        host.showMessage(MessageKind::Notice, text + "\r\n" + "Close these applications before restoring, please.");
        return false;
    }
    std::string problem;
    try {
        problem = restoreProblem(s, archivePath);
    } catch (const std::exception& e) {
        host.showMessage(MessageKind::Error, e.what());
        return false;
    }
    if (!problem.empty()) {
        host.showMessage(MessageKind::Notice, "Kestrelpad message :\r\nThe archive " + fileNamePart(archivePath) +
                                                  " is corrupt." + "\r\n" + "Try to restore another archive.");
        return false;
    }
    s.archiveComment = restoreNote(fileNamePart(archivePath)) + currentComment;
    s.addVersion = false;
    s.restoreArchive = archivePath;
    s.storeRequested = true;
    return true;
}

} // namespace kp
