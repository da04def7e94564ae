// Reads an archive's directory and its items' data, treating every byte as untrusted:
// each field is checked before it is used, nothing is allocated by a size the archive
// merely claims, and item data is checked against its stored size and CRC as it streams.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ByteSource.h"
#include "zip/NameIndex.h"
#include "zip/ZipItem.h"

struct libdeflate_decompressor;

namespace kp {

// The archive's comment alone: only its end record is read, so a state of any size shows
// its comment at once. Throws ArchiveError as the reader would for a damaged end.
std::string readArchiveComment(const std::string& path);

class ZipReader {
public:
    struct Entry {
        ZipItem item;
        std::uint64_t localHeaderOffset = 0;
        std::uint64_t dataOffset = 0; // first byte of the compressed data
        // The name's bytes in the directory, where they differ from item.fileName.
        const std::string& rawName() const { return m_odd ? m_odd->rawName : kNothing; }
        // What the local header says otherwise than the directory (name, method, sizes, CRC,
        // extra fields), or empty: damaged or forged, the item is refused when read or extracted.
        const std::string& localHeaderProblem() const { return m_odd ? m_odd->localHeaderProblem : kNothing; }
        void setRawName(std::string name) { odd().rawName = std::move(name); }
        void setLocalHeaderProblem(std::string problem) {
            if (!problem.empty()) odd().localHeaderProblem = std::move(problem);
        }

    private:
        // Rare: kept aside, so that the entries of a directory of a million items stay small.
        struct Oddities {
            std::string rawName, localHeaderProblem;
        };
        Oddities& odd() {
            if (!m_odd) m_odd = std::make_unique<Oddities>();
            return *m_odd;
        }
        static inline const std::string kNothing;
        std::unique_ptr<Oddities> m_odd;
    };
    using DataSink = std::function<void(const char* data, std::size_t n)>;

    // Parses and checks the whole directory; throws ArchiveError naming archiveName and
    // what is wrong.
    ZipReader(std::shared_ptr<const ByteSource> source, std::string archiveName);
    ZipReader(const ZipReader&) = delete; // the name index refers to this reader's entries
    ZipReader& operator=(const ZipReader&) = delete;

    const std::vector<Entry>& entries() const { return m_entries; }
    // The entry of exactly this name, or -1. Constant time.
    int indexOf(std::string_view name) const;
    const std::string& comment() const { return m_comment; }
    const std::string& archiveName() const { return m_archiveName; }

    // Hands the item's decompressed data to sink piece by piece. Throws ArchiveError when the
    // item is encrypted, uses another method, its local header names another item, or its data
    // disagrees with its size or CRC; the data already handed over is then not to be trusted.
    void readItem(const Entry& entry, const DataSink& sink) const;
    // Why readItem would refuse the item whatever its data holds (encryption, another method,
    // a local header that disagrees with the directory), or empty: known without reading it.
    static std::string readProblem(const Entry& entry);
    // Hands the item's compressed bytes to sink unchanged (for copying into a new archive).
    void copyRaw(const Entry& entry, const DataSink& sink) const;
    // The same bytes into out, which has room for the item's compressed size.
    void readRaw(const Entry& entry, char* out) const;
    // The data of some items, which the calling thread reads next, read at once when they lie
    // close together in the archive (as a folder's files do): one read instead of one per small
    // item. While it lives, that thread's reads of any reader within those bytes are served
    // from it. It is an object the caller holds, not memory kept per thread: MinGW's threads
    // free a thread_local object's storage before its destructor runs, and crash as they end.
    class ReadAhead {
    public:
        ReadAhead() = default; // nothing read ahead
        ReadAhead(const ZipReader& reader, const Entry* const* entries, std::size_t count);
        ReadAhead(const ReadAhead&) = delete; // the thread's reads refer to it where it is
        ReadAhead& operator=(const ReadAhead&) = delete;
        ~ReadAhead();

    private:
        friend class ZipReader;
        friend class InflateScratch;
        struct FreeDecompressor {
            void operator()(libdeflate_decompressor* d) const;
        };
        // What the thread's whole-item inflations reuse while the read-ahead lives, instead
        // of making a decompressor and an output buffer for every item.
        struct ScratchSpace {
            std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor;
            std::unique_ptr<char[]> out;
            std::size_t outSize = 0;
        };
        std::uint64_t m_reader = 0; // the reader's id, 0 for nothing read
        std::uint64_t m_start = 0;
        std::size_t m_size = 0;
        std::unique_ptr<char[]> m_bytes;
        mutable ScratchSpace m_scratch;
        bool m_registered = false;           // the thread's reads look here
        const ReadAhead* m_before = nullptr; // the thread's read-ahead before this one
    };

private:
    struct EndRecord {
        std::uint64_t count = 0, cdSize = 0, cdOffset = 0, cdEnd = 0;
        bool disksDeferred = false; // the disk numbers are 0xFFFF: the ZIP64 end record has them
    };
    EndRecord readEndRecord();
    void readZip64End(std::uint64_t eocdPos, EndRecord& end);
    void readUnneededZip64End(std::uint64_t eocdPos, EndRecord& end);
    void checkOneDisk(const unsigned char* locator) const;
    void takeZip64End(const unsigned char* record, EndRecord& end) const;
    void readDirectory(const EndRecord& end);
    std::size_t parseEntry(const unsigned char* p, std::size_t left, Entry& entry);
    std::string decideName(const ZipItem& item, std::string_view rawName, std::string_view unicodeName) const;
    void checkLayout(std::uint64_t cdOffset);
    static std::string localHeaderDisagreement(const Entry& entry, const unsigned char* header);
    void checkSizes(const Entry& entry) const;
    void read(std::uint64_t offset, void* buffer, std::size_t n, const char* what) const;
    // The bytes at offset when the thread's read-ahead holds them all, else null.
    const char* readAheadBytes(std::uint64_t offset, std::size_t n) const;
    void inflateItem(const Entry& entry, const DataSink& sink, std::uint32_t& crc,
                     std::uint64_t& produced) const;
    bool inflateWhole(const Entry& entry, const DataSink& sink, std::uint32_t& crc, std::uint64_t& produced) const;

    [[noreturn]] void fail(const std::string& what) const;
    [[noreturn]] void failItem(const ZipItem& item, const std::string& what) const;
    [[noreturn]] void failRawName(std::string_view rawName, const std::string& what) const;

    std::shared_ptr<const ByteSource> m_source;
    const std::uint64_t m_id; // tells this reader's read-ahead from another's at the same address
    std::string m_archiveName;
    std::vector<Entry> m_entries;
    NameIndex m_byName; // over the entries' names, which never change once the directory is read
    std::string m_comment;
};

} // namespace kp
