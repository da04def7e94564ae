#include "store/SettingsFile.h"

#include <cerrno>
#include <ctime>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"

namespace kp {

namespace {

constexpr const char* kTemporaryInfix = ".part-"; // the names writeFileAtomically writes first

std::string readProblemText(int err) {
    if (err == EFBIG) return "it is over " + std::to_string(IniFile::kMaxSize >> 20) + " MiB";
    if (err == EINVAL) return "it is not a regular file";
    return errorText(err);
}

// A save killed between writing its temporary and renaming it leaves the temporary behind.
// Only those a minute old go: a younger one may belong to a save running right now.
void removeStaleTemporaries(const std::string& path) {
    const std::string prefix = fileNamePart(path) + kTemporaryInfix;
    const std::time_t now = std::time(nullptr);
    for (const FileInfo& f : listFolder(folderPart(path)))
        if (!f.isFolder && f.name.starts_with(prefix) && now - f.modificationTime > 60)
            removeFile(folderPart(path) + f.name);
}

} // namespace

std::string settingsFilePath(const std::string& appData) {
    return appData + "/" + kProductName + "/setting.ini";
}

std::string settingsFileProblem(const std::string& path) {
    if (!pathExists(path)) return {};
    std::string text;
    if (readRegularFile(path, IniFile::kMaxSize, text)) return {};
    return readProblemText(errno);
}

std::optional<std::string> readUserPreferences(const std::string& path, std::string* problem) {
    if (problem) problem->clear();
    if (!pathExists(path)) return std::nullopt;
    IniFile ini;
    if (!ini.load(path)) {
        if (problem) *problem = readProblemText(errno);
        return std::nullopt;
    }
    return ini.value("Setting", "UserPreferences").value_or(kDefaultSettingsString);
}

bool writeSettingsFile(const std::string& path, const SettingsValues& values, const std::string& userName) {
    if (!makeFolders(folderPart(path))) return false;
    removeStaleTemporaries(path);
    IniFile ini;
    ini.load(path); // a missing file, or one the caller chose to replace, leaves it empty
    ini.setValue("About", "Software", std::string(" ") + kProductTitle);
    ini.setValue("About", "User", " " + userName);
    ini.setValue("About", "-", "-");
    ini.setValue("Setting", "UserPreferences", userPreferencesString(values));
    return ini.save(path);
}

} // namespace kp
