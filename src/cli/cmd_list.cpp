#include <cstdio>

#include "cli/CommandSupport.h"
#include "engine/EntryChecks.h"
#include "engine/RunState.h"
#include "engine/Startup.h"
#include "hosts/ConsoleHost.h"
#include "platform/Text.h"
#include "store/IgnoreRules.h"
#include "store/Messages.h"
#include "store/Project.h"
#include "zip/KitResult.h"

namespace kp::cli {

namespace {

std::string firstCommentLine(const std::string& archive) {
    ZipArchive zip;
    if (Result<void> opened = openArchive(zip, archive); !opened) {
        std::fprintf(stderr, "kpad: %s\n", printable(opened.failure().text).c_str());
        return {};
    }
    const std::string& comment = zip.comment();
    return comment.substr(0, comment.find_first_of("\r\n"));
}

// What the project's ignore file leaves out, each with the line that matched, so a new rule
// can be checked before a store. A bad line is named and the others still apply.
int printIgnored(const RunState& state) {
    const IgnoreRules rules = readIgnoreRules(state);
    for (const IgnoreLineError& e : rules.errors())
        std::fprintf(stderr, "kpad: %s\n", forOutput(msg::ignoreLineLeftOut(e.line, e.message, e.text), stderr).c_str());
    std::vector<IgnoredItem> ignored;
    ScanOptions options;
    options.ignore = &rules;
    options.ignored = &ignored;
    listProjectItems(state, options);
    for (const IgnoredItem& item : ignored)
        std::printf("%s\t%s:%d: %s\n", forOutput(item.path, stdout).c_str(), kIgnoreFileName, item.rule->line,
                    forOutput(item.rule->text, stdout).c_str());
    return 0;
}

} // namespace

int cmdList(const Args& args) {
    std::string path;
    bool parents = false, all = false, ignored = false;
    for (ArgWalker walk(args); walk.next();) {
        const std::string& a = walk.arg();
        if (!walk.isOption()) {
            if (!path.empty()) return badArguments("only one project path may be given");
            path = a;
        } else if (a == "--parents") {
            parents = true;
        } else if (a == "--all") {
            all = true;
        } else if (a == "--ignored") {
            ignored = true;
        } else {
            return badArguments("unknown option '" + a + "'");
        }
    }
    if (path.empty()) return badArguments("list needs the project's full path");
    const std::optional<RunState> opened = openProject(path);
    if (!opened) return exitCode(FailureKind::Refused);
    const RunState& state = *opened;
    if (ignored) return printIgnored(state);

    std::vector<std::string> states = parents ? state.archives.enclosingStates : state.archives.storedStates;
    if (all) {
        states.clear();
        for (const auto& a : state.archives.allOwnArchives)
            states.push_back(a.fullPath());
    }
    for (auto it = states.rbegin(); it != states.rend(); ++it)
        std::printf("%s\t%s\n", forOutput(*it, stdout).c_str(),
                    forOutput(firstCommentLine(*it), stdout).c_str());
    return 0;
}

int cmdLog(const Args& args) {
    std::vector<std::string> positional;
    for (ArgWalker walk(args); walk.next();) {
        if (walk.isOption()) return badArguments("unknown option '" + walk.arg() + "'");
        positional.push_back(walk.arg());
    }
    if (positional.size() != 1) return badArguments("log needs exactly the project's full path");
    const std::optional<RunState> opened = openProject(positional[0]);
    if (!opened) return exitCode(FailureKind::Refused);
    const RunState& state = *opened;
    if (state.archives.allOwnArchives.empty()) {
        std::fputs("The project has no archive yet.\n", stderr);
        return exitCode(FailureKind::Refused);
    }
    const std::string newest = state.archives.allOwnArchives.back().fullPath();
    std::string projectSet, projectLog;
    if (const Result<void> read = readRecords(newest, projectSet, projectLog); !read) {
        std::fprintf(stderr, "kpad: the newest archive %s can't be read: %s\n",
                     forOutput(newest, stderr).c_str(), forOutput(read.failure().text, stderr).c_str());
        return exitCode(read.failure().kind);
    }
    std::printf("%s\n", forOutput(forTerminal(trim(projectLog)), stdout).c_str());
    return 0;
}

} // namespace kp::cli
