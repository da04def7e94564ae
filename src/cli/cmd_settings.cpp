#include <cstdio>

#include "cli/CommandSupport.h"
#include "engine/EntryChecks.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Messages.h"
#include "store/Settings.h"
#include "store/SettingsFile.h"

namespace kp::cli {

namespace {

// The user's settings as a run would take them: the defaults, then setting.ini, validated.
// problem: why setting.ini exists but could not be read, or empty.
SettingsValues effectiveUserSettings(const std::string& path, std::string& problem) {
    NameValueList defaults = settingsListFrom(kDefaultSettingsString);
    NameValueList settings = defaults;
    if (auto prefs = readUserPreferences(path, &problem)) SettingsMerge(settings, *prefs, "");
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
    for (ArgWalker walk(allArgs); walk.next();)
        args.push_back(walk.arg());
    const std::string path = settingsFilePath(appDataFolder());
    std::string problem;
    SettingsValues values = effectiveUserSettings(path, problem);
    if (!problem.empty())
        std::fprintf(stderr, "Warning: %s\n%s\n",
                     printable(forTerminal(msg::settingsUnreadable(problem)), true).c_str(),
                     displayText(path).c_str());
    if (args.empty()) {
        print(values);
        return 0;
    }
    std::string items;
    for (const auto& a : args)
        items += (items.empty() ? "" : ",") + a;
    if (const std::string bad = applyUserSettings(items, values); !bad.empty())
        return badArguments("invalid setting '" + bad +
                            "' (cL: 8 hexadecimal digits; hv: L1\\L2\\L3 with "
                            "1<=L1<L2<L3<=20; mnp: 1..5; ws, ds: 0 or 1)");
    // Saving would put the defaults in place of whatever the unreadable file holds.
    if (!problem.empty()) {
        std::fprintf(stderr, "kpad: %s is not replaced; repair or remove it first\n",
                     displayText(path).c_str());
        return exitCode(FailureKind::Refused);
    }
    if (Result<void> saved = writeSettingsFile(path, values, currentUserName()); !saved) {
        std::fprintf(stderr, "kpad: can't write %s: %s\n", printable(path).c_str(), saved.failure().text.c_str());
        return exitCode(saved.failure().kind);
    }
    print(values);
    return 0;
}

} // namespace kp::cli
