// kpad extract PATH ARCHIVE [PATTERN...] --to DIR [--overwrite]: copies the matching files
// of a stored state (all of them without patterns) into DIR, under their stored paths.
#include <cstdio>
#include <filesystem>

#include "cli/CommandSupport.h"
#include "history/CopyOut.h"
#include "platform/FileSystem.h"

namespace kp::cli {

namespace {

std::string absoluteFolder(const std::string& dir) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(dir, ec);
    return portablePath(ec ? dir : p.lexically_normal().string());
}

} // namespace

int cmdExtract(const Args& args) {
    std::vector<std::string> positional;
    CopyRequest request;
    for (ArgWalker walk(args); walk.next();) {
        const std::string& a = walk.arg();
        if (!walk.isOption())
            positional.push_back(a);
        else if (a == "--overwrite")
            request.overwrite = true;
        else if (a == "--to" && !request.targetFolder.empty())
            return badArguments("--to is given more than once");
        else if (a == "--to" && walk.takeValue(request.targetFolder))
            continue;
        else
            return badArguments("unknown or incomplete option '" + a + "'");
    }
    if (positional.size() < 2) return badArguments("extract needs the project's full path and an archive");
    if (request.targetFolder.empty()) return badArguments("extract needs --to DIR");
    request.targetFolder = absoluteFolder(request.targetFolder);
    request.patterns.assign(positional.begin() + 2, positional.end());

    const std::optional<RunState> opened = openProject(positional[0]);
    if (!opened) return exitCode(FailureKind::Refused);
    const RunState& project = *opened;
    request.archive = findState(project, positional[1]);
    if (request.archive.empty())
        return failed("The archive " + positional[1] + " is not a stored state of the project " +
                      project.projectName() + " (see kpad list --all).");
    const CopyResult result = copyFilesOut(project, request);
    if (!result.existing.empty()) {
        Failure refusal = *result.failure;
        refusal.text += " Nothing was copied; --overwrite replaces them:";
        for (const std::string& path : result.existing)
            refusal.text += "\n  " + path;
        return failed(refusal);
    }
    if (!result.ok()) return failed(*result.failure);
    const std::size_t n = result.written.size();
    std::printf("%zu file%s copied to %s\n", n, n == 1 ? "" : "s", printable(request.targetFolder).c_str());
    return 0;
}

} // namespace kp::cli
