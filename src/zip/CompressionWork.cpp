#include "zip/CompressionWork.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <libdeflate.h>
#include <zlib.h>

#include "platform/InputFile.h"
#include "platform/Text.h"
#include "zip/ArchiveError.h"
#include "zip/Crc32.h"
#include "zip/ZipFormat.h"

namespace kp {

namespace {

constexpr std::size_t kWindow = 32768;     // Deflate's dictionary: pieces after the first get it
constexpr std::size_t kTrialBlock = 65536; // the first block, compressed to judge a large file
constexpr std::size_t kReadBlock = 1u << 20;

std::uint32_t crcOf(const void* data, std::size_t n) {
    return ~UpdateCrc32(0xFFFFFFFFu, data, n);
}

// Below this many bytes Deflate is worth its cost: every later read inflates the item again.
std::size_t worthwhileSize(std::size_t n) {
    return n - n * 3 / 100;
}

// Whether the first block of input fails to shrink below 97 %. Small inputs are not tried:
// compressing them whole costs little more than the trial would.
bool firstBlockIncompressible(WorkerContext& ctx, const char* input, std::size_t n) {
    if (n <= 2 * kTrialBlock) return false;
    char* out = ctx.output(kTrialBlock);
    return libdeflate_deflate_compress(ctx.deflater(), input, kTrialBlock, out,
                                       worthwhileSize(kTrialBlock)) == 0;
}

FileFacts factsOf(const InputFile& file) {
    return {file.size(), file.mode(), file.modificationTime(), file.dosAttributes()};
}

// The earlier item's compressed bytes, read whole; false when the archive cannot be read.
bool fetchReused(const ReuseCandidate& reuse, std::string& out) {
    try {
        out.resize(std::size_t(reuse.entry->item.compressedSize));
        reuse.reader->readRaw(*reuse.entry, out.data());
        return true;
    } catch (const ArchiveError&) {
        out.clear();
        return false;
    }
}

// Whether an earlier item's compressed bytes give back exactly the file's bytes. Equal size
// and CRC make that all but certain; the bytes are compared all the same, since a damaged
// archive, or other data under the same CRC, must never pass for the file. The check after
// saving then only has to find the file still holding that CRC, as for a compressed file.
bool givesBack(WorkerContext& ctx, std::uint16_t method, const std::string& compressed, const char* data,
               std::size_t n) {
    if (method == zipformat::kMethodStored) return compressed.size() == n && std::memcmp(compressed.data(), data, n) == 0;
    if (compressed.empty()) return n == 0; // some writers give an empty file no Deflate bytes at all
    char* out = ctx.output(n);
    std::size_t used = 0, got = 0;
    return libdeflate_deflate_decompress_ex(ctx.inflater(), compressed.data(), compressed.size(), out, n, &used,
                                           &got) == LIBDEFLATE_SUCCESS &&
           used == compressed.size() && got == n && (n == 0 || std::memcmp(out, data, n) == 0);
}

} // namespace

ZipReader::ReadAhead readReusedAhead(const ReuseCandidate* candidates, std::size_t count) {
    std::array<const ZipReader::Entry*, 64> entries{};
    const ZipReader* reader = nullptr;
    std::size_t n = 0;
    for (std::size_t i = 0; i < count && n < entries.size(); ++i) {
        if (!candidates[i]) continue;
        if (reader && candidates[i].reader != reader) break;
        reader = candidates[i].reader;
        entries[n++] = candidates[i].entry;
    }
    if (!reader) return {};
    return {*reader, entries.data(), n};
}

bool hasCompressedFormatName(std::string_view name) {
    static constexpr std::array<std::string_view, 44> kEndings = {
        ".7z",   ".aac", ".apk", ".avi",  ".avif", ".br",   ".bz2",   ".cab",  ".deb", ".docx", ".epub",
        ".flac", ".gif", ".gz",  ".heic", ".jar",  ".jpeg", ".jpg",   ".lz",   ".lz4", ".lzma", ".m4a",
        ".m4v",  ".mkv", ".mov", ".mp3",  ".mp4",  ".odp",  ".ods",   ".odt",  ".ogg", ".opus", ".png",
        ".pptx", ".rar", ".rpm", ".tgz",  ".webm", ".webp", ".woff2", ".xlsx", ".xz",  ".zip",  ".zst"};
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot > 6) return false;
    const std::string ending = lowerUtf8(name.substr(dot));
    return std::find(kEndings.begin(), kEndings.end(), ending) != kEndings.end();
}

