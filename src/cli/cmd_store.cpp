#include <cstdio>

#include "cli/CommandSupport.h"
#include "engine/Engine.h"
#include "engine/EntryChecks.h"
#include "hosts/ConsoleHost.h"
#include "platform/Text.h"
#include "store/Settings.h"

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
    for (ArgWalker walk(args); walk.next();) {
        const std::string& a = walk.arg();
        std::string value;
        if (!walk.isOption()) {
            if (!path.empty()) return badArguments("only one project path may be given");
            path = a;
        } else if (a == "--comment" && walk.takeValue(value)) {
            choice.comment = value;
        } else if (a == "--status" && walk.takeValue(value)) {
            choice.projectStatus = statusIndex(value);
            if (choice.projectStatus < 0) return badArguments("unknown status '" + value + "'");
        } else if (a == "--new-version" && walk.takeValue(value)) {
            const auto parts = split(value, '.');
            if (parts.size() < 2 || parts.size() > 3) return badArguments("a version is A.B or A.B.C");
            choice.addVersion = true;
            choice.versionPart1 = parts[0];
            choice.versionPart2 = parts[1];
            choice.versionPart3 = parts.size() == 3 ? parts[2] : "";
            if (const Result<void> version = Engine::checkVersion(choice); !version) {
                std::fprintf(stderr, "%s\n", printable(forTerminal(version.failure().text), true).c_str());
                return exitCode(version.failure().kind);
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
