#include <cerrno>
#include <cstdio>

#include "store/Settings.h"
#include "store/SettingsFile.h"
#include "cli/CommandSupport.h"
#include "platform/FileSystem.h"

namespace kp::cli {

namespace {

// The user's settings as a run would take them: the defaults, then setting.ini, validated.
SettingsValues effectiveUserSettings(const std::string& path) {
    NameValueList defaults = settingsListFrom(kDefaultSettingsString);
    NameValueList settings = defaults;
    if (auto prefs = readUserPreferences(path)) SettingsMerge(settings, *prefs, "");
    NameValueList mistaken;
    return validateSettings(settings, defaults, mistaken).values;
}

void print(const SettingsValues& v) {
    std::printf("cL:%s\nhv:%d\\%d\\%d\nmnp:%d\nws:%d\nds:%d\n", v.commentLayout.c_str(), v.trainLength[0],
                v.trainLength[1], v.trainLength[2], v.capacityFactor, v.showWindow, v.showArchiveFolder);
}

} // namespace

int cmdSettings(const Args& allArgs) {
    Args args;
    for (ArgWalker walk(allArgs); walk.next();) args.push_back(walk.arg());
    const std::string path = settingsFilePath(appDataFolder());
    SettingsValues values = effectiveUserSettings(path);
    if (args.empty()) {
        print(values);
        return 0;
    }
    std::string items;
    for (const auto& a : args) items += (items.empty() ? "" : ",") + a;
    if (const std::string bad = applyUserSettings(items, values); !bad.empty())
        return badArguments("invalid setting '" + bad + "' (cL: 8 hexadecimal digits; hv: L1\\L2\\L3 with "
                            "1<=L1<L2<L3<=20; mnp: 1..5; ws, ds: 0 or 1)");
    if (!writeSettingsFile(path, values, currentUserName())) {
        std::fprintf(stderr, "kpad: can't write %s: %s\n", path.c_str(), errorText(errno).c_str());
        return 1;
    }
    print(values);
    return 0;
}

} // namespace kp::cli
