// kpad verify ARCHIVE...: every item of each archive decompressed and checked against its
// stored CRC. One line per bad item on standard output; exit 1 when any item is bad or an
// archive cannot be read, 0 when all are good, 2 without arguments.
#include <cstdio>

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
        return 2;
    }
    int status = 0;
    for (const std::string& path : args) {
        const Result<std::vector<std::string>> bad = verifyArchiveFile(path);
        if (!bad) {
            std::fprintf(stderr, "%s\n", printable(bad.failure().text).c_str());
            status = 1;
            continue;
        }
        for (const std::string& line : bad.value()) {
            std::printf("%s\n", printable(line).c_str());
            status = 1;
        }
    }
    std::fflush(stdout);
    return status;
}

} // namespace kp::cli
