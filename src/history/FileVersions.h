// The versions of one file across the stored states: every state whose copy of the file
// differs (by CRC and size) from the one in the state before it, newest first. A state
// that lacks the file breaks the run, so a file deleted and brought back shows again.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "history/ProjectState.h"

namespace kp {

struct FileVersion {
    std::string archive; // the state's archive (full path)
    DosDateTime dosTime = 0;
    std::uint64_t size = 0;
    std::uint32_t crc32 = 0;
};

struct FileVersions {
    std::string item;                    // the item name looked for ("Site/docs/a.txt")
    std::vector<FileVersion> versions;   // newest first
    std::vector<std::string> unreadable; // states that could not be read, each with the reason
};

// The item name of a file given as its path inside the project, with or without the
// project's name in front ("docs/a.txt", "Site/docs/a.txt"), or as its full path.
std::string itemNameOf(const Project& project, const std::string& file);

FileVersions fileVersions(const Project& project, const std::string& file);

} // namespace kp
