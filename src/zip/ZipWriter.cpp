#include "zip/ZipWriter.h"

#include "zip/ArchiveError.h"

#include "zip/ZipFormat.h"

namespace kp {

using namespace zipformat;

namespace {

constexpr std::uint16_t kVersionMadeBy = 63; // APPNOTE 6.3: UTF-8 names (bit 11)

std::uint16_t versionNeeded(const ZipItem& item, bool zip64) {
    if (zip64) return 45;
    return (item.method == kMethodDeflate || item.isFolder()) ? 20 : 10;
}

// The extended timestamp carries the UTC modification time, so that unzip tools restore
// exact times; the program itself keeps to the DOS time.
bool hasTimestamp(const ZipItem& item) {
    return item.modificationTime >= 0 && item.modificationTime <= 0x7FFFFFFF;
}

void putTimestamp(std::string& out, const ZipItem& item) {
    if (!hasTimestamp(item)) return;
    put16(out, kExtraTimestamp);
    put16(out, 5);
    out.push_back(1); // modification time present
    put32(out, std::uint32_t(item.modificationTime));
}

std::uint32_t clamp32(std::uint64_t v, bool zip64) {
    return (zip64 || v >= kMax32) ? kMax32 : std::uint32_t(v);
}

} // namespace

std::string ZipWriter::commentProblem(const std::string& comment) {
    if (comment.size() > kMaxComment) return "the archive comment is longer than 65,535 bytes";
    // A reader finds the end record by scanning back from the end of the file; a comment that
    // held its signature could pass itself off as the end record.
    if (comment.find("PK\x05\x06") != std::string::npos)
        return "the archive comment contains the signature of an end-of-directory record";
    return {};
}

bool ZipWriter::localNeedsZip64(const ZipItem& item) const {
    return m_forceZip64 || item.uncompressedSize >= kMax32 || item.compressedSize >= kMax32;
}

std::string ZipWriter::localHeader(const ZipItem& item, bool zip64) const {
    // The last guard before a length field would wrap: an item read back from an old
    // archive may have a longer name after decoding than the 65,535 bytes the field holds.
    if (item.fileName.size() > 0xFFFF)
        throw ArchiveError("the item name \"" + item.fileName.substr(0, 60) + "...\" is over 65,535 bytes");
    std::string h;
    h.reserve(kLocalHeaderSize + item.fileName.size() + 32);
    put32(h, kLocalHeaderSig);
    put16(h, versionNeeded(item, zip64));
    put16(h, item.flags);
    put16(h, item.method);
    put16(h, item.dosTime & 0xFFFF);
    put16(h, item.dosTime >> 16);
    put32(h, item.crc32);
    put32(h, clamp32(item.compressedSize, zip64));
    put32(h, clamp32(item.uncompressedSize, zip64));
    put16(h, std::uint32_t(item.fileName.size()));
    std::string extra;
    if (zip64) { // APPNOTE 4.5.3: the local field holds both sizes
        put16(extra, kExtraZip64);
        put16(extra, 16);
        put64(extra, item.uncompressedSize);
        put64(extra, item.compressedSize);
    }
    putTimestamp(extra, item);
    put16(h, std::uint32_t(extra.size()));
    h += item.fileName;
    h += extra;
    return h;
}

std::uint64_t ZipWriter::beginItem(const ZipItem& item) {
    const std::uint64_t offset = m_sink.position();
    const std::string header = localHeader(item, localNeedsZip64(item));
    m_sink.write(header.data(), header.size());
    return offset;
}

void ZipWriter::patchItem(std::uint64_t offset, const ZipItem& item) {
    const std::string header = localHeader(item, localNeedsZip64(item));
    m_sink.writeAt(offset, header.data(), header.size());
}

void ZipWriter::endItem(std::uint64_t offset, const ZipItem& item) {
    const bool bigUncompressed = m_forceZip64 || item.uncompressedSize >= kMax32;
    const bool bigCompressed = m_forceZip64 || item.compressedSize >= kMax32;
    const bool bigOffset = m_forceZip64 || offset >= kMax32;
    const bool zip64 = bigUncompressed || bigCompressed || bigOffset;

    std::string extra;
    if (zip64) { // APPNOTE 4.5.3: only the fields whose classic slot is saturated, in this order
        put16(extra, kExtraZip64);
        put16(extra, 8 * (int(bigUncompressed) + int(bigCompressed) + int(bigOffset)));
        if (bigUncompressed) put64(extra, item.uncompressedSize);
        if (bigCompressed) put64(extra, item.compressedSize);
        if (bigOffset) put64(extra, offset);
    }
    putTimestamp(extra, item);

    std::string& c = m_central;
    put32(c, kCentralHeaderSig);
    put16(c, (std::uint32_t(item.host) << 8) | kVersionMadeBy);
    put16(c, versionNeeded(item, zip64));
    put16(c, item.flags);
    put16(c, item.method);
    put16(c, item.dosTime & 0xFFFF);
    put16(c, item.dosTime >> 16);
    put32(c, item.crc32);
    put32(c, bigCompressed ? kMax32 : std::uint32_t(item.compressedSize));
    put32(c, bigUncompressed ? kMax32 : std::uint32_t(item.uncompressedSize));
    put16(c, std::uint32_t(item.fileName.size()));
    put16(c, std::uint32_t(extra.size()));
    put16(c, 0); // item comment
    put16(c, 0); // disk number start
    put16(c, 0); // internal attributes
    put32(c, item.externalAttributes);
    put32(c, bigOffset ? kMax32 : std::uint32_t(offset));
    c += item.fileName;
    c += extra;
    ++m_count;
}

void ZipWriter::finish(const std::string& comment) {
    const std::uint64_t cdOffset = m_sink.position();
    const std::uint64_t cdSize = m_central.size();
    m_sink.write(m_central.data(), m_central.size());
    std::string().swap(m_central);

    const bool manyItems = m_forceZip64 || m_count >= kMax16;
    const bool bigSize = m_forceZip64 || cdSize >= kMax32;
    const bool bigOffset = m_forceZip64 || cdOffset >= kMax32;
    std::string tail;
    if (manyItems || bigSize || bigOffset) {
        const std::uint64_t recordOffset = cdOffset + cdSize;
        put32(tail, kZip64EndSig);
        put64(tail, kZip64EndSize - 12);
        put16(tail, (std::uint32_t(kHostUnix) << 8) | kVersionMadeBy);
        put16(tail, 45);
        put32(tail, 0);
        put32(tail, 0);
        put64(tail, m_count);
        put64(tail, m_count);
        put64(tail, cdSize);
        put64(tail, cdOffset);
        put32(tail, kZip64LocatorSig);
        put32(tail, 0);
        put64(tail, recordOffset);
        put32(tail, 1);
    }
    const std::uint32_t count16 = manyItems ? kMax16 : std::uint32_t(m_count);
    put32(tail, kEndSig);
    put16(tail, 0);
    put16(tail, 0);
    put16(tail, count16);
    put16(tail, count16);
    put32(tail, bigSize ? kMax32 : std::uint32_t(cdSize));
    put32(tail, bigOffset ? kMax32 : std::uint32_t(cdOffset));
    put16(tail, std::uint32_t(comment.size()));
    tail += comment;
    m_sink.write(tail.data(), tail.size());
}

} // namespace kp
