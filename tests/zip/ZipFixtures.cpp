#include "ZipFixtures.h"

#include <random>

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <zlib.h>

#include "support/TempDir.h"

namespace kp::test {

namespace {

void put16(std::string& out, std::uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put64(std::string& out, std::uint64_t v) {
    put32(out, std::uint32_t(v));
    put32(out, std::uint32_t(v >> 32));
}

} // namespace

RawItem item(std::string name, std::string data) {
    RawItem it;
    it.name = std::move(name);
    it.data = std::move(data);
    return it;
}

RawItem deflated(std::string name, const std::string& plain) {
    RawItem it = item(std::move(name), deflateRaw(plain));
    it.method = 8;
    it.crc = crcOf(plain);
    it.uncompressedSize = std::uint32_t(plain.size());
    return it;
}

std::uint32_t crcOf(const std::string& data) {
    return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

std::string deflateRaw(const std::string& data) {
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(data.size())) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

RawZip buildZip(const std::vector<RawItem>& items, const std::string& comment) {
    RawZip zip;
    std::string central;
    for (const RawItem& it : items) {
        const std::uint32_t crc = it.crc.value_or(crcOf(it.data));
        const std::uint32_t csize = it.compressedSize.value_or(std::uint32_t(it.data.size()));
        const std::uint32_t usize = it.uncompressedSize.value_or(std::uint32_t(it.data.size()));
        const std::uint16_t flags = std::uint16_t(it.flags | (it.dataDescriptor ? 0x0008 : 0));
        zip.local.push_back(zip.bytes.size());
        std::string& b = zip.bytes;
        put32(b, 0x04034b50); // local header signature
        put16(b, 20);         // version needed
        put16(b, flags);
        put16(b, it.method);
        put16(b, 0x6000);                       // time 12:00:00
        put16(b, (30u << 9) | (6u << 5) | 15u); // date 2010-06-15
        put32(b, it.dataDescriptor ? 0 : crc);
        put32(b, it.dataDescriptor ? 0 : csize);
        put32(b, it.dataDescriptor ? 0 : usize);
        put16(b, std::uint32_t(it.name.size()));
        put16(b, std::uint32_t(it.localExtra.size()));
        b += it.name;
        b += it.localExtra;
        b += it.data;
        if (it.dataDescriptor) {
            put32(b, 0x08074b50);
            put32(b, crc);
            put32(b, csize);
            put32(b, usize);
        }

        zip.central.push_back(central.size()); // made absolute below
        put32(central, 0x02014b50);
        put16(central, it.madeBy);
        put16(central, 20);
        put16(central, flags);
        put16(central, it.method);
        put16(central, 0x6000);
        put16(central, (30u << 9) | (6u << 5) | 15u);
        put32(central, crc);
        put32(central, csize);
        put32(central, usize);
        put16(central, std::uint32_t(it.name.size()));
        put16(central, std::uint32_t(it.centralExtra.size()));
        put16(central, 0); // item comment
        put16(central, 0); // disk start
        put16(central, 0); // internal attributes
        put32(central, it.external);
        put32(central, std::uint32_t(zip.local.back()));
        central += it.name;
        central += it.centralExtra;
    }
    const std::size_t cdOffset = zip.bytes.size();
    for (auto& c : zip.central)
        c += cdOffset;
    zip.bytes += central;
    zip.end = zip.bytes.size();
    put32(zip.bytes, 0x06054b50);
    put16(zip.bytes, 0);
    put16(zip.bytes, 0);
    put16(zip.bytes, std::uint32_t(items.size()));
    put16(zip.bytes, std::uint32_t(items.size()));
    put32(zip.bytes, std::uint32_t(central.size()));
    put32(zip.bytes, std::uint32_t(cdOffset));
    put16(zip.bytes, std::uint32_t(comment.size()));
    zip.bytes += comment;
    return zip;
}

void addZip64End(RawZip& zip, bool saturate, std::uint32_t totalDisks) {
    const std::string endRecord = zip.bytes.substr(zip.end);
    const auto field = [&](std::size_t at, std::size_t n) {
        std::uint64_t v = 0;
        for (std::size_t i = n; i-- > 0;)
            v = (v << 8) | static_cast<unsigned char>(endRecord[at + i]);
        return v;
    };
    std::string records;
    put32(records, 0x06064b50);
    put64(records, 44);     // size of the rest of the record
    put16(records, 0x032D); // made by Unix, 4.5
    put16(records, 45);
    put32(records, 0); // this disk
    put32(records, 0); // disk of the directory
    put64(records, field(8, 2));
    put64(records, field(10, 2));
    put64(records, field(12, 4));
    put64(records, field(16, 4));
    put32(records, 0x07064b50);
    put32(records, 0); // disk of the ZIP64 end record
    put64(records, zip.end);
    put32(records, totalDisks);
    zip.bytes.insert(zip.end, records);
    zip.end += records.size();
    if (saturate) {
        poke16(zip.bytes, zip.end + 8, 0xFFFF);
        poke16(zip.bytes, zip.end + 10, 0xFFFF);
        poke32(zip.bytes, zip.end + 12, 0xFFFFFFFFu);
        poke32(zip.bytes, zip.end + 16, 0xFFFFFFFFu);
    }
}

std::string zip64Extra(const std::vector<std::uint64_t>& values) {
    std::string e;
    put16(e, 0x0001);
    put16(e, std::uint32_t(8 * values.size()));
    for (std::uint64_t v : values)
        put64(e, v);
    return e;
}

std::string unicodePathExtra(const std::string& headerName, const std::string& utf8Name) {
    std::string e;
    put16(e, 0x7075);
    put16(e, std::uint32_t(5 + utf8Name.size()));
    e.push_back('\x01'); // version
    put32(e, crcOf(headerName));
    return e + utf8Name;
}

void poke16(std::string& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

void poke32(std::string& bytes, std::size_t at, std::uint32_t value) {
    poke16(bytes, at, value & 0xFFFF);
    poke16(bytes, at + 2, value >> 16);
}

void requireTools(const std::vector<std::string>& tools) {
    for (const auto& tool : tools)
        ASSERT_EQ(run("command -v " + tool + " >/dev/null 2>&1"), 0)
            << tool << " is a test dependency (scripts/setup.sh test installs it)";
}

std::vector<std::string> entriesUnder(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = std::filesystem::relative(it->path(), dir).string();
        if (it->is_directory()) rel += "/";
        out.push_back(rel);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = char(rng());
    return s;
}

} // namespace kp::test
