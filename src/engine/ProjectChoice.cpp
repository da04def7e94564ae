#include "engine/ProjectChoice.h"

#include "platform/FileSystem.h"

namespace kp {

namespace {

// A path longer than any the system accepts is not a remembered project but damage.
constexpr std::size_t kMaxRememberedBytes = 64 * 1024;

bool isUsablePath(const std::string& path) {
    return isAbsolutePath(path) && path.find('\n') == std::string::npos &&
           path.find('\0') == std::string::npos && path.size() <= kMaxRememberedBytes;
}

} // namespace

std::string lastProjectFilePath(const std::string& appDataFolder) {
    return joinPath(joinPath(appDataFolder, "Kestrelpad"), "last-project");
}

std::string readLastProject(const std::string& appDataFolder) {
    if (appDataFolder.empty()) return {};
    std::string text;
    if (!readRegularFile(lastProjectFilePath(appDataFolder), kMaxRememberedBytes + 1, text)) return {};
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return isUsablePath(text) ? text : std::string();
}

bool rememberProject(const std::string& appDataFolder, const std::string& path) {
    if (appDataFolder.empty() || !isUsablePath(path)) return false;
    const std::string file = lastProjectFilePath(appDataFolder);
    return makeFolders(folderPart(file)) && writeFileAtomically(file, path + "\n");
}

ChooserStart chooserStart(const std::string& lastProject, const std::string& home) {
    if (!isUsablePath(lastProject)) return {home, {}};
    const std::string last = withoutTrailingSlash(lastProject);
    if (!isDriveRoot(last) && pathExists(last)) return {withoutTrailingSlash(folderPart(last)), last};
    // The project moved or was removed: open as close to it as still exists.
    for (std::string folder = last; !folder.empty() && !isDriveRoot(folder);) {
        folder = withoutTrailingSlash(folderPart(folder));
        if (existsAsFolder(folder)) return {folder, {}};
    }
    return {home, {}};
}

} // namespace kp
