// CRC-32 as ZIP stores it (reflected polynomial 0xEDB88320, PKWARE APPNOTE 4.4.7).
// The archive writer stores it for every item, and the checks compare a file or an
// extracted item with the stored value. The computation runs through libdeflate's
// vectorised routine; the table below documents the same polynomial and stays testable.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

namespace kp {

// Entry n is n shifted right eight times, XOR-ing the polynomial in whenever a 1 bit falls out.
const std::array<std::uint32_t, 256>& crc32Table();

// Advances a running value over n bytes. Neither the input nor the result is complemented,
// so a whole CRC is ~UpdateCrc32(0xFFFFFFFF, ...).
std::uint32_t UpdateCrc32(std::uint32_t value, const void* data, std::size_t n);

// The CRC of everything in the stream from its first byte, read in blocks of 32768 bytes.
// The stream's position (and end-of-file state) is the same afterwards as before.
std::uint32_t GetStreamCrc32(std::istream& in);

// The CRC of a whole file, read in blocks of 32768 bytes through a plain read-only open.
// Throws std::runtime_error naming the file when it cannot be opened or read.
std::uint32_t GetFileCrc32(const std::string& path);

// Eight upper-case hexadecimal digits, the form in which the program compares CRCs.
std::string crc32Hex(std::uint32_t crc);

} // namespace kp
