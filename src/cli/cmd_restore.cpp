#include "hosts/ConsoleHost.h"
#include "cli/Commands.h"

namespace kp::cli {

int cmdRestore(const Args& args) {
    std::vector<std::string> positional;
    OptionsChoice choice;
    choice.ok = true;
    choice.versionPart1 = choice.versionPart2 = "0";
    bool optionsEnded = false; // after "--" an archive may be named "-rf-101203.1000c.zip"
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (optionsEnded || args[i].empty() || args[i][0] != '-') positional.push_back(args[i]);
        else if (args[i] == "--") optionsEnded = true;
        else if (args[i] == "--comment" && i + 1 < args.size()) choice.comment = args[++i];
        else return badArguments("unknown or incomplete option '" + args[i] + "'");
    }
    if (positional.size() != 2) return badArguments("restore needs the project's full path and an archive");
    ConsoleHost host(choice);
    host.setRestoreArchive(positional[1]);
    return runProject(positional[0], host, true);
}

} // namespace kp::cli
