#include "zip/ZipReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <system_error>
#include <unordered_map>
#include <libdeflate.h>
#include <zlib.h>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/Crc32.h"
#include "zip/ArchiveError.h"
#include "zip/ItemNames.h"
#include "zip/ZipFormat.h"

namespace kp {

using namespace zipformat;

namespace {

constexpr std::uint64_t kMaxDirectoryBytes = 256u << 20;
constexpr std::size_t kBlock = 64 * 1024;
constexpr std::uint64_t kWholeItemLimit = 4 * 1024 * 1024;
// Deflate cannot expand data by more than about 1032:1 (a 258-byte match per two bits), so a
// larger claimed size is a lie, found before anything is decompressed or allocated.
constexpr std::uint64_t kMaxDeflateRatio = 1100;

std::string printable(std::string_view raw) {
    std::string shown = isValidUtf8(raw) ? std::string(raw) : cp437ToUtf8(raw);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return shown;
}

std::string decodeComment(std::string_view raw) {
    return isValidUtf8(raw) ? std::string(raw) : cp437ToUtf8(raw);
}

std::string number(std::uint64_t n) {
    return std::to_string(n);
}

} // namespace

ZipReader::ZipReader(std::shared_ptr<const ByteSource> source, std::string archiveName)
    : m_source(std::move(source)), m_archiveName(std::move(archiveName)) {
    const EndRecord end = readEndRecord();
    readDirectory(end);
    checkLayout(end.cdOffset);
}

void ZipReader::fail(const std::string& what) const {
    throwArchiveError(m_archiveName, what);
}

void ZipReader::failItem(const ZipItem& item, const std::string& what) const {
    throwItemError(m_archiveName, item.fileName, what);
}

void ZipReader::read(std::uint64_t offset, void* buffer, std::size_t n, const char* what) const {
    errno = 0;
    if (m_source->readAt(offset, buffer, n)) return;
    const int err = errno;
    fail(std::string("cannot read ") + what + ": " + (err ? errorText(err) : "the archive ends early"));
}

namespace {

// The last bytes of an archive with its end record in them.
struct EndTail {
    std::string text;
    std::uint64_t start = 0; // offset of text in the archive
    std::size_t found = 0;   // offset of the end record in text
};

// The end record is the one whose comment reaches exactly to the end of the file. A second
// record that fits as well can only sit inside the comment, pretending to be the real one.
// Returns what is wrong, or an empty text.
std::string locateEndRecord(const ByteSource& source, EndTail& tail) {
    const std::uint64_t size = source.size();
    if (size < kEndSize) return "it is not a ZIP archive (only " + number(size) + " bytes)";
    const std::size_t tailSize = std::size_t(std::min<std::uint64_t>(size, kEndSize + kMaxComment));
    tail.start = size - tailSize;
    tail.text.assign(tailSize, '\0');
    errno = 0;
    if (!source.readAt(tail.start, tail.text.data(), tailSize)) {
        const int err = errno;
        return std::string("cannot read the end of the archive: ") + (err ? errorText(err) : "the archive ends early");
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(tail.text.data());
    std::size_t candidates = 0;
    for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (get32(bytes + i) == kEndSig && i + kEndSize + get16(bytes + i + 20) == tailSize) {
            tail.found = i;
            ++candidates;
        }
    }
    if (candidates == 0) return "it is not a ZIP archive, or it is truncated: the end-of-directory record is missing";
    if (candidates > 1) return "its comment imitates an end-of-directory record";
    return {};
}

} // namespace

std::string readArchiveComment(const std::string& path) {
    std::unique_ptr<FileSource> source;
    try {
        source = std::make_unique<FileSource>(path);
    } catch (const std::system_error& e) {
        throwArchiveError(path, std::string("cannot open it: ") + e.code().message());
    }
    EndTail tail;
    if (const std::string problem = locateEndRecord(*source, tail); !problem.empty()) throwArchiveError(path, problem);
    return decodeComment(std::string_view(tail.text).substr(tail.found + kEndSize));
}

ZipReader::EndRecord ZipReader::readEndRecord() {
    EndTail endTail;
    if (const std::string problem = locateEndRecord(*m_source, endTail); !problem.empty()) fail(problem);
    const std::string& tailText = endTail.text;
    const std::uint64_t tailStart = endTail.start;
    const std::size_t found = endTail.found;
    const auto* tail = reinterpret_cast<const unsigned char*>(tailText.data());

    const unsigned char* p = tail + found;
    if (get16(p + 4) != 0 || get16(p + 6) != 0)
        fail("it spans several disks, which the program does not read");
    EndRecord end;
    end.count = get16(p + 10);
    if (get16(p + 8) != end.count) fail("its end record gives two different item counts");
    end.cdSize = get32(p + 12);
    end.cdOffset = get32(p + 16);
    end.cdEnd = tailStart + found;
    m_comment = decodeComment(std::string_view(tailText).substr(found + kEndSize));
    readZip64End(tailStart + found, end);
    return end;
}

void ZipReader::readZip64End(std::uint64_t eocdPos, EndRecord& end) {
    // The ZIP64 records matter only when a field of the end record is at its limit. Without
    // that, four bytes before the end record that happen to read like a locator (a time in
    // an extra field can) must not make a sound archive unreadable.
    const bool saturated = end.count == 0xFFFF || end.cdSize == 0xFFFFFFFFu || end.cdOffset == 0xFFFFFFFFu;
    if (!saturated || eocdPos < kZip64LocatorSize) return;
    const std::uint64_t locatorPos = eocdPos - kZip64LocatorSize;
    unsigned char locator[kZip64LocatorSize];
    read(locatorPos, locator, sizeof locator, "the ZIP64 locator");
    if (get32(locator) != kZip64LocatorSig) return;
    if (get32(locator + 4) != 0 || get32(locator + 16) > 1)
        fail("it spans several disks, which the program does not read");
    const std::uint64_t recordPos = get64(locator + 8);
    if (recordPos > locatorPos || locatorPos - recordPos < kZip64EndSize)
        fail("its ZIP64 locator points outside the archive");
    unsigned char record[kZip64EndSize];
    read(recordPos, record, sizeof record, "the ZIP64 end record");
    if (get32(record) != kZip64EndSig) fail("there is no ZIP64 end record where its locator points");
    const std::uint64_t recordSize = get64(record + 4);
    if (recordSize < kZip64EndSize - 12 || recordSize > locatorPos - recordPos - 12)
        fail("its ZIP64 end record has a wrong size");
    if (get32(record + 16) != 0 || get32(record + 20) != 0)
        fail("it spans several disks, which the program does not read");
    end.count = get64(record + 32);
    if (get64(record + 24) != end.count) fail("its ZIP64 end record gives two different item counts");
    end.cdSize = get64(record + 40);
    end.cdOffset = get64(record + 48);
    end.cdEnd = recordPos;
}

void ZipReader::readDirectory(const EndRecord& end) {
    if (end.cdOffset > end.cdEnd || end.cdSize != end.cdEnd - end.cdOffset)
        fail("its central directory (" + number(end.cdSize) + " bytes at offset " + number(end.cdOffset) +
             ") does not end where the end record begins: the offsets or sizes are wrong");
    if (end.count > end.cdSize / kCentralHeaderSize)
        fail("it claims " + number(end.count) + " items, but its central directory has room for at most " +
             number(end.cdSize / kCentralHeaderSize));
    if (end.cdSize > kMaxDirectoryBytes) fail("its central directory is larger than 256 MiB");

    std::string directory(std::size_t(end.cdSize), '\0');
    read(end.cdOffset, directory.data(), directory.size(), "the central directory");
    const auto* p = reinterpret_cast<const unsigned char*>(directory.data());
    std::size_t pos = 0;
    for (std::uint64_t i = 0; i < end.count; ++i) {
        Entry entry;
        pos += parseEntry(p + pos, directory.size() - pos, entry);
        m_entries.push_back(std::move(entry));
    }
    if (pos != directory.size())
        fail("its central directory holds " + number(directory.size() - pos) +
             " bytes more than its items need: the item count or directory size is wrong");

    std::unordered_map<std::string_view, std::size_t> seen;
    seen.reserve(m_entries.size());
    for (const Entry& e : m_entries)
        if (!seen.emplace(e.item.fileName, 0).second)
            failItem(e.item, "the archive holds two items of this name");
}

std::size_t ZipReader::parseEntry(const unsigned char* p, std::size_t left, Entry& entry) {
    const std::string position = "item " + number(m_entries.size() + 1);
    if (left < kCentralHeaderSize) fail("its central directory is truncated at " + position);
    if (get32(p) != kCentralHeaderSig) fail("its central directory is damaged at " + position);
    const std::size_t nameSize = get16(p + 28), extraSize = get16(p + 30), commentSize = get16(p + 32);
    const std::size_t total = kCentralHeaderSize + nameSize + extraSize + commentSize;
    if (total > left) fail("its central directory is truncated at " + position);

    ZipItem& item = entry.item;
    item.host = std::uint8_t(get16(p + 4) >> 8);
    item.flags = get16(p + 8);
    item.method = get16(p + 10);
    item.dosTime = (std::uint32_t(get16(p + 14)) << 16) | get16(p + 12);
    item.crc32 = get32(p + 16);
    item.compressedSize = get32(p + 20);
    item.uncompressedSize = get32(p + 24);
    std::uint32_t diskStart = get16(p + 34);
    item.externalAttributes = get32(p + 38);
    entry.localHeaderOffset = get32(p + 42);

    const std::string_view rawName(reinterpret_cast<const char*>(p + kCentralHeaderSize), nameSize);
    item.fileName = printable(rawName); // for messages until the real name is known
    if (auto problem = nameCharacterProblem(rawName); !problem.empty()) failItem(item, problem);

    std::string_view unicodeName;
    const unsigned char* extra = p + kCentralHeaderSize + nameSize;
    for (std::size_t at = 0; at + 4 <= extraSize;) {
        const std::uint16_t id = get16(extra + at);
        const std::size_t size = get16(extra + at + 2);
        const unsigned char* data = extra + at + 4;
        if (at + 4 + size > extraSize) failItem(item, "its extra fields are damaged");
        if (id == kExtraZip64) {
            std::size_t used = 0;
            auto take64 = [&](std::uint64_t& field) {
                if (used + 8 > size) failItem(item, "its ZIP64 extra field is too short");
                field = get64(data + used);
                used += 8;
            };
            if (item.uncompressedSize == kMax32) take64(item.uncompressedSize);
            if (item.compressedSize == kMax32) take64(item.compressedSize);
            if (entry.localHeaderOffset == kMax32) take64(entry.localHeaderOffset);
            if (diskStart == kMax16) {
                if (used + 4 > size) failItem(item, "its ZIP64 extra field is too short");
                diskStart = get32(data + used);
            }
        } else if (id == kExtraTimestamp && size >= 5 && (data[0] & 1)) {
            item.modificationTime = std::int32_t(get32(data + 1));
        } else if (id == kExtraUnicodePath && size >= 5 && data[0] == 1) {
            const std::string_view utf8(reinterpret_cast<const char*>(data + 5), size - 5);
            if (get32(data + 1) == ~UpdateCrc32(0xFFFFFFFFu, rawName.data(), rawName.size()) &&
                isValidUtf8(utf8))
                unicodeName = utf8;
        }
        at += 4 + size;
    }
    if (diskStart != 0) failItem(item, "it lies on another disk of a spanned archive");

    if (item.flags & kFlagUtf8) {
        if (!isValidUtf8(rawName)) failItem(item, "its name is marked as UTF-8 but is not");
        item.fileName = std::string(rawName);
    } else if (!unicodeName.empty()) {
        item.fileName = std::string(unicodeName);
    } else if (item.host == kHostUnix) {
        // Info-ZIP's zip on Linux stores names as the bytes the file system holds, UTF-8
        // today, without the flag; so does this kit for a name that is not UTF-8. Read as
        // code page 437 they would be mangled, and such a file would not come back.
        item.fileName = std::string(rawName);
    } else {
        item.fileName = cp437ToUtf8(rawName);
    }
    if (item.fileName != rawName) entry.rawName = std::string(rawName);
    if (item.fileName.empty()) fail(position + " has an empty name");
    if (auto problem = nameCharacterProblem(item.fileName); !problem.empty()) {
        item.fileName = printable(item.fileName);
        failItem(item, problem);
    }
    checkSizes(entry);
    return total;
}

void ZipReader::checkSizes(const Entry& entry) const {
    const ZipItem& item = entry.item;
    if (item.isEncrypted()) return; // encryption adds a header; such items are refused when read
    if (item.method == kMethodStored && item.compressedSize != item.uncompressedSize)
        failItem(item, "it is stored uncompressed, yet its sizes differ (" + number(item.compressedSize) +
                           " and " + number(item.uncompressedSize) + " bytes)");
    if (item.method == kMethodDeflate && item.compressedSize < (std::uint64_t(1) << 48) &&
        item.uncompressedSize > item.compressedSize * kMaxDeflateRatio + 1024)
        failItem(item, "it claims " + number(item.uncompressedSize) + " bytes from only " +
                           number(item.compressedSize) + " compressed bytes, more than Deflate can produce");
}

void ZipReader::checkLayout(std::uint64_t cdOffset) {
    std::vector<std::size_t> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return m_entries[a].localHeaderOffset < m_entries[b].localHeaderOffset;
    });
    // Local headers are visited in file order, so one read of a window serves many small items.
    std::string window;
    std::uint64_t windowStart = 0;
    auto localHeader = [&](std::uint64_t offset) {
        if (offset < windowStart || offset + kLocalHeaderSize > windowStart + window.size()) {
            windowStart = offset;
            window.resize(std::size_t(std::min<std::uint64_t>(kBlock, cdOffset - offset)));
            read(offset, window.data(), window.size(), "a local header");
        }
        return reinterpret_cast<const unsigned char*>(window.data()) + (offset - windowStart);
    };
    std::uint64_t previousEnd = 0;
    const ZipItem* previous = nullptr;
    for (std::size_t index : order) {
        Entry& e = m_entries[index];
        const std::uint64_t offset = e.localHeaderOffset;
        if (offset > cdOffset || cdOffset - offset < kLocalHeaderSize)
            failItem(e.item,
                     "its local header offset " + number(offset) + " lies outside the archive's data");
        if (previous && offset < previousEnd)
            failItem(e.item, "it overlaps the item \"" + previous->fileName + "\"");
        const unsigned char* header = localHeader(offset);
        if (get32(header) != kLocalHeaderSig)
            failItem(e.item, "there is no local header at its recorded offset " + number(offset));
        e.localNameDiffers = !localNameMatches(e, header, offset, windowStart + window.size());
        e.dataOffset = offset + kLocalHeaderSize + get16(header + 26) + get16(header + 28);
        if (e.dataOffset > cdOffset || e.item.compressedSize > cdOffset - e.dataOffset)
            failItem(e.item, "its data (" + number(e.item.compressedSize) +
                                 " bytes) runs past the end of the archive's data");
        previousEnd = e.dataOffset + e.item.compressedSize;
        previous = &e.item;
    }
}

