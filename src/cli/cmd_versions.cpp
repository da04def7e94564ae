// kpad versions PATH FILE: every stored state holding a different version of the file,
// newest first: state, TAB, the file's time, TAB, its size.
#include <cstdio>

#include "cli/CommandSupport.h"
#include "history/FileVersions.h"
#include "store/Records.h"

namespace kp::cli {

int cmdVersions(const Args& args) {
    std::vector<std::string> positional;
    for (ArgWalker walk(args); walk.next();) {
        if (walk.isOption()) return badArguments("unknown option '" + walk.arg() + "'");
        positional.push_back(walk.arg());
    }
    if (positional.size() != 2) return badArguments("versions needs the project's full path and a file");
    const std::optional<RunState> opened = openProject(positional[0]);
    if (!opened) return exitCode(FailureKind::Refused);
    const RunState& project = *opened;
    const FileVersions found = fileVersions(project, positional[1]);
    for (const std::string& problem : found.unreadable)
        std::fprintf(stderr, "Warning: %s\n", printable(problem).c_str());
    if (found.versions.empty()) return failed("No stored state holds " + found.item + ".");
    for (const FileVersion& v : found.versions)
        std::printf(
            "%s\t%s\t%llu\n", printable(relativeArchiveName(project.archiveFolder, v.archive)).c_str(),
            formatLocalTime(dosToLocalTime(v.dosTime)).c_str(), static_cast<unsigned long long>(v.size));
    return 0;
}

} // namespace kp::cli
