// libFuzzer target for the user's settings: the settings string and setting.ini. Any text
// must be read without a crash into values the program can work with; what a Save writes
// must read back as the same values without a mistaken-settings warning; and a saved
// setting.ini, whatever it held before, must give back what was saved.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "store/NameValueList.h"
#include "store/Settings.h"
#include "store/SettingsFile.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

bool usable(const kp::SettingsValues& v) {
    for (int l : v.trainLength)
        if (l < 1 || l > 20) return false;
    return v.capacityFactor >= 1 && v.capacityFactor <= 5 && (v.showWindow == 0 || v.showWindow == 1) &&
           (v.showArchiveFolder == 0 || v.showArchiveFolder == 1) && v.projectStatus >= 0 && v.projectStatus <= 3;
}

bool same(const kp::SettingsValues& a, const kp::SettingsValues& b) {
    return a.commentLayout == b.commentLayout && a.showWindow == b.showWindow &&
           a.showArchiveFolder == b.showArchiveFolder && a.trainLength[0] == b.trainLength[0] &&
           a.trainLength[1] == b.trainLength[1] && a.trainLength[2] == b.trainLength[2] &&
           a.capacityFactor == b.capacityFactor;
}

// The values a run starts with when setting.ini holds this settings string.
kp::SettingsCheck startUpValues(const std::string& userPreferences, kp::NameValueList& mistaken) {
    kp::NameValueList settings = kp::settingsListFrom(kp::kDefaultSettingsString);
    kp::NameValueList defaults = kp::settingsListFrom(kp::kDefaultSettingsString);
    kp::SettingsMerge(settings, userPreferences, "");
    return kp::validateSettings(settings, defaults, mistaken);
}

void settingsString(const std::string& text, kp::SettingsValues& startUp) {
    (void)kp::splitSettingsItems(text);
    kp::SettingsValues typed;
    (void)kp::applyUserSettings(text, typed); // as kpad settings and the Settings tab take it
    check(usable(typed));
    kp::SettingsValues again;
    check(kp::applyUserSettings(kp::userPreferencesString(typed), again).empty() && same(again, typed));

    kp::NameValueList mistaken;
    startUp = startUpValues(text, mistaken).values;
    check(usable(startUp));
    kp::NameValueList none;
    const kp::SettingsValues saved = startUpValues(kp::userPreferencesString(startUp), none).values;
    check(none.empty() && same(saved, startUp));
}

const std::string& settingsPath() {
    static const std::string path = [] {
        // In memory where there is such a file system: every save is flushed to the disk.
        char inMemory[] = "/dev/shm/kp-settings-fuzz-XXXXXX";
        char onDisk[] = "/tmp/kp-settings-fuzz-XXXXXX";
        char* folder = ::mkdtemp(inMemory);
        if (!folder) folder = ::mkdtemp(onDisk);
        if (!folder) std::abort();
        // Removed at exit through a copy of its name that outlives the static strings.
        static char made[sizeof onDisk + 8];
        std::snprintf(made, sizeof made, "%s", folder);
        std::atexit([] { std::filesystem::remove_all(made); });
        return kp::settingsFilePath(folder);
    }();
    return path;
}

void settingsFile(const std::string& text, const kp::SettingsValues& values) {
    kp::IniFile ini;
    ini.parse(text);
    const std::string once = ini.text();
    kp::IniFile again;
    again.parse(once);
    check(again.text() == once);

    const std::string& path = settingsPath();
    check(kp::makeFolders(kp::folderPart(path)) && kp::writeFileAtomically(path, text));
    (void)kp::readUserPreferences(path);
    check(kp::writeSettingsFile(path, values, "fuzz"));
    const std::optional<std::string> saved = kp::readUserPreferences(path);
    check(saved.has_value());
    kp::NameValueList mistaken;
    check(same(startUpValues(*saved, mistaken).values, values) && mistaken.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    kp::SettingsValues values;
    settingsString(text, values);
    settingsFile(text, values);
    return 0;
}
