#include "zip/ZipReader.h"

#include <algorithm>
#include <atomic>
#include <memory>
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

// Calls visit(id, data, size) for each field of an extra block, in order. Returns false when
// a field runs past the block; the bytes after the last field, too few for a field's header,
// are left in trailing.
template <class Visit>
bool forEachExtraField(const unsigned char* block, std::size_t blockSize, Visit visit, std::size_t& trailing) {
    std::size_t at = 0;
    for (; at + 4 <= blockSize; at += 4 + get16(block + at + 2)) {
        const std::size_t size = get16(block + at + 2);
        if (at + 4 + size > blockSize) return false;
        visit(get16(block + at), block + at + 4, size);
    }
    trailing = blockSize - at;
    return true;
}

// The name of an Info-ZIP Unicode path field, or empty when the field does not count: another
// version, not UTF-8, or its CRC is not that of headerName (the header name was changed by a
// tool that left the field as it was).
std::string_view unicodePathName(const unsigned char* data, std::size_t size, std::string_view headerName) {
    if (size < 5 || data[0] != 1) return {};
    const std::string_view utf8(reinterpret_cast<const char*>(data + 5), size - 5);
    if (get32(data + 1) != ~UpdateCrc32(0xFFFFFFFFu, headerName.data(), headerName.size()) || !isValidUtf8(utf8))
        return {};
    return utf8;
}

} // namespace

namespace {

std::atomic<std::uint64_t> nextReaderId{1};

// The read-ahead the calling thread's reads are served from, if any: a plain pointer, which
// needs no destructor at the thread's end.
thread_local const ZipReader::ReadAhead* t_readAhead = nullptr;

} // namespace