// Readers that walk the local headers would see another item than the directory lists: such
// an item is refused when it is read or extracted, as damaged.
bool ZipReader::localNameMatches(const Entry& entry, const unsigned char* header, std::uint64_t offset,
                                 std::uint64_t windowEnd) const {
    const std::string& name = entry.rawName.empty() ? entry.item.fileName : entry.rawName;
    if (get16(header + 26) != name.size()) return false;
    const std::uint64_t nameStart = offset + kLocalHeaderSize;
    if (nameStart + name.size() <= windowEnd)
        return std::memcmp(header + kLocalHeaderSize, name.data(), name.size()) == 0;
    std::string local(name.size(), '\0');
    read(nameStart, local.data(), local.size(), "a local header");
    return local == name;
}

void ZipReader::readItem(const Entry& entry, const DataSink& sink) const {
    const ZipItem& item = entry.item;
    if (entry.localNameDiffers)
        failItem(item, "its local header holds another name than the directory: the archive is damaged");
    if (item.isEncrypted()) failItem(item, "it is encrypted, which the program cannot read");
    std::uint32_t crc = 0xFFFFFFFFu;
    std::uint64_t produced = 0;
    if (item.method == kMethodStored) {
        std::vector<char> buffer(std::min<std::uint64_t>(kBlock, item.compressedSize));
        for (std::uint64_t done = 0; done < item.compressedSize;) {
            const std::size_t n = std::size_t(std::min<std::uint64_t>(kBlock, item.compressedSize - done));
            read(entry.dataOffset + done, buffer.data(), n, "an item's data");
            crc = UpdateCrc32(crc, buffer.data(), n);
            sink(buffer.data(), n);
            done += n;
        }
        produced = item.compressedSize;
    } else if (item.method == kMethodDeflate) {
        inflateItem(entry, sink, crc, produced);
    } else {
        failItem(item, "it is compressed with method " + number(item.method) +
                           "; the program reads only stored and Deflate items");
    }
    if (produced != item.uncompressedSize)
        failItem(item, "its data is shorter than its recorded size (" + number(produced) + " of " +
                           number(item.uncompressedSize) + " bytes)");
    if (~crc != item.crc32)
        failItem(item, "its data does not match its CRC-32 (stored " + crc32Hex(item.crc32) + ", computed " +
                           crc32Hex(~crc) + ")");
}

