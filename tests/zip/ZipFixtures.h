// Helpers of the archive kit's tests: archives built byte by byte, and the outside tools.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kp::test {

// One item of a hand-built archive. Sizes and CRC follow from data unless overridden, so a
// fixture states only the field it falsifies.
struct RawItem {
    std::string name;
    std::string data; // written as the item's bytes, whatever method claims
    std::uint16_t method = 0;
    std::uint16_t flags = 0x0800;  // UTF-8 name
    std::uint16_t madeBy = 0x033F; // Unix, 6.3
    std::uint32_t external = 0100644u << 16;
    std::optional<std::uint32_t> crc, compressedSize, uncompressedSize;
    std::string centralExtra;
    std::string localExtra;
    // Bit 3: the local header holds zeros for CRC and sizes, and a descriptor with the real
    // values follows the data.
    bool dataDescriptor = false;
};

struct RawZip {
    std::string bytes;
    std::vector<std::size_t> local, central; // offsets of each item's headers
    std::size_t end = 0;                     // offset of the end record
};

// A stored item holding data, and a deflated one holding plain.
RawItem item(std::string name, std::string data);
RawItem deflated(std::string name, const std::string& plain);

RawZip buildZip(const std::vector<RawItem>& items, const std::string& comment = "");
// Puts a ZIP64 end record and its locator between the directory and the end record, with the
// end record's values; saturate then defers the end record's count, size and offset to it.
void addZip64End(RawZip& zip, bool saturate, std::uint32_t totalDisks = 1);
// A ZIP64 extra field holding the given values in order.
std::string zip64Extra(const std::vector<std::uint64_t>& values);
// An Info-ZIP Unicode path field naming utf8Name for the header name headerName.
std::string unicodePathExtra(const std::string& headerName, const std::string& utf8Name);
void poke16(std::string& bytes, std::size_t at, std::uint32_t value);
void poke32(std::string& bytes, std::size_t at, std::uint32_t value);
std::string deflateRaw(const std::string& data);
std::uint32_t crcOf(const std::string& data);
// Incompressible bytes, the same for the same seed.
std::string randomBytes(std::size_t n, unsigned seed);

// Fails the calling test (never skips it) when a tool the suite depends on is missing.
void requireTools(const std::vector<std::string>& tools);
// Every path below dir, relative to it, folders ending in "/", sorted.
std::vector<std::string> entriesUnder(const std::string& dir);
std::string shellQuote(const std::string& s);

} // namespace kp::test
