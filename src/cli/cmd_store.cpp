#include <cstdio>

#include "engine/Engine.h"
#include "engine/EntryChecks.h"
#include "store/Settings.h"
#include "hosts/ConsoleHost.h"
#include "cli/Commands.h"
#include "platform/Text.h"

namespace kp::cli {

namespace {

int statusIndex(const std::string& name) {
    for (int i = 0; i < 4; ++i)
        if (name == kStatusNames[i]) return i;
    return -1;
}

} // namespace

int cmdStore(const Args& args) {
    std::string path;
    OptionsChoice choice;
    choice.ok = true;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (optionsEnded || a.empty() || a[0] != '-') {
            if (!path.empty()) return badArguments("only one project path may be given");
            path = a;
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--comment" && hasValue) {
            choice.comment = args[++i];
        } else if (a == "--status" && hasValue) {
            choice.projectStatus = statusIndex(args[++i]);
            if (choice.projectStatus < 0) return badArguments("unknown status '" + args[i] + "'");
        } else if (a == "--new-version" && hasValue) {
            const auto parts = split(args[++i], '.');
            if (parts.size() < 2 || parts.size() > 3) return badArguments("a version is A.B or A.B.C");
            choice.addVersion = true;
            choice.versionPart1 = parts[0];
            choice.versionPart2 = parts[1];
            choice.versionPart3 = parts.size() == 3 ? parts[2] : "";
            if (const std::string error = Engine::versionError(choice); !error.empty()) {
                std::fprintf(stderr, "%s\n", forTerminal("Check value for " + error).c_str());
                return 2;
            }
        } else {
            return badArguments("unknown or incomplete option '" + a + "'");
        }
    }
    if (path.empty()) return badArguments("store needs the project's full path");
    // Without a new version the version parts are the last ones, which always pass.
    if (!choice.addVersion) choice.versionPart1 = choice.versionPart2 = "0";
    ConsoleHost host(choice);
    return runProject(path, host, true);
}

} // namespace kp::cli