ZipReader::ZipReader(std::shared_ptr<const ByteSource> source, std::string archiveName)
    : m_source(std::move(source)), m_id(nextReaderId++), m_archiveName(std::move(archiveName)) {
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

// For an item whose name is not decided yet: the name as its bytes read.
void ZipReader::failRawName(std::string_view rawName, const std::string& what) const {
    throwItemError(m_archiveName, printable(rawName), what);
}

const char* ZipReader::readAheadBytes(std::uint64_t offset, std::size_t n) const {
    const ReadAhead* ahead = t_readAhead;
    if (ahead && ahead->m_reader == m_id && offset >= ahead->m_start && offset - ahead->m_start + n <= ahead->m_size)
        return ahead->m_bytes.get() + (offset - ahead->m_start);
    return nullptr;
}

void ZipReader::read(std::uint64_t offset, void* buffer, std::size_t n, const char* what) const {
    if (const char* ahead = readAheadBytes(offset, n)) {
        std::memcpy(buffer, ahead, n);
        return;
    }
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
// Internal, with what is wrong, when there is no one such record.
Result<EndTail> locateEndRecord(const ByteSource& source) {
    const auto wrong = [](std::string what) { return Failure{FailureKind::Internal, std::move(what), {}}; };
    EndTail tail;
    const std::uint64_t size = source.size();
    if (size < kEndSize) return wrong("it is not a ZIP archive (only " + number(size) + " bytes)");
    const std::size_t tailSize = std::size_t(std::min<std::uint64_t>(size, kEndSize + kMaxComment));
    tail.start = size - tailSize;
    tail.text.assign(tailSize, '\0');
    errno = 0;
    if (!source.readAt(tail.start, tail.text.data(), tailSize)) {
        const int err = errno;
        return wrong(std::string("cannot read the end of the archive: ") + (err ? errorText(err) : "the archive ends early"));
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(tail.text.data());
    std::size_t candidates = 0;
    for (std::size_t i = tailSize - kEndSize + 1; i-- > 0;) {
        if (get32(bytes + i) == kEndSig && i + kEndSize + get16(bytes + i + 20) == tailSize) {
            tail.found = i;
            ++candidates;
        }
    }
    if (candidates == 0) return wrong("it is not a ZIP archive, or it is truncated: the end-of-directory record is missing");
    if (candidates > 1) return wrong("its comment imitates an end-of-directory record");
    return tail;
}

} // namespace

std::string readArchiveComment(const std::string& path) {
    std::unique_ptr<FileSource> source;
    try {
        source = std::make_unique<FileSource>(path);
    } catch (const std::system_error& e) {
        throwArchiveError(path, std::string("cannot open it: ") + e.code().message());
    }
    const Result<EndTail> tail = locateEndRecord(*source);
    if (!tail) throwArchiveError(path, tail.failure().text);
    return decodeComment(std::string_view(tail.value().text).substr(tail.value().found + kEndSize));
}

ZipReader::EndRecord ZipReader::readEndRecord() {
    const Result<EndTail> located = locateEndRecord(*m_source);
    if (!located) fail(located.failure().text);
    const EndTail& endTail = located.value();
    const std::string& tailText = endTail.text;
    const std::uint64_t tailStart = endTail.start;
    const std::size_t found = endTail.found;
    const auto* tail = reinterpret_cast<const unsigned char*>(tailText.data());

    const unsigned char* p = tail + found;
    // 0xFFFF in a disk number defers it to the ZIP64 end record, like any other field.
    const std::uint16_t thisDisk = get16(p + 4), directoryDisk = get16(p + 6);
    if ((thisDisk != 0 && thisDisk != kMax16) || (directoryDisk != 0 && directoryDisk != kMax16))
        fail("it spans several disks, which the program does not read");
    EndRecord end;
    end.disksDeferred = thisDisk == kMax16 || directoryDisk == kMax16;
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
    const bool saturated =
        end.count == kMax16 || end.cdSize == kMax32 || end.cdOffset == kMax32 || end.disksDeferred;
    if (!saturated) {
        if (end.cdOffset + end.cdSize != eocdPos) readUnneededZip64End(eocdPos, end);
        return;
    }
    if (eocdPos < kZip64LocatorSize) return;
    const std::uint64_t locatorPos = eocdPos - kZip64LocatorSize;
    unsigned char locator[kZip64LocatorSize];
    read(locatorPos, locator, sizeof locator, "the ZIP64 locator");
    if (get32(locator) != kZip64LocatorSig) {
        if (end.disksDeferred) fail("its end record defers its disk numbers to a ZIP64 end record it lacks");
        return;
    }
    checkOneDisk(locator);
    const std::uint64_t recordPos = get64(locator + 8);
    if (recordPos > locatorPos || locatorPos - recordPos < kZip64EndSize)
        fail("its ZIP64 locator points outside the archive");
    unsigned char record[kZip64EndSize];
    read(recordPos, record, sizeof record, "the ZIP64 end record");
    if (get32(record) != kZip64EndSig) fail("there is no ZIP64 end record where its locator points");
    const std::uint64_t recordSize = get64(record + 4);
    if (recordSize < kZip64EndSize - 12 || recordSize > locatorPos - recordPos - 12)
        fail("its ZIP64 end record has a wrong size");
    takeZip64End(record, end);
    end.cdEnd = recordPos;
}

// Some writers add the ZIP64 records to every archive, even when each value fits the end
// record. They are taken only when they leave no second reading: the directory ends where a
// well-formed ZIP64 end record begins, which ends where the locator pointing to it begins,
// right before the end record, and both records give the same values. Anything else is left
// to the directory's own check, which refuses it.
void ZipReader::readUnneededZip64End(std::uint64_t eocdPos, EndRecord& end) {
    const std::uint64_t recordPos = end.cdOffset + end.cdSize;
    if (eocdPos < kZip64EndSize + kZip64LocatorSize || recordPos > eocdPos - kZip64EndSize - kZip64LocatorSize)
        return;
    const std::uint64_t locatorPos = eocdPos - kZip64LocatorSize;
    unsigned char locator[kZip64LocatorSize];
    read(locatorPos, locator, sizeof locator, "the ZIP64 locator");
    if (get32(locator) != kZip64LocatorSig || get64(locator + 8) != recordPos) return;
    unsigned char record[kZip64EndSize];
    read(recordPos, record, sizeof record, "the ZIP64 end record");
    if (get32(record) != kZip64EndSig || get64(record + 4) != locatorPos - recordPos - 12) return;
    checkOneDisk(locator);
    const EndRecord plain = end;
    takeZip64End(record, end);
    const auto disagreement = [&](const char* field, std::uint64_t zip64, std::uint64_t plainValue) {
        fail(std::string("its ZIP64 end record gives another ") + field + " (" + number(zip64) +
             ") than its end record (" + number(plainValue) + ")");
    };
    if (end.count != plain.count) disagreement("item count", end.count, plain.count);
    if (end.cdSize != plain.cdSize) disagreement("central directory size", end.cdSize, plain.cdSize);
    if (end.cdOffset != plain.cdOffset) disagreement("central directory offset", end.cdOffset, plain.cdOffset);
    end.cdEnd = recordPos;
}

// The locator counts the disks; writers put 1 there (the count) or 0.
void ZipReader::checkOneDisk(const unsigned char* locator) const {
    if (get32(locator + 4) != 0 || get32(locator + 16) > 1)
        fail("it spans several disks, which the program does not read");
}

void ZipReader::takeZip64End(const unsigned char* record, EndRecord& end) const {
    if (get32(record + 16) != 0 || get32(record + 20) != 0)
        fail("it spans several disks, which the program does not read");
    end.count = get64(record + 32);
    if (get64(record + 24) != end.count) fail("its ZIP64 end record gives two different item counts");
    end.cdSize = get64(record + 40);
    end.cdOffset = get64(record + 48);
}

void ZipReader::readDirectory(const EndRecord& end) {
    if (end.cdOffset > end.cdEnd || end.cdSize != end.cdEnd - end.cdOffset)
        fail("its central directory (" + number(end.cdSize) + " bytes at offset " + number(end.cdOffset) +
             ") does not end where the end record begins: the offsets or sizes are wrong");
    if (end.count > end.cdSize / kCentralHeaderSize)
        fail("it claims " + number(end.count) + " items, but its central directory has room for at most " +
             number(end.cdSize / kCentralHeaderSize));
    if (end.cdSize > kMaxDirectoryBytes) fail("its central directory is larger than 256 MiB");

    // The directory is read through a window rather than whole: in an archive of a million
    // items it is ~150 MB, held beside the entries parsed from it. The window always holds a
    // whole entry (at most 46 + 3 x 65,535 bytes) or the directory's rest.
    constexpr std::size_t kWindow = 1u << 20, kLargestEntry = kCentralHeaderSize + 3 * 0xFFFF;
    std::string window;
    std::uint64_t loaded = 0; // bytes of the directory read so far
    std::size_t pos = 0;      // where the next entry begins in the window
    auto refill = [&] {
        if (window.size() - pos >= kLargestEntry || loaded == end.cdSize) return;
        window.erase(0, pos);
        pos = 0;
        const std::size_t more = std::size_t(std::min<std::uint64_t>(kWindow, end.cdSize - loaded));
        const std::size_t kept = window.size();
        window.resize(kept + more);
        read(end.cdOffset + loaded, window.data() + kept, more, "the central directory");
        loaded += more;
    };
    m_entries.reserve(std::size_t(end.count)); // bounded by the directory's size, checked above
    for (std::uint64_t i = 0; i < end.count; ++i) {
        refill();
        Entry entry;
        pos += parseEntry(reinterpret_cast<const unsigned char*>(window.data()) + pos, window.size() - pos, entry);
        m_entries.push_back(std::move(entry));
    }
    const std::uint64_t unused = (end.cdSize - loaded) + (window.size() - pos);
    if (unused != 0)
        fail("its central directory holds " + number(unused) +
             " bytes more than its items need: the item count or directory size is wrong");

    const long twin = m_byName.build(m_entries.size(), [this](std::size_t i) -> std::string_view {
        return m_entries[i].item.fileName;
    });
    if (twin >= 0) failItem(m_entries[std::size_t(twin)].item, "the archive holds two items of this name");
}

int ZipReader::indexOf(std::string_view name) const {
    return int(m_byName.find(name));
}

std::size_t ZipReader::parseEntry(const unsigned char* p, std::size_t left, Entry& entry) {
    // Built only for a message: a directory of many thousand items is parsed in a loop.
    const auto position = [&] { return "item " + number(m_entries.size() + 1); };
    if (left < kCentralHeaderSize) fail("its central directory is truncated at " + position());
    if (get32(p) != kCentralHeaderSig) fail("its central directory is damaged at " + position());
    const std::size_t nameSize = get16(p + 28), extraSize = get16(p + 30), commentSize = get16(p + 32);
    const std::size_t total = kCentralHeaderSize + nameSize + extraSize + commentSize;
    if (total > left) fail("its central directory is truncated at " + position());

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

    std::string_view unicodeName;
    std::size_t trailing = 0;
    const bool wellFormed = forEachExtraField(
        p + kCentralHeaderSize + nameSize, extraSize,
        [&](std::uint16_t id, const unsigned char* data, std::size_t size) {
            if (id == kExtraZip64) {
                std::size_t used = 0;
                auto take64 = [&](std::uint64_t& field) {
                    if (used + 8 > size) failRawName(rawName, "its ZIP64 extra field is too short");
                    field = get64(data + used);
                    used += 8;
                };
                if (item.uncompressedSize == kMax32) take64(item.uncompressedSize);
                if (item.compressedSize == kMax32) take64(item.compressedSize);
                if (entry.localHeaderOffset == kMax32) take64(entry.localHeaderOffset);
                if (diskStart == kMax16) {
                    if (used + 4 > size) failRawName(rawName, "its ZIP64 extra field is too short");
                    diskStart = get32(data + used);
                }
            } else if (id == kExtraTimestamp && size >= 5 && (data[0] & 1)) {
                item.modificationTime = std::int32_t(get32(data + 1));
            } else if (id == kExtraUnicodePath) {
                unicodeName = unicodePathName(data, size, rawName);
            }
        },
        trailing);
    if (!wellFormed) failRawName(rawName, "its extra fields are damaged");
    if (diskStart != 0) failRawName(rawName, "it lies on another disk of a spanned archive");

    item.fileName = decideName(item, rawName, unicodeName);
    if (item.fileName != rawName) entry.setRawName(std::string(rawName));
    if (item.fileName.empty()) fail(position() + " has an empty name");
    if (auto problem = nameCharacterProblem(item.fileName); !problem.empty()) {
        item.fileName = printable(item.fileName);
        failItem(item, problem);
    }
    checkSizes(entry);
    return total;
}

// The one name the item has, which listing, lookup, verification and extraction all use.
std::string ZipReader::decideName(const ZipItem& item, std::string_view rawName, std::string_view unicodeName) const {
    if (rawName.find('\0') != std::string_view::npos) failRawName(rawName, "its name contains a NUL byte");
    // A UTF-8 name, or a Unix name taken as the bytes the file system holds, is read as bytes,
    // where 0x01-0x1F and 0x7F are control characters; in code page 437 they are glyphs.
    const bool readAsBytes = (item.flags & kFlagUtf8) || item.host == kHostUnix;
    if (readAsBytes)
        if (auto problem = nameCharacterProblem(rawName); !problem.empty()) failRawName(rawName, problem);
    if (item.flags & kFlagUtf8) {
        if (!isValidUtf8(rawName)) failRawName(rawName, "its name is marked as UTF-8 but is not");
        // Tools that prefer the field would extract another file than the name says.
        if (!unicodeName.empty() && unicodeName != rawName)
            failRawName(rawName, "its Unicode path field names another file (\"" + printable(unicodeName) +
                               "\") than its UTF-8 name: the archive is damaged");
        return std::string(rawName);
    }
    if (!unicodeName.empty()) return std::string(unicodeName);
    // Info-ZIP's zip on Linux stores names as the bytes the file system holds, UTF-8 today,
    // without the flag; so does this kit for a name that is not UTF-8. Read as code page 437
    // they would be mangled, and such a file would not come back.
    if (item.host == kHostUnix) return std::string(rawName);
    return dosNameToUtf8(rawName);
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
    // Local headers are visited in file order, so one read of a window serves many small items;
    // the window ends after the last header it can hold whole (by the directory's name length
    // and some room for extra fields), so that the data of large items is not read for nothing.
    constexpr std::uint64_t kHeaderRoom = kLocalHeaderSize + 64, kMostWindow = 1u << 20;
    std::unique_ptr<char[]> window(new char[kMostWindow]);
    std::size_t windowSize = 0, next = 0; // next: in order, the item after the one being looked at
    std::uint64_t windowStart = 0;
    auto bytesAt = [&](std::uint64_t offset, std::size_t n) {
        if (offset < windowStart || offset + n > windowStart + windowSize) {
            std::uint64_t end = offset + std::max<std::uint64_t>(n, kHeaderRoom);
            for (std::size_t k = next - 1; k < order.size(); ++k) { // this item's header on
                const Entry& ahead = m_entries[order[k]];
                const std::uint64_t headerEnd = ahead.localHeaderOffset + kHeaderRoom + ahead.item.fileName.size();
                if (ahead.localHeaderOffset < offset) continue;
                if (headerEnd - offset > kMostWindow) break;
                end = std::max(end, headerEnd);
            }
            end = std::min(end, std::max(cdOffset, offset + n));
            if (end - offset > kMostWindow) window.reset(new char[std::size_t(end - offset)]); // one header's extra
            windowStart = offset;
            windowSize = std::size_t(end - offset);
            read(offset, window.get(), windowSize, "a local header");
        }
        return reinterpret_cast<const unsigned char*>(window.get()) + (offset - windowStart);
    };
    std::uint64_t previousEnd = 0;
    const ZipItem* previous = nullptr;
    for (std::size_t index : order) {
        Entry& e = m_entries[index];
        ++next;
        const std::uint64_t offset = e.localHeaderOffset;
        if (offset > cdOffset || cdOffset - offset < kLocalHeaderSize)
            failItem(e.item,
                     "its local header offset " + number(offset) + " lies outside the archive's data");
        if (previous && offset < previousEnd)
            failItem(e.item, "it overlaps the item \"" + previous->fileName + "\"");
        const unsigned char* header = bytesAt(offset, kLocalHeaderSize);
        if (get32(header) != kLocalHeaderSig)
            failItem(e.item, "there is no local header at its recorded offset " + number(offset));
        const std::size_t nameAndExtra = std::size_t(get16(header + 26)) + get16(header + 28);
        e.dataOffset = offset + kLocalHeaderSize + nameAndExtra;
        if (e.dataOffset > cdOffset || e.item.compressedSize > cdOffset - e.dataOffset)
            failItem(e.item, "its data (" + number(e.item.compressedSize) +
                                 " bytes) runs past the end of the archive's data");
        e.setLocalHeaderProblem(localHeaderDisagreement(e, bytesAt(offset, kLocalHeaderSize + nameAndExtra)));
        previousEnd = e.dataOffset + e.item.compressedSize;
        previous = &e.item;
    }
}

namespace {

// Sizes from a local ZIP64 field: it holds both, uncompressed first, though some writers put
// only the one whose slot is saturated. False when the field is too short for them.
bool takeLocalZip64Sizes(const unsigned char* data, std::size_t size, std::uint64_t& uncompressed,
                         std::uint64_t& compressed) {
    const bool bigUncompressed = uncompressed == kMax32, bigCompressed = compressed == kMax32;
    if (!bigUncompressed && !bigCompressed) return true;
    if (size >= 16) {
        if (bigUncompressed) uncompressed = get64(data);
        if (bigCompressed) compressed = get64(data + 8);
        return true;
    }
    if (size < 8 || (bigUncompressed && bigCompressed)) return false;
    (bigUncompressed ? uncompressed : compressed) = get64(data);
    return true;
}

} // namespace

// Tools that walk the local headers take name, method, sizes and CRC from there: where these
// disagree with the directory, such a tool extracts other bytes or another file than the one
// this kit checked, so the item is refused as damaged when it is read, verified or extracted.
// header holds the local header with its name and extra fields. Returns what disagrees, or empty.
std::string ZipReader::localHeaderDisagreement(const Entry& entry, const unsigned char* header) {
    const ZipItem& item = entry.item;
    const std::size_t nameSize = get16(header + 26), extraSize = get16(header + 28);
    const std::string_view localName(reinterpret_cast<const char*>(header + kLocalHeaderSize), nameSize);
    if (localName != (entry.rawName().empty() ? item.fileName : entry.rawName()))
        return "its local header holds another name than the directory";
    if (const std::uint16_t method = get16(header + 8); method != item.method)
        return "its local header gives another compression method (" + number(method) + ") than the directory (" +
               number(item.method) + ")";

    std::uint64_t compressed = get32(header + 18), uncompressed = get32(header + 22);
    std::string_view unicodeName;
    bool zip64TooShort = false;
    std::size_t trailing = 0;
    const bool wellFormed = forEachExtraField(
        header + kLocalHeaderSize + nameSize, extraSize,
        [&](std::uint16_t id, const unsigned char* data, std::size_t size) {
            if (id == kExtraZip64) zip64TooShort = !takeLocalZip64Sizes(data, size, uncompressed, compressed);
            else if (id == kExtraUnicodePath) unicodeName = unicodePathName(data, size, localName);
        },
        trailing);
    // A few zero bytes after the last field are the padding that aligning tools add.
    const unsigned char* end = header + kLocalHeaderSize + nameSize + extraSize;
    if (!wellFormed || std::any_of(end - trailing, end, [](unsigned char c) { return c != 0; }))
        return "its local header's extra fields are malformed";
    if (zip64TooShort) return "its local header's ZIP64 extra field is too short for its sizes";

    // With a data descriptor (bit 3) the local header may hold zeros, or saturated sizes, and
    // the descriptor after the data the values; readers then take them from the directory or
    // the descriptor.
    const bool descriptor = get16(header + 6) & kFlagDataDescriptor;
    const auto sizeAgrees = [&](std::uint64_t local, std::uint64_t directory) {
        return local == directory || (descriptor && (local == 0 || local == kMax32));
    };
    if (!sizeAgrees(compressed, item.compressedSize))
        return "its local header gives another compressed size (" + number(compressed) + " bytes) than the directory (" +
               number(item.compressedSize) + " bytes)";
    if (!sizeAgrees(uncompressed, item.uncompressedSize))
        return "its local header gives another uncompressed size (" + number(uncompressed) +
               " bytes) than the directory (" + number(item.uncompressedSize) + " bytes)";
    if (const std::uint32_t crc = get32(header + 14); crc != item.crc32 && !(descriptor && crc == 0))
        return "its local header gives another CRC-32 (" + crc32Hex(crc) + ") than the directory (" +
               crc32Hex(item.crc32) + ")";
    if (!unicodeName.empty() && unicodeName != item.fileName)
        return "its local header's Unicode path field names another file (\"" + printable(unicodeName) +
               "\") than the directory";
    return {};
}

std::string ZipReader::readProblem(const Entry& entry) {
    const ZipItem& item = entry.item;
    // Encryption first: some encrypting writers mask the local header's values on purpose.
    if (item.isEncrypted()) return "it is encrypted, which the program cannot read";
    if (!entry.localHeaderProblem().empty()) return entry.localHeaderProblem() + ": the archive is damaged";
    if (item.method != kMethodStored && item.method != kMethodDeflate)
        return "it is compressed with method " + number(item.method) + "; the program reads only stored and Deflate items";
    return {};
}

void ZipReader::readItem(const Entry& entry, const DataSink& sink) const {
    const ZipItem& item = entry.item;
    if (const std::string problem = readProblem(entry); !problem.empty()) failItem(item, problem);
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

// The thread's scratch space for one inflation, lent by its read-ahead (and given back) when
// there is one; a nested inflation finds it lent out and makes its own.
class InflateScratch {
public:
    InflateScratch() : m_owner(t_readAhead) {
        if (m_owner) m_space = std::move(m_owner->m_scratch);
    }
    ~InflateScratch() {
        if (m_owner) m_owner->m_scratch = std::move(m_space);
    }
    InflateScratch(const InflateScratch&) = delete;
    InflateScratch& operator=(const InflateScratch&) = delete;
    libdeflate_decompressor* decompressor() {
        if (!m_space.decompressor) m_space.decompressor.reset(libdeflate_alloc_decompressor());
        return m_space.decompressor.get();
    }
    char* out(std::size_t size) {
        if (m_space.outSize < size || !m_space.out) {
            m_space.out.reset(new char[std::max<std::size_t>(size, 1)]);
            m_space.outSize = size;
        }
        return m_space.out.get();
    }

private:
    const ZipReader::ReadAhead* m_owner;
    ZipReader::ReadAhead::ScratchSpace m_space;
};

void ZipReader::ReadAhead::FreeDecompressor::operator()(libdeflate_decompressor* d) const {
    libdeflate_free_decompressor(d);
}

// Most items of a source tree are small: they are read whole and decompressed in one call,
// which is several times faster than streaming through zlib. Anything unusual (a size that
// does not match, damaged data) is left to the streaming path, whose messages say exactly
// what is wrong. Data the thread has read ahead is decompressed where it lies.
bool ZipReader::inflateWhole(const Entry& entry, const DataSink& sink, std::uint32_t& crc,
                             std::uint64_t& produced) const {
    const ZipItem& item = entry.item;
    if (item.uncompressedSize > kWholeItemLimit || item.compressedSize > kWholeItemLimit) return false;
    InflateScratch scratch;
    libdeflate_decompressor* const decompressor = scratch.decompressor();
    if (!decompressor) return false;
    const std::size_t inSize = std::size_t(item.compressedSize), outSize = std::size_t(item.uncompressedSize);
    std::unique_ptr<char[]> copied;
    const char* in = readAheadBytes(entry.dataOffset, inSize);
    if (!in) {
        copied.reset(new char[inSize]);
        read(entry.dataOffset, copied.get(), inSize, "an item's data");
        in = copied.get();
    }
    char* const out = scratch.out(outSize);
    std::size_t got = 0, used = 0;
    const libdeflate_result rc = libdeflate_deflate_decompress_ex(decompressor, in, inSize, out, outSize, &used, &got);
    if (rc != LIBDEFLATE_SUCCESS || got != outSize || used != inSize) return false;
    crc = UpdateCrc32(crc, out, got);
    produced = got;
    if (got > 0) sink(out, got);
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

ZipReader::ReadAhead::ReadAhead(const ZipReader& reader, const Entry* const* entries, std::size_t count) {
    constexpr std::uint64_t kMost = 1u << 20;
    std::uint64_t from = 0, to = 0, useful = 0;
    std::size_t found = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!entries[i]) continue;
        const std::uint64_t at = entries[i]->dataOffset, end = at + entries[i]->item.compressedSize;
        from = found ? std::min(from, at) : at;
        to = found ? std::max(to, end) : end;
        useful += end - at;
        ++found;
    }
    // Worth it for several items whose data fills most of the span between them. Anything
    // amiss is found again, and told, when each item is read by itself.
    if (found >= 2 && to - from <= kMost && to - from <= 2 * useful + 4096) {
        m_bytes.reset(new char[std::size_t(to - from)]);
        if (reader.m_source->readAt(from, m_bytes.get(), std::size_t(to - from))) {
            m_reader = reader.m_id;
            m_start = from;
            m_size = std::size_t(to - from);
        }
    }
    // Last, once nothing can throw: a constructor that throws runs no destructor to undo it.
    m_registered = true;
    m_before = t_readAhead;
    t_readAhead = this;
}

ZipReader::ReadAhead::~ReadAhead() {
    if (m_registered && t_readAhead == this) t_readAhead = m_before;
}

} // namespace kp
