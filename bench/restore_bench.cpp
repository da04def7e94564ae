// The extraction phase of a restore: every item of a stored state but the bookkeeping ones,
// written under a folder with its stored path, folders created, permissions restored.
// Usage: restore_bench ARCHIVE FOLDER
#include <cstdio>

#include "zip/ZipArchive.h"
#include "platform/RunMemory.h"

int main(int argc, char** argv) {
    kp::prepareMemoryForRun(); // as the program does
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE FOLDER\n", argv[0]);
        return 2;
    }
    try {
        kp::ZipArchive zip;
        zip.open(argv[1]);
        zip.setBaseDirectory(argv[2]);
        zip.extractFilesEx("*", "_kpad_/*");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