// Most items of a source tree are small: they are read whole and decompressed in one call,
// which is several times faster than streaming through zlib. Anything unusual (a size that
// does not match, damaged data) is left to the streaming path, whose messages say exactly
// what is wrong.
bool ZipReader::inflateWhole(const Entry& entry, const DataSink& sink, std::uint32_t& crc,
                             std::uint64_t& produced) const {
    const ZipItem& item = entry.item;
    if (item.uncompressedSize > kWholeItemLimit || item.compressedSize > kWholeItemLimit) return false;
    struct Decompressor {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        ~Decompressor() { libdeflate_free_decompressor(d); }
    };
    thread_local Decompressor decompressor;
    thread_local std::vector<char> in, out;
    if (!decompressor.d) return false;
    in.resize(std::size_t(item.compressedSize));
    out.resize(std::size_t(item.uncompressedSize));
    read(entry.dataOffset, in.data(), in.size(), "an item's data");
    std::size_t got = 0, used = 0;
    const libdeflate_result rc = libdeflate_deflate_decompress_ex(decompressor.d, in.data(), in.size(), out.data(),
                                                                  out.size(), &used, &got);
    if (rc != LIBDEFLATE_SUCCESS || got != out.size() || used != in.size()) return false;
    crc = UpdateCrc32(crc, out.data(), got);
    produced = got;
    if (got > 0) sink(out.data(), got);
    return true;
}

