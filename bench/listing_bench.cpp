// Helper of the listing benchmarks.
//
//   listing_bench make-tree DIR ENTRIES   builds a tree of ENTRIES files and folders below DIR
//   listing_bench make-tree DIR --files N  the same, with N files (the folders come on top)
//   listing_bench list DIR                 lists DIR as a store run does and writes the full
//                                          text of every listing line to stdout
//
// The tree is 20 folders of 10 folders of 5 folders (1,220 folders, three levels), the
// files spread evenly over all of them, with sizes from 0 to 199 bytes.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "store/ProjectListing.h"
#include "platform/RunMemory.h"

namespace {

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "listing_bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) die("mkdir " + path);
}

void writeFile(const std::string& path, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) die("create " + path);
    const std::string data(size, 'x');
    if (size > 0 && ::write(fd, data.data(), size) != ssize_t(size)) die("write " + path);
    ::close(fd);
}

int makeTree(const std::string& root, long count, bool countIsFiles) {
    std::vector<std::string> folders;
    char name[64];
    for (int a = 0; a < 20; ++a) {
        std::snprintf(name, sizeof name, "/area%02d", a);
        const std::string pa = root + name;
        folders.push_back(pa);
        for (int b = 0; b < 10; ++b) {
            std::snprintf(name, sizeof name, "/part%02d", b);
            const std::string pb = pa + name;
            folders.push_back(pb);
            for (int c = 0; c < 5; ++c) {
                std::snprintf(name, sizeof name, "/Section %d", c);
                folders.push_back(pb + name);
            }
        }
    }
    const long files = countIsFiles ? count : count - long(folders.size());
    if (files < 0) {
        std::fprintf(stderr, "listing_bench: %ld entries are fewer than the %zu folders\n", count,
                     folders.size());
        return 1;
    }
    makeFolder(root);
    for (const auto& f : folders)
        makeFolder(f);
    for (long i = 0; i < files; ++i) {
        std::snprintf(name, sizeof name, "/file-%06ld.%s", i,
                      i % 3 == 0   ? "html"
                      : i % 3 == 1 ? "txt"
                                   : "dat");
        writeFile(folders[std::size_t(i) % folders.size()] + name, std::size_t(i % 200));
    }
    std::printf("%ld\n", files + long(folders.size()));
    return 0;
}

int list(const std::string& folder) {
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    kp::ProjectListing listing;
    kp::ScanOptions options;
    options.excluded = {"#tarnel", "#arh"};
    kp::ScanProject(listing, folder, options);
    for (const auto& e : listing) {
        const std::string line = kp::listingLine(e);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int usage() {
    std::fputs("usage: listing_bench make-tree DIR ENTRIES | make-tree DIR --files N | list DIR\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    kp::prepareMemoryForRun(); // as the program does
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "make-tree")
        return makeTree(args[1], std::atol(args[2].c_str()), false);
    if (args.size() == 4 && args[0] == "make-tree" && args[2] == "--files")
        return makeTree(args[1], std::atol(args[3].c_str()), true);
    if (args.size() == 2 && args[0] == "list") return list(args[1]);
    return usage();
}
