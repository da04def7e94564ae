#include "hosts/ConsoleHost.h"
#include "cli/CommandSupport.h"

namespace kp::cli {

int cmdRestore(const Args& args) {
    std::vector<std::string> positional;
    OptionsChoice choice;
    choice.ok = true;
    choice.versionPart1 = choice.versionPart2 = "0";
    for (ArgWalker walk(args); walk.next();) {
        const std::string& a = walk.arg();
        if (!walk.isOption()) positional.push_back(a);
        else if (a == "--comment" && walk.takeValue(choice.comment)) continue;
        else return badArguments("unknown or incomplete option '" + a + "'");
    }
    if (positional.size() != 2) return badArguments("restore needs the project's full path and an archive");
    ConsoleHost host(choice);
    host.setRestoreArchive(positional[1]);
    return runProject(positional[0], host, true);
}

} // namespace kp::cli