void LargeFileWay::decide(Way way) {
    {
        std::lock_guard lock(m_mutex);
        m_way = way;
    }
    m_decided.notify_all();
}

LargeFileWay::Way LargeFileWay::await() {
    std::unique_lock lock(m_mutex);
    m_decided.wait(lock, [this] { return m_way != Pending; });
    return m_way;
}

void compressWhole(WorkerContext& ctx, Piece& piece, const char* input, std::size_t n, bool keepStored,
                   bool knownIncompressible) {
    piece.crc = crcOf(input, n);
    piece.inputSize = n;
    if (n > 1 && !knownIncompressible && !firstBlockIncompressible(ctx, input, n)) {
        const std::size_t room = worthwhileSize(n);
        char* out = ctx.output(room);
        const std::size_t got = libdeflate_deflate_compress(ctx.deflater(), input, n, out, room);
        if (got > 0) {
            piece.bytes.assign(out, got);
            return;
        }
    }
    piece.stored = true;
    if (keepStored) piece.bytes.assign(input, n);
}

namespace {

// Reads the whole file into the worker's input block; false when it cannot be opened or read,
// or has grown beyond limit. With the listing's facts the file is opened without asking for
// them again and read one byte further than the listed size. Only a file found exactly as
// listed is taken so; one that grew or shrank since, or an empty one (a FIFO reads empty too),
// is opened again the long way, which asks the system what it is and how large.
bool readWholeFile(WorkerContext& ctx, Piece& piece, const std::string& path, std::size_t limit,
                   const FileFacts* listed, char*& data, std::size_t& have) {
    InputFile file;
    if (listed && listed->size < limit) {
        if (!file.openListed(path, ctx.folder())) return false;
        const std::size_t want = std::size_t(listed->size) + 1;
        data = ctx.input(want);
        have = 0;
        for (;;) { // on after a short read, until the listed size, one byte more, or the end
            const std::ptrdiff_t got = file.read(data + have, want - have);
            if (got < 0) return false;
            if (got == 0) break;
            have += std::size_t(got);
            if (have == want || have == listed->size) break;
        }
        if (have == listed->size && (have > 0 || file.isRegularFile())) {
            piece.facts = file.knowsFacts() ? factsOf(file) : *listed;
            piece.facts.size = have;
            return true;
        }
    }
    if (!file.open(path)) return false;
    piece.facts = factsOf(file);
    // The size found on opening is what is stored: a file that grows meanwhile is caught by
    // the check after writing, and not reading on to the end saves a system call per file.
    const std::uint64_t size = file.size();
    if (size > limit) return false; // it grew far beyond what was planned for it
    data = ctx.input(std::size_t(std::max<std::uint64_t>(size, 1)));
    have = 0;
    while (have < size) {
        const std::ptrdiff_t got = file.read(data + have, std::size_t(size) - have);
        if (got < 0) return false;
        if (got == 0) break; // a file that shrank meanwhile is stored as it was read
        have += std::size_t(got);
    }
    return true;
}

} // namespace

void readAndCompressFile(WorkerContext& ctx, Piece& piece, const std::string& path, std::size_t limit,
                         const FileFacts* listed, const ReuseCandidate& reuse, bool knownIncompressible) {
    char* data = nullptr;
    std::size_t have = 0;
    if (!readWholeFile(ctx, piece, path, limit, listed, data, have)) {
        piece.failed = true;
        return ctx.trim();
    }
    if (reuse && have == reuse.entry->item.uncompressedSize &&
        crcOf(data, have) == reuse.entry->item.crc32 && fetchReused(reuse, piece.bytes)) {
        if (givesBack(ctx, reuse.entry->item.method, piece.bytes, data, have)) {
            piece.reused = true;
            piece.crc = reuse.entry->item.crc32;
            piece.inputSize = have;
            return ctx.trim();
        }
        piece.reuseRefused = true;
    }
    compressWhole(ctx, piece, data, have, true, knownIncompressible);
    ctx.trim();
}