void ZipReader::inflateItem(const Entry& entry, const DataSink& sink, std::uint32_t& crc,
                            std::uint64_t& produced) const {
    const ZipItem& item = entry.item;
    if (item.compressedSize == 0) return; // some writers store an empty file as Deflate with no bytes
    if (inflateWhole(entry, sink, crc, produced)) return;
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) failItem(item, "there is not enough memory to decompress it");
    struct Ender {
        z_stream* zs;
        ~Ender() { inflateEnd(zs); }
    } ender{&zs};

    std::vector<unsigned char> in(std::size_t(std::min<std::uint64_t>(kBlock, item.compressedSize)));
    std::vector<unsigned char> out(kBlock);
    std::uint64_t readSoFar = 0;
    for (;;) {
        if (zs.avail_in == 0 && readSoFar < item.compressedSize) {
            const std::size_t n =
                std::size_t(std::min<std::uint64_t>(in.size(), item.compressedSize - readSoFar));
            read(entry.dataOffset + readSoFar, in.data(), n, "an item's data");
            readSoFar += n;
            zs.next_in = in.data();
            zs.avail_in = uInt(n);
        }
        zs.next_out = out.data();
        zs.avail_out = uInt(out.size());
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t got = out.size() - zs.avail_out;
        if (got > 0) {
            produced += got;
            if (produced > item.uncompressedSize)
                failItem(item, "its data is longer than its recorded size of " +
                                   number(item.uncompressedSize) + " bytes");
            crc = UpdateCrc32(crc, out.data(), got);
            sink(reinterpret_cast<const char*>(out.data()), got);
        }
        if (rc == Z_STREAM_END) break;
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT)
            failItem(item,
                     std::string("its compressed data is damaged (") + (zs.msg ? zs.msg : "invalid") + ")");
        if (rc == Z_MEM_ERROR) failItem(item, "there is not enough memory to decompress it");
        if (rc == Z_BUF_ERROR && zs.avail_in == 0 && readSoFar == item.compressedSize)
            failItem(item,
                     "its compressed data ends early: the archive is truncated or the item's size is wrong");
        // With room for output and input at hand, zlib always moves; anything else would spin.
        if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_in == 0))
            failItem(item, "its compressed data cannot be decompressed");
    }
    if (zs.avail_in != 0 || readSoFar != item.compressedSize)
        failItem(item, "its compressed data ends before its recorded compressed size");
}

void ZipReader::copyRaw(const Entry& entry, const DataSink& sink) const {
    std::vector<char> buffer(std::size_t(std::min<std::uint64_t>(kBlock * 16, entry.item.compressedSize)));
    for (std::uint64_t done = 0; done < entry.item.compressedSize;) {
        const std::size_t n =
            std::size_t(std::min<std::uint64_t>(buffer.size(), entry.item.compressedSize - done));
        read(entry.dataOffset + done, buffer.data(), n, "an item's data");
        sink(buffer.data(), n);
        done += n;
    }
}

void ZipReader::readRaw(const Entry& entry, char* out) const {
    read(entry.dataOffset, out, std::size_t(entry.item.compressedSize), "an item's data");
}

} // namespace kp
