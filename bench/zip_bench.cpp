// Writes a whole folder tree into a new archive with the archive kit the way a store does
// (folder items, then every file queued and written by one save), opens the archive again and
// compares the CRC of every file on disk with the stored one. Prints the times, the archive's
// size and the peak memory, as "name=value" lines for bench/zip-vs-infozip.sh.
//
// Usage: zip_bench TREE ARCHIVE
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "platform/DosTime.h"
#include "zip/ArchiveCheck.h"
#include "zip/ZipArchive.h"
#include "platform/RunMemory.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    kp::prepareMemoryForRun(); // as the program does
    if (argc != 3) {
        std::fprintf(stderr, "usage: zip_bench TREE ARCHIVE\n");
        return 2;
    }
    fs::path tree = fs::absolute(argv[1]).lexically_normal();
    if (tree.filename().empty()) tree = tree.parent_path(); // "TREE/"
    const std::string base = tree.parent_path().string();
    const std::string archive = argv[2];
    std::vector<std::string> folders, files;
    folders.push_back(tree.filename().string() + "/");
    for (const auto& e : fs::recursive_directory_iterator(tree)) {
        const std::string rel = e.path().string().substr(base.size() + 1);
        if (e.is_directory())
            folders.push_back(rel + "/");
        else if (e.is_regular_file())
            files.push_back(rel);
    }
    fs::remove(archive);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    try {
        kp::ZipArchive zip;
        zip.open(archive);
        for (const auto& f : folders)
            zip.addFolder(
                f, kp::toDosDateTime(fs::last_write_time(fs::path(base) / f).time_since_epoch().count() /
                                     1000000000));
        zip.setBaseDirectory(base);
        for (const auto& f : files)
            zip.addFile(f);
        zip.save();
        const auto written = Clock::now();

        kp::ZipArchive check;
        check.open(archive);
        const auto mismatches = kp::compareWithDisk(check, files, base, 2);
        const auto end = Clock::now();

        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto seconds = [](auto d) { return std::chrono::duration<double>(d).count(); };
        std::printf("files=%zu\nfolders=%zu\nwrite_seconds=%.3f\ncheck_seconds=%.3f\ntotal_seconds=%.3f\n"
                    "archive_bytes=%lld\npeak_rss_mib=%.1f\nmismatches=%zu\n",
                    files.size(), folders.size(), seconds(written - start), seconds(end - written),
                    seconds(end - start), static_cast<long long>(fs::file_size(archive)),
                    usage.ru_maxrss / 1024.0, mismatches.size());
        return mismatches.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zip_bench: %s\n", e.what());
        return 1;
    }
}
