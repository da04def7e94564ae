// kpad diff PATH [ARCHIVE] [--stat], kpad diff PATH --from ARCHIVE --to ARCHIVE [--stat]:
// what changed between a stored state and the present project, or between two states. One
// line per change ("A path", "D path", "M path"), sorted by path, then a summary line.
#include <cstdio>

#include "cli/CommandSupport.h"
#include "history/StateDiff.h"
#include "platform/FileSystem.h"

namespace kp::cli {

namespace {

const char* letterOf(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Added:
        return "A";
    case ChangeKind::Deleted:
        return "D";
    case ChangeKind::Modified:
        break;
    }
    return "M";
}

std::string sizesOf(const StateChange& c) {
    if (c.isFolder) return {};
    switch (c.kind) {
    case ChangeKind::Added:
        return "\t" + std::to_string(c.newSize);
    case ChangeKind::Deleted:
        return "\t" + std::to_string(c.oldSize);
    case ChangeKind::Modified:
        break;
    }
    return "\t" + std::to_string(c.oldSize) + " -> " + std::to_string(c.newSize);
}

std::string signedBytes(std::int64_t n) {
    return (n >= 0 ? "+" : "") + std::to_string(n) + " bytes";
}

std::string summaryLine(const DiffSummary& s, bool stat) {
    if (!stat)
        return std::to_string(s.added) + " added, " + std::to_string(s.deleted) + " deleted, " +
               std::to_string(s.modified) + " modified";
    return std::to_string(s.added) + " added (" + std::to_string(s.addedBytes) + " bytes), " +
           std::to_string(s.deleted) + " deleted (" + std::to_string(s.deletedBytes) + " bytes), " +
           std::to_string(s.modified) + " modified (" + signedBytes(s.modifiedDelta) + ")";
}

// The state an argument names (Refused when it names none).
Result<std::string> stateNamed(const RunState& project, const std::string& name) {
    std::string state = findState(project, name);
    if (state.empty())
        return Failure{FailureKind::Refused, "The archive " + name + " is not a stored state of the project " +
                                                 project.projectName() + " (see kpad list --all).", name};
    return state;
}

} // namespace

int cmdDiff(const Args& args) {
    std::vector<std::string> positional;
    std::string from, to;
    bool stat = false;
    for (ArgWalker walk(args); walk.next();) {
        const std::string& a = walk.arg();
        if (!walk.isOption())
            positional.push_back(a);
        else if (a == "--stat")
            stat = true;
        else if (a == "--from" && walk.takeValue(from))
            continue;
        else if (a == "--to" && walk.takeValue(to))
            continue;
        else
            return badArguments("unknown or incomplete option '" + a + "'");
    }
    if (positional.empty()) return badArguments("diff needs the project's full path");
    if (from.empty() != to.empty()) return badArguments("--from and --to go together");
    if (positional.size() > (from.empty() ? 2u : 1u))
        return badArguments("diff takes the project's full path and at most one archive, or --from and --to");

    const std::optional<RunState> opened = openProject(positional[0]);
    if (!opened) return exitCode(FailureKind::Refused);
    const RunState& project = *opened;
    if (project.archives.allOwnArchives.empty()) return failed("The project has no archive yet.");
    // Two states named by --from and --to, or one (the newest unless named) against the present.
    std::vector<std::string> names;
    if (!from.empty()) names = {from, to};
    else if (positional.size() == 2) names = {positional[1]};
    std::vector<std::string> states;
    for (const std::string& name : names) {
        Result<std::string> state = stateNamed(project, name);
        if (!state) return failed(state.failure());
        states.push_back(std::move(state.value()));
    }
    if (states.empty()) states.push_back(project.archives.allOwnArchives.back().fullPath());
    const StateDiff diff = states.size() == 2 ? diffBetween(project, states[0], states[1])
                                              : diffWithPresent(project, states[0]);
    if (!diff.ok()) return failed(diff.failure());
    for (const StateChange& c : diff.value())
        std::printf("%s %s%s\n", letterOf(c.kind), printable(c.path).c_str(), stat ? sizesOf(c).c_str() : "");
    std::printf("%s\n", summaryLine(summarize(diff.value()), stat).c_str());
    return 0;
}

} // namespace kp::cli
