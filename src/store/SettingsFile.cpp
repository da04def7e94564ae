#include "store/SettingsFile.h"

#include "platform/FileSystem.h"
#include "platform/IniFile.h"

namespace kp {

std::string settingsFilePath(const std::string& appData) {
    return appData + "/" + kProductName + "/setting.ini";
}

std::optional<std::string> readUserPreferences(const std::string& path) {
    if (!existsAsFile(path)) return std::nullopt;
    IniFile ini;
    if (!ini.load(path)) return std::nullopt;
    return ini.value("Setting", "UserPreferences").value_or(kDefaultSettingsString);
}

bool writeSettingsFile(const std::string& path, const SettingsValues& values, const std::string& userName) {
    if (!makeFolders(folderPart(path))) return false;
    IniFile ini;
    ini.setValue("About", "Software", std::string(" ") + kProductTitle);
    ini.setValue("About", "User", " " + userName);
    ini.setValue("About", "-", "-");
    ini.setValue("Setting", "UserPreferences", userPreferencesString(values));
    return ini.save(path);
}

} // namespace kp
