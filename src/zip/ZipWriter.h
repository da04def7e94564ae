// Lays out the records of a new archive on a sink: local headers, the central directory,
// the ZIP64 records when a size, an offset or the count outgrows the classic fields, and
// the end record with the archive comment.
#pragma once
#include <cstdint>
#include <string>

#include "zip/OutputSink.h"
#include "zip/ZipItem.h"

namespace kp {

class ZipWriter {
public:
    ZipWriter(OutputSink& sink, bool forceZip64) : m_sink(sink), m_forceZip64(forceZip64) {}

    // Writes the local header of item at the current position and returns that offset. The
    // header gets a ZIP64 field when the item's uncompressed size needs one; compressed data
    // is never larger, since the writer stores whatever Deflate would enlarge.
    std::uint64_t beginItem(const ZipItem& item);
    // Rewrites the local header at offset with the item's final CRC and sizes (same layout).
    void patchItem(std::uint64_t offset, const ZipItem& item);
    void writeData(const void* data, std::size_t n) { m_sink.write(data, n); }
    // Records the item for the central directory.
    void endItem(std::uint64_t offset, const ZipItem& item);
    // Writes the central directory and the end records.
    void finish(const std::string& comment);

    std::uint64_t position() const { return m_sink.position(); }
    OutputSink& sink() { return m_sink; }

    // Why a comment cannot be written, or empty.
    static std::string commentProblem(const std::string& comment);

private:
    std::string localHeader(const ZipItem& item, bool zip64) const;
    bool localNeedsZip64(const ZipItem& item) const;

    OutputSink& m_sink;
    bool m_forceZip64;
    std::string m_central;
    std::uint64_t m_count = 0;
};

} // namespace kp
