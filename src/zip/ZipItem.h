// One item of an archive as the callers see it.
#pragma once
#include <cstdint>
#include <string>

#include "platform/DosTime.h"

namespace kp {

// The host systems of the "version made by" field (PKWARE APPNOTE 4.4.2) that the kit tells apart.
enum ZipHost : std::uint8_t { kHostDos = 0, kHostUnix = 3 };

struct ZipItem {
    std::string fileName; // UTF-8, "/" separators, a folder's ends in "/"
    std::uint32_t crc32 = 0;
    std::uint32_t externalAttributes = 0; // Unix mode in the high 16 bits; 0x10 marks a folder
    DosDateTime dosTime = 0;              // local time, 2-second steps
    std::uint64_t compressedSize = 0, uncompressedSize = 0;
    std::uint16_t method = 0;           // 0 stored, 8 Deflate
    std::uint16_t flags = 0;            // general purpose bits
    std::uint8_t host = kHostDos;       // high byte of "version made by"
    std::int64_t modificationTime = -1; // UTC seconds from the extended timestamp, -1 if absent

    // A name ending in "/" or the MS-DOS folder attribute 0x10: what every tool writes, Unix
    // mode or not.
    bool isFolder() const;
    bool hasUnixMode() const;       // made by Unix with a mode in the high 16 bits
    std::uint32_t unixMode() const; // permission and special bits when made by Unix, else 0
    bool isSymbolicLink() const;    // made by Unix with the link file type
    bool isEncrypted() const { return flags & 1u; }
};

} // namespace kp
