// setting.ini: the user's settings string under [Setting] UserPreferences, plus an
// informational [About] section. Only UserPreferences is ever read back.
#pragma once
#include <optional>
#include <string>

#include "store/Settings.h"

namespace kp {

inline constexpr const char* kProductName = "Kestrelpad";
inline constexpr const char* kProductVersion = KP_VERSION; // from the build
inline constexpr const char* kProductTitle = "Kestrelpad-" KP_VERSION;

// appDataFolder() + "/Kestrelpad/setting.ini"
std::string settingsFilePath(const std::string& appDataFolder);

// The UserPreferences value; the built-in default string when the file exists without the
// key; nothing when the file does not exist or cannot be read.
std::optional<std::string> readUserPreferences(const std::string& path);

// Creates the folders, then writes the file afresh (atomically). False with errno set on failure.
bool writeSettingsFile(const std::string& path, const SettingsValues& values, const std::string& userName);

} // namespace kp
