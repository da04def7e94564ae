#include "store/SettingsFile.h"

#include <ctime>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"

namespace kp {

namespace {

constexpr const char* kTemporaryInfix = ".part-"; // the names writeFileAtomically writes first

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
    const Result<std::string> read = readSmallFile(path, IniFile::kMaxSize);
    return read ? std::string() : read.failure().text;
}

std::optional<std::string> readUserPreferences(const std::string& path, std::string* problem) {
    if (problem) problem->clear();
    if (!pathExists(path)) return std::nullopt;
    const Result<std::string> read = readSmallFile(path, IniFile::kMaxSize);
    if (!read) {
        if (problem) *problem = read.failure().text;
        return std::nullopt;
    }
    IniFile ini;
    ini.parse(read.value());
    return ini.value("Setting", "UserPreferences").value_or(kDefaultSettingsString);
}

Result<void> writeSettingsFile(const std::string& path, const SettingsValues& values, const std::string& userName) {
    if (Result<void> made = createFolders(folderPart(path)); !made) return made;
    removeStaleTemporaries(path);
    IniFile ini;
    ini.load(path); // a missing file, or one the caller chose to replace, leaves it empty
    ini.setValue("About", "Software", std::string(" ") + kProductTitle);
    ini.setValue("About", "User", " " + userName);
    ini.setValue("About", "-", "-");
    ini.setValue("Setting", "UserPreferences", userPreferencesString(values));
    return saveFileAtomically(path, ini.text());
}

} // namespace kp
