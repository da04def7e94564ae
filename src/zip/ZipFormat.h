// Record layouts of the PKWARE APPNOTE (6.3.x) that the reader and the writer share, and
// little-endian field access. Section numbers refer to the APPNOTE.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

namespace kp::zipformat {

constexpr std::uint32_t kLocalHeaderSig = 0x04034b50;    // 4.3.7
constexpr std::uint32_t kCentralHeaderSig = 0x02014b50;  // 4.3.12
constexpr std::uint32_t kEndSig = 0x06054b50;            // 4.3.16
constexpr std::uint32_t kZip64EndSig = 0x06064b50;       // 4.3.14
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;   // 4.3.15
constexpr std::uint32_t kDataDescriptorSig = 0x08074b50; // 4.3.9.3

constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxComment = 0xFFFF;

constexpr std::uint16_t kExtraZip64 = 0x0001;       // 4.5.3
constexpr std::uint16_t kExtraTimestamp = 0x5455;   // extended timestamp, 4.6.1 list
constexpr std::uint16_t kExtraUnicodePath = 0x7075; // Info-ZIP Unicode path

constexpr std::uint16_t kFlagEncrypted = 1u << 0;
constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;
constexpr std::uint16_t kFlagUtf8 = 1u << 11;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;

// Unix file types in the high 16 bits of the external attributes of an item made by Unix
// (the st_mode layout, which ZIP stores whatever system reads the archive).
constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixRegular = 0100000;
constexpr std::uint32_t kUnixFolder = 0040000;
constexpr std::uint32_t kUnixLink = 0120000;
constexpr std::uint32_t kDosFolder = 0x10; // the MS-DOS attribute in the low byte

constexpr std::uint32_t kMax16 = 0xFFFF;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;

inline std::uint16_t get16(const unsigned char* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t get64(const unsigned char* p) {
    return get32(p) | (std::uint64_t(get32(p + 4)) << 32);
}

inline void put16(std::string& out, std::uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
inline void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline void put64(std::string& out, std::uint64_t v) {
    put32(out, std::uint32_t(v));
    put32(out, std::uint32_t(v >> 32));
}
inline void set32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace kp::zipformat
