// setting.ini: the user's settings string under [Setting] UserPreferences, plus an
// informational [About] section. Only UserPreferences is ever read back.
#pragma once
#include <optional>
#include <string>

#include "platform/Result.h"

#include "store/Settings.h"

namespace kp {

inline constexpr const char* kProductName = "Kestrelpad";
inline constexpr const char* kProductVersion = KP_VERSION; // from the build
inline constexpr const char* kProductTitle = "Kestrelpad-" KP_VERSION;

// appDataFolder() + "/Kestrelpad/setting.ini"
std::string settingsFilePath(const std::string& appDataFolder);

// The UserPreferences value; the built-in default string when the file exists without the
// key; nothing when the file does not exist or cannot be read. problem, when given, receives
// why a file that exists could not be read (empty otherwise).
std::optional<std::string> readUserPreferences(const std::string& path, std::string* problem = nullptr);

// Why the file at path exists but cannot be read ("it is over 16 MiB", "Permission denied"),
// or empty. A Save must not replace such a file unless the user chose to.
std::string settingsFileProblem(const std::string& path);

// Creates the folders, then writes the file (atomically): the entries of the program over
// whatever else a readable file holds, so that keys and sections of others stay. Temporaries
// of saves that were killed are removed first. WriteFailed with the system's reason.
Result<void> writeSettingsFile(const std::string& path, const SettingsValues& values, const std::string& userName);

} // namespace kp
