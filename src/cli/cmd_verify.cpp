// kpad verify ARCHIVE...: every item of each archive decompressed and checked against its
// stored CRC. One line per bad item on standard output; exit 1 when any item is bad or an
// archive cannot be read, 0 when all are good, 2 without arguments.
#include <cstdio>
#include <optional>

#include "cli/CommandSupport.h"
#include "zip/KitResult.h"

namespace kp::cli {

int cmdVerify(const Args& allArgs) {
    // Every argument is an archive; "--" only lets a name beginning with "-" follow.
    Args args;
    for (ArgWalker walk(allArgs); walk.next();)
        args.push_back(walk.arg());
    if (args.empty()) {
        std::fputs("usage: kpad verify ARCHIVE...\n", stderr);
        return exitCode(FailureKind::BadInput);
    }
    // The last failure decides the status: an archive that cannot be read, or a bad item.
    std::optional<FailureKind> failure;
    for (const std::string& path : args) {
        const Result<std::vector<std::string>> bad = verifyArchiveFile(path);
        if (!bad) {
            std::fprintf(stderr, "%s\n", printable(bad.failure().text).c_str());
            failure = bad.failure().kind;
            continue;
        }
        for (const std::string& line : bad.value()) {
            std::printf("%s\n", printable(line).c_str());
            failure = FailureKind::CheckFailed;
        }
    }
    std::fflush(stdout);
    return exitCode(failure);
}

} // namespace kp::cli
