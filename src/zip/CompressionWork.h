// What a worker does with one task of a save: read a file, checksum it, and compress it, store
// it, or fetch the compressed bytes of an earlier archive's item that holds the same data.
// Everything here runs on worker threads; the saving thread only writes what comes back.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "zip/WorkerPool.h"
#include "zip/ZipReader.h"

namespace kp {

// What a file's item takes from the file itself.
struct FileFacts {
    std::uint64_t size = 0;
    std::uint32_t mode = 0; // permission and special bits
    std::int64_t modificationTime = 0;
    std::uint32_t dosAttributes = 0; // read-only, hidden, system, archive (Windows only)
};

// What a worker hands back: the bytes to write and what the writer needs to know about them.
struct Piece {
    std::string bytes;
    std::uint32_t crc = 0;
    std::uint64_t inputSize = 0;
    bool stored = false; // bytes (or the caller's data) are the input itself
    bool reused = false; // bytes are the earlier item's compressed data, crc its CRC
    // The earlier item had the file's size and CRC but did not give back its bytes: the file
    // was compressed instead, and that archive is damaged.
    bool reuseRefused = false;
    bool failed = false;
    FileFacts facts;
};

// An earlier archive's item that may stand in for a file: same name and size. It is used only
// when the file's CRC, computed as the file is read, equals the item's.
struct ReuseCandidate {
    const ZipReader* reader = nullptr;
    const ZipReader::Entry* entry = nullptr;
    explicit operator bool() const { return entry != nullptr; }
};

// How a file too large to be read whole is written; its first task decides, the tasks of its
// pieces wait for the decision. Tasks run in submission order, so the deciding task has always
// been started when a piece waits for it.
class LargeFileWay {
public:
    enum Way { Pending, Reuse, Store, Deflate, Failed };
    void decide(Way way);
    Way await();
    Way decided() const { return m_way; } // once the deciding task is known to be done

private:
    std::mutex m_mutex;
    std::condition_variable m_decided;
    Way m_way = Pending;
};

// Data that Deflate would barely shrink: names of compressed formats, by their ending.
bool hasCompressedFormatName(std::string_view name);

// Deflate at the normal level when it shrinks the data below 97 % of its size, else stored;
// knownIncompressible skips the attempt. The stored bytes are copied into the piece only with
// keepStored (the writer has no other hold of them).
void compressWhole(WorkerContext& ctx, Piece& piece, const char* input, std::size_t n, bool keepStored,
                   bool knownIncompressible);

// The compressed data of a batch's reuse candidates, read at once when they lie close
// together in their archive (as they do: archives hold a folder's files one after another):
// one read instead of one per small file, kept while the result lives. A candidate outside
// what was read is read alone.
ZipReader::ReadAhead readReusedAhead(const ReuseCandidate* candidates, std::size_t count);

// A file read whole: reused, compressed or stored. Reused only when the earlier item's data,
// inflated, is the file's bytes. limit: larger files (grown since planning)
// fail. listed: the file's facts as the caller's listing found them, or null to ask the file.
void readAndCompressFile(WorkerContext& ctx, Piece& piece, const std::string& path, std::size_t limit,
                         const FileFacts* listed, const ReuseCandidate& reuse, bool knownIncompressible);

// The deciding task of a large file: the whole file's CRC against a reuse candidate, then the
// name and a trial of the first block choose between storing and Deflate.
void decideLargeFile(WorkerContext& ctx, Piece& piece, const std::string& path, std::uint64_t size,
                     std::size_t blockSize, const ReuseCandidate& reuse, bool knownIncompressible,
                     LargeFileWay& way);

// One piece of a large file, as the decision says: nothing (reused), the bytes themselves
// (stored), or raw Deflate that continues the pieces before it.
void largeFilePiece(WorkerContext& ctx, Piece& piece, const std::string& path, std::uint64_t offset,
                    std::size_t length, bool last, LargeFileWay& way);

} // namespace kp