void decideLargeFile(WorkerContext& ctx, Piece& piece, const std::string& path, std::uint64_t size,
                     std::size_t blockSize, const ReuseCandidate& reuse, bool knownIncompressible,
                     LargeFileWay& way) {
    // The pieces wait for this decision whatever happens here, an exception included.
    struct Decision {
        LargeFileWay& way;
        LargeFileWay::Way chosen = LargeFileWay::Failed;
        ~Decision() { way.decide(chosen); }
    } decision{way};
    InputFile file;
    if (!file.open(path)) {
        piece.failed = true;
        return;
    }
    piece.facts = factsOf(file);
    char* block = ctx.input(std::max(blockSize, kTrialBlock));
    if (reuse && size == reuse.entry->item.uncompressedSize) {
        std::uint32_t crc = 0xFFFFFFFFu;
        bool readable = true;
        for (std::uint64_t done = 0; readable && done < size;) {
            const std::size_t n = std::size_t(std::min<std::uint64_t>(blockSize, size - done));
            readable = file.readAt(done, block, n);
            crc = UpdateCrc32(crc, block, n);
            done += n;
        }
        if (readable && ~crc == reuse.entry->item.crc32) {
            piece.crc = ~crc;
            decision.chosen = LargeFileWay::Reuse;
            return;
        }
    }
    if (knownIncompressible) {
        decision.chosen = LargeFileWay::Store;
        return;
    }
    const std::size_t trial = std::size_t(std::min<std::uint64_t>(kTrialBlock, size));
    if (!file.readAt(0, block, trial)) {
        piece.failed = true;
        return;
    }
    char* out = ctx.output(trial);
    const bool shrinks =
        libdeflate_deflate_compress(ctx.deflater(), block, trial, out, worthwhileSize(trial)) > 0;
    decision.chosen = shrinks ? LargeFileWay::Deflate : LargeFileWay::Store;
}

namespace {

// One piece of a large file as raw Deflate that continues the pieces before it: primed with
// the preceding 32 KiB as dictionary and ended by a sync flush (the last by finishing), so
// that the pieces put one after another form a single valid stream.
void compressPiece(WorkerContext& ctx, Piece& piece, const InputFile& file, std::uint64_t offset,
                   std::size_t length, bool last) {
    const std::size_t dictionary = std::size_t(std::min<std::uint64_t>(kWindow, offset));
    std::string input(dictionary + length, '\0');
    if (!file.readAt(offset - dictionary, input.data(), input.size())) {
        piece.failed = true;
        return;
    }
    const auto* in = reinterpret_cast<const Bytef*>(input.data());
    piece.crc = crcOf(in + dictionary, length);
    piece.inputSize = length;

    z_stream* zs = ctx.stream();
    if (dictionary > 0) deflateSetDictionary(zs, in, uInt(dictionary));
    std::string out(deflateBound(zs, uLong(length)) + 64, '\0');
    zs->next_in = const_cast<Bytef*>(in + dictionary);
    zs->avail_in = uInt(length);
    std::size_t produced = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        zs->next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        zs->avail_out = uInt(out.size() - produced);
        const int rc = deflate(zs, flush);
        produced = out.size() - zs->avail_out;
        if (rc == Z_STREAM_END || (!last && zs->avail_in == 0 && zs->avail_out > 0)) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            piece.failed = true;
            return;
        }
        if (zs->avail_out == 0) out.resize(out.size() * 2);
    }
    out.resize(produced);
    piece.bytes = std::move(out);
}

void storePiece(Piece& piece, const InputFile& file, std::uint64_t offset, std::size_t length) {
    piece.bytes.resize(length);
    if (!file.readAt(offset, piece.bytes.data(), length)) {
        piece.failed = true;
        return;
    }
    piece.crc = crcOf(piece.bytes.data(), length);
    piece.inputSize = length;
    piece.stored = true;
}

} // namespace

void largeFilePiece(WorkerContext& ctx, Piece& piece, const std::string& path, std::uint64_t offset,
                    std::size_t length, bool last, LargeFileWay& way) {
    const LargeFileWay::Way decided = way.await();
    if (decided == LargeFileWay::Reuse) return;
    InputFile file;
    if (decided == LargeFileWay::Failed || !file.open(path)) {
        piece.failed = true;
        return;
    }
    if (decided == LargeFileWay::Store)
        storePiece(piece, file, offset, length);
    else
        compressPiece(ctx, piece, file, offset, length, last);
}

} // namespace kp
