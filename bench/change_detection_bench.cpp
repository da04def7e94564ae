// Times detectChanges on a generated listing in which every file changed: the archive lines
// carry one time, the project lines another; the folders are the same in both.
//
//   change_detection_bench LINES [CALLS]    prints the milliseconds of each call
//
// A store calls detectChanges once, in a fresh process whose heap has never held its work
// memory; so the first call is the one to time (later calls find the allocator warm), and
// the script starts one process per sample.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "store/ChangeDetection.h"
#include "platform/RunMemory.h"

namespace {

struct Listings {
    std::size_t files = 0;
    std::vector<kp::ArchiveLine> archive;
    std::vector<kp::ProjectLine> project;
};

// A project of `lines` items: about one folder per 40 files, three levels deep, the files
// spread over the folders round-robin so that neither side comes sorted.
Listings makeListings(std::size_t lines) {
    const kp::DosDateTime archived = (46u << 25) | (3u << 21) | (7u << 16) | (10u << 11); // 2026-03-07 10:00
    const kp::DosDateTime modified = archived + (1u << 11);                               // an hour later
    std::vector<std::string> folders;
    const std::size_t wantedFolders = std::max<std::size_t>(1, lines / 41);
    char name[96];
    for (std::size_t a = 0; folders.size() < wantedFolders; ++a) {
        std::snprintf(name, sizeof name, "Site/Area%02zu/", a);
        folders.push_back(name);
        for (std::size_t b = 0; b < 10 && folders.size() < wantedFolders; ++b) {
            std::snprintf(name, sizeof name, "Site/Area%02zu/Part%02zu/", a, b);
            folders.push_back(name);
            for (std::size_t c = 0; c < 5 && folders.size() < wantedFolders; ++c) {
                std::snprintf(name, sizeof name, "Site/Area%02zu/Part%02zu/Section %zu/", a, b, c);
                folders.push_back(name);
            }
        }
    }
    Listings l;
    l.files = lines - folders.size();
    l.archive.reserve(lines);
    l.project.reserve(lines);
    for (const auto& f : folders) {
        l.archive.push_back({f, archived});
        l.project.push_back({f, archived, 0});
    }
    for (std::size_t i = 0; i < l.files; ++i) {
        std::snprintf(name, sizeof name, "File-%06zu.%s", i,
                      i % 3 == 0   ? "html"
                      : i % 3 == 1 ? "txt"
                                   : "dat");
        const std::string path = folders[i % folders.size()] + name;
        l.archive.push_back({path, archived});
        l.project.push_back({path, modified, std::int64_t(i % 5000)});
    }
    return l;
}

double timeOnce(const Listings& l) {
    const auto start = std::chrono::steady_clock::now();
    const kp::ChangeResult r = kp::detectChanges(l.archive, l.project);
    const auto end = std::chrono::steady_clock::now();
    // A fast wrong answer proves nothing: every file, and only the files, changed.
    if (r.changed.size() != l.files || !r.missing.empty()) {
        std::fprintf(stderr,
                     "change_detection_bench: %zu changed and %zu missing of %zu lines, expected %zu and 0\n",
                     r.changed.size(), r.missing.size(), l.project.size(), l.files);
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace

int main(int argc, char** argv) {
    kp::prepareMemoryForRun(); // as the program does
    if (argc != 2 && argc != 3) {
        std::fputs("usage: change_detection_bench LINES [CALLS]\n", stderr);
        return 2;
    }
    const Listings listings = makeListings(std::size_t(std::atol(argv[1])));
    const int calls = argc == 3 ? std::atoi(argv[2]) : 1;
    for (int i = 0; i < calls; ++i)
        std::printf("%s%.2f", i ? " " : "", timeOnce(listings));
    std::printf("\n");
    return 0;
}
