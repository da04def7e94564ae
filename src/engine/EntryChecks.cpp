#include "engine/EntryChecks.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Layout.h"
#include "store/Messages.h"

namespace kp {

namespace {

// Where the archive folder of this parameter would be: inside a folder project, beside a file.
std::string archiveFolderOf(const EntryCheck& c) {
    return c.paramIsFolder ? joinPath(c.param, kArchiveFolderName) : folderPart(c.param) + kArchiveFolderName;
}

// "/x/Site/." and "/x/Site/sub/.." name the folders they lead to: resolved by the text, so
// a project never gets the name "." or "..". The drive part ("D:", "//server/share" on
// Windows) stays as it is.
std::string normalised(const std::string& parameter) {
    const std::string path = portablePath(parameter);
    if (!isAbsolutePath(path)) return path;
    const std::string drive = drivePart(path);
    std::vector<std::string> parts;
    for (const std::string& part : split(path.substr(drive.size()), '/')) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else {
            parts.push_back(part);
        }
    }
    std::string out = drive;
    for (const auto& part : parts) out += "/" + part;
    return parts.empty() ? drive + "/" : out;
}

} // namespace

EntryCheck checkEntry(const std::string& parameter) {
    EntryCheck c;
    // Only an absolute path names a project; "/work/Site/" is the same project as "/work/Site".
    c.param = normalised(parameter);
    const bool absolute = isAbsolutePath(c.param);
    // A project reached through a symbolic link is worked on where it really is: a restore
    // must replace the folder's files, never the link, and the lock must guard the real folder.
    if (absolute)
        if (const std::string real = resolvedPath(c.param); !real.empty()) c.param = real;
    c.paramIsFile = absolute && existsAsFile(c.param);
    c.paramIsFolder = absolute && existsAsFolder(c.param);
    if (!c.paramIsFile && !c.paramIsFolder) {
        c.warnings.push_back(msg::kParameterAbsent);
        return c;
    }

    if (isDriveRoot(c.param)) { // its archive folder "/#tarnel" is never searched: nothing stored could be found
        c.warnings.push_back(msg::kRootNoProject);
        return c;
    }
    c.paramName = lowerUtf8(fileNamePart(c.param));
    if (c.paramName == kBookkeepingFolder) c.warnings.push_back(msg::protectedName(c.paramName));
    if (lowerUtf8(c.param) == lowerUtf8(drivePart(c.param)) + "/" + kArchiveFolderName && existsAsFolder(c.param))
        c.warnings.push_back(msg::kRootArchiveFolder);
    if (!c.warnings.empty()) return c;

    const std::string archiveFolder = archiveFolderOf(c);
    if (existsAsFile(archiveFolder)) {
        c.warnings.push_back(msg::kArchiveFolderBlocked);
        return c;
    }
    if (existsAsFile(archiveFolder + "/" + kRepositoryName)) c.warnings.push_back(msg::kRepositoryBlocked);
    // "F/F" would share the archive names of the folder project "F" in one archive folder.
    const std::string name = fileNamePart(c.param);
    if (c.paramIsFile && name == fileNamePart(withoutTrailingSlash(folderPart(c.param))))
        c.warnings.push_back(msg::fileNamedLikeItsFolder(name));
    return c;
}

std::string forTerminal(const std::string& message) { return replaceAll(message, "\r\n", "\n"); }

} // namespace kp
