#include "zip/ArchiveSaver.h"

#include <algorithm>
#include <libdeflate.h>
#include <zlib.h>

#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "zip/Crc32.h"
#include "zip/ArchiveError.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

namespace kp {

using namespace zipformat;

namespace {

constexpr std::size_t kWindow = 32768; // Deflate's dictionary: pieces after the first get it
constexpr std::size_t kCopyBlock = 1u << 20;
constexpr std::size_t kMinTaskCost = 4096; // bookkeeping of a tiny file still costs something
constexpr std::uint64_t kBatchBytes = 256 * 1024;
constexpr std::size_t kBatchTasks = 64;

std::uint32_t crcOf(const void* data, std::size_t n) {
    return ~UpdateCrc32(0xFFFFFFFFu, data, n);
}

ZipItem fileItem(const std::string& name, const ArchiveSaver::FileFacts& facts) {
    ZipItem item;
    item.fileName = name;
    item.host = kHostUnix;
    item.externalAttributes = (kUnixRegular | (facts.mode & 07777)) << 16;
    item.dosTime = toDosDateTime(std::time_t(facts.modificationTime));
    item.modificationTime = facts.modificationTime;
    item.uncompressedSize = facts.size;
    item.flags = kFlagUtf8;
    return item;
}

ArchiveSaver::FileFacts factsOf(const InputFile& file) {
    return {file.size(), file.mode(), file.modificationTime()};
}

} // namespace

// What a worker hands back: the bytes to write and what the writer needs to know about them.
struct ArchiveSaver::Piece {
    std::string bytes;
    std::uint32_t crc = 0;
    std::uint64_t inputSize = 0;
    bool stored = false;
    bool failed = false;
    FileFacts facts;
};

struct ArchiveSaver::Task {
    std::function<void(WorkerContext&, Piece&)> run;
    std::uint64_t cost = 0;
};

// Small files are handed to the workers a few hundred KiB at a time: one hand-over per file
// would cost more in waking threads than compressing a small header file does.
struct ArchiveSaver::Batch {
    std::size_t first = 0, count = 0, taken = 0;
    std::uint64_t cost = 0;
};

struct ArchiveSaver::Planned {
    const PendingItem* pending = nullptr;
    std::size_t firstTask = 0, taskCount = 0;
    FileFacts facts; // File: as found when planning
};

namespace {

// Deflate at the normal level, or the bytes themselves when that is not smaller. The stored
// bytes are copied into the piece only when the writer has no other hold of them.
void compressWhole(WorkerContext& ctx, ArchiveSaver::Piece& piece, const char* input, std::size_t n,
                   bool keepStored) {
    piece.crc = crcOf(input, n);
    piece.inputSize = n;
    if (n > 1) {
        char* out = ctx.output(n - 1);
        const std::size_t got = libdeflate_deflate_compress(ctx.deflater(), input, n, out, n - 1);
        if (got > 0) {
            piece.bytes.assign(out, got);
            return;
        }
    }
    piece.stored = true;
    if (keepStored) piece.bytes.assign(input, n);
}

void readAndCompressFile(WorkerContext& ctx, ArchiveSaver::Piece& piece, const std::string& path,
                         std::size_t limit) {
    InputFile file;
    if (!file.open(path)) {
        piece.failed = true;
        return;
    }
    piece.facts = factsOf(file);
    // The size found on opening is what is stored: a file that grows meanwhile is caught by
    // the check after writing, and not reading on to the end saves a system call per file.
    const std::uint64_t size = file.size();
    if (size > limit) piece.failed = true; // it grew far beyond what was planned for it
    char* data = piece.failed ? nullptr : ctx.input(std::size_t(std::max<std::uint64_t>(size, 1)));
    std::size_t have = 0;
    while (!piece.failed && have < size) {
        const std::ptrdiff_t got = file.read(data + have, std::size_t(size) - have);
        if (got < 0) piece.failed = true;
        if (got <= 0) break; // a file that shrank meanwhile is stored as it was read
        have += std::size_t(got);
    }
    file.close();
    if (!piece.failed) compressWhole(ctx, piece, data, have, true);
    ctx.trim();
}

// One piece of a large file as raw Deflate that continues the pieces before it: primed with
// the preceding 32 KiB as dictionary and ended by a sync flush (the last by finishing), so
// that the pieces put one after another form a single valid stream.
void compressPiece(WorkerContext& ctx, ArchiveSaver::Piece& piece, const std::string& path,
                   std::uint64_t offset, std::size_t length, bool last) {
    InputFile file;
    if (!file.open(path)) {
        piece.failed = true;
        return;
    }
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

} // namespace

ArchiveSaver::ArchiveSaver(SaveOptions options, const ZipReader* oldArchive, std::string baseDirectory,
                           ProgressCallback progress)
    : m_options(options), m_old(oldArchive), m_base(std::move(baseDirectory)),
      m_progress(std::move(progress)) {}

ArchiveSaver::~ArchiveSaver() {
    m_pool.reset();
}

void ArchiveSaver::plan(const std::vector<PendingItem>& items) {
    auto addTask = [this](std::uint64_t cost, std::function<void(WorkerContext&, Piece&)> run) {
        m_tasks.push_back(Task{std::move(run), std::max<std::uint64_t>(cost, kMinTaskCost)});
    };
    for (const PendingItem& pending : items) {
        Planned planned;
        planned.pending = &pending;
        planned.firstTask = m_tasks.size();
        switch (pending.kind) {
        case PendingItem::Kind::Existing:
            m_total += m_old->entries()[pending.existing].item.compressedSize;
            break;
        case PendingItem::Kind::Folder:
            break;
        case PendingItem::Kind::Memory: {
            auto data = pending.data;
            addTask(data->size(), [data](WorkerContext& ctx, Piece& piece) {
                compressWhole(ctx, piece, data->data(), data->size(), false);
                ctx.trim();
            });
            m_total += data->size();
            break;
        }
        case PendingItem::Kind::File: {
            const std::string path = joinPath(m_base, pending.path);
            const auto info = statPath(path);
            if (!info || info->isFolder) {
                m_skipped.push_back(pending.path); // vanished since it was listed
                continue;
            }
            planned.facts = {std::uint64_t(info->size), info->mode, info->modificationTime};
            const std::uint64_t size = planned.facts.size;
            m_total += size;
            if (size <= m_options.wholeFileLimit) {
                const std::size_t limit = std::max<std::size_t>(m_options.wholeFileLimit * 2, 1u << 20);
                addTask(size, [path, limit](WorkerContext& ctx, Piece& piece) {
                    readAndCompressFile(ctx, piece, path, limit);
                });
            } else {
                const std::size_t chunk = m_options.chunkSize;
                for (std::uint64_t offset = 0; offset < size; offset += chunk) {
                    const std::size_t length = std::size_t(std::min<std::uint64_t>(chunk, size - offset));
                    const bool last = offset + length == size;
                    addTask(length + kWindow, [path, offset, length, last](WorkerContext& ctx, Piece& piece) {
                        compressPiece(ctx, piece, path, offset, length, last);
                    });
                }
            }
            break;
        }
        }
        planned.taskCount = m_tasks.size() - planned.firstTask;
        m_plan.push_back(planned);
    }
    m_pieces.resize(m_tasks.size());
    batchTasks();
}

void ArchiveSaver::batchTasks() {
    m_taskBatch.resize(m_tasks.size());
    for (std::size_t t = 0; t < m_tasks.size(); ++t) {
        const std::uint64_t cost = m_tasks[t].cost;
        if (m_batches.empty() || m_batches.back().cost + cost > kBatchBytes ||
            m_batches.back().count >= kBatchTasks)
            m_batches.push_back(Batch{t, 0, 0, 0});
        m_batches.back().count++;
        m_batches.back().cost += cost;
        m_taskBatch[t] = m_batches.size() - 1;
    }
    m_done.assign(m_batches.size(), 0);
}

// Hands batches to the workers in order while the budget allows; at least one is always in
// flight, so a batch larger than the whole budget still goes through, alone.
void ArchiveSaver::admit() {
    const std::size_t maxBatches = 16 + 4 * std::size_t(m_options.threads);
    while (m_nextBatch < m_batches.size()) {
        const std::uint64_t cost = m_batches[m_nextBatch].cost;
        if (m_inFlight > 0 &&
            (m_inFlight + cost > m_options.memoryBudget || m_nextBatch - m_consumedBatches >= maxBatches))
            break;
        m_inFlight += cost;
        const std::size_t index = m_nextBatch++;
        Batch* batch = &m_batches[index];
        Task* tasks = &m_tasks[batch->first];
        Piece* pieces = &m_pieces[batch->first];
        m_pool->submit([this, index, batch, tasks, pieces](WorkerContext& ctx) {
            for (std::size_t i = 0; i < batch->count; ++i) {
                try {
                    tasks[i].run(ctx, pieces[i]);
                } catch (...) {
                    pieces[i].failed = true; // out of memory; the item is then left out
                }
            }
            std::lock_guard lock(m_mutex);
            m_done[index] = 1;
            if (index == m_waitingFor) m_finished.notify_one();
        });
    }
}

ArchiveSaver::Piece ArchiveSaver::take(std::size_t task) {
    const std::size_t index = m_taskBatch[task];
    admit();
    {
        std::unique_lock lock(m_mutex);
        m_waitingFor = index;
        m_finished.wait(lock, [&] { return m_done[index] != 0; });
    }
    Piece piece = std::move(m_pieces[task]);
    m_tasks[task].run = nullptr;
    Batch& batch = m_batches[index];
    if (++batch.taken == batch.count) { // tasks are taken in order, so the batch is done with
        m_inFlight -= batch.cost;
        ++m_consumedBatches;
        admit();
    }
    return piece;
}

void ArchiveSaver::report(ProgressScope scope, int percent) {
    int& last = m_lastPercent[scope == ProgressScope::Archive ? 0 : 1];
    if (!m_progress || percent == last) return;
    last = percent;
    m_progress(scope, percent);
}

void ArchiveSaver::advance(std::uint64_t bytes) {
    m_progressed += bytes;
    report(ProgressScope::Archive,
           m_total ? int(std::min<std::uint64_t>(m_progressed * 100 / m_total, 100)) : 100);
}

void ArchiveSaver::write(const std::vector<PendingItem>& items, const std::string& comment,
                         OutputSink& sink) {
    plan(items);
    m_pool = std::make_unique<WorkerPool>(
        std::min<std::size_t>(m_options.threads, std::max<std::size_t>(m_batches.size(), 1)));
    ZipWriter writer(sink, m_options.forceZip64);
    report(ProgressScope::Archive, 0);
    for (const Planned& planned : m_plan) {
        report(ProgressScope::Item, 0);
        writeItem(planned, writer);
        report(ProgressScope::Item, 100);
    }
    writer.finish(comment);
    report(ProgressScope::Archive, 100);
    m_pool.reset();
}

void ArchiveSaver::writeItem(const Planned& planned, ZipWriter& writer) {
    const PendingItem& pending = *planned.pending;
    switch (pending.kind) {
    case PendingItem::Kind::Existing: {
        const ZipReader::Entry& entry = m_old->entries()[pending.existing];
        ZipItem item = entry.item;
        // Sizes and CRC go into the new local header, so no data descriptor follows the data;
        // the name was decoded to UTF-8 on reading and is written as such.
        item.flags = std::uint16_t((item.flags & ~kFlagDataDescriptor) | kFlagUtf8);
        const std::uint64_t offset = writer.beginItem(item);
        m_old->copyRaw(entry, [&](const char* data, std::size_t n) {
            writer.writeData(data, n);
            advance(n);
        });
        writer.endItem(offset, item);
        break;
    }
    case PendingItem::Kind::Folder: {
        ZipItem item = pending.item;
        item.method = kMethodStored;
        item.crc32 = 0;
        item.compressedSize = item.uncompressedSize = 0;
        writer.endItem(writer.beginItem(item), item);
        break;
    }
    case PendingItem::Kind::Memory:
    case PendingItem::Kind::File:
        if (planned.taskCount == 1 && (pending.kind == PendingItem::Kind::Memory ||
                                       planned.facts.size <= m_options.wholeFileLimit))
            writeCompressed(planned, writer);
        else
            writeInPieces(planned, writer);
        break;
    }
}

void ArchiveSaver::writeCompressed(const Planned& planned, ZipWriter& writer) {
    const PendingItem& pending = *planned.pending;
    Piece piece = take(planned.firstTask);
    if (piece.failed) {
        if (pending.kind == PendingItem::Kind::Memory)
            throw ArchiveError("There is not enough memory to compress the item \"" + pending.item.fileName +
                               "\"");
        m_skipped.push_back(pending.path);
        return;
    }
    ZipItem item = pending.kind == PendingItem::Kind::File ? fileItem(pending.path, piece.facts) : pending.item;
    item.crc32 = piece.crc;
    item.uncompressedSize = piece.inputSize;
    item.method = piece.stored ? kMethodStored : kMethodDeflate;
    const std::string& bytes =
        piece.stored && pending.kind == PendingItem::Kind::Memory ? *pending.data : piece.bytes;
    item.compressedSize = bytes.size();
    const std::uint64_t offset = writer.beginItem(item);
    writer.writeData(bytes.data(), bytes.size());
    writer.endItem(offset, item);
    advance(piece.inputSize);
}

void ArchiveSaver::writeInPieces(const Planned& planned, ZipWriter& writer) {
    const PendingItem& pending = *planned.pending;
    ZipItem item = fileItem(pending.path, planned.facts);
    item.method = kMethodDeflate;
    const std::uint64_t start = writer.position();
    const std::uint64_t offset = writer.beginItem(item);
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0, done = 0;
    bool failed = false;
    for (std::size_t k = 0; k < planned.taskCount; ++k) {
        Piece piece = take(planned.firstTask + k);
        failed = failed || piece.failed;
        if (failed) continue; // the remaining pieces are still taken, to keep the budget right
        writer.writeData(piece.bytes.data(), piece.bytes.size());
        crc = std::uint32_t(crc32_combine(crc, piece.crc, z_off_t(piece.inputSize)));
        compressed += piece.bytes.size();
        done += piece.inputSize;
        report(ProgressScope::Item, int(done * 100 / item.uncompressedSize));
        advance(piece.inputSize);
    }
    if (failed) { // the file vanished or shrank while it was read
        writer.sink().truncate(start);
        m_skipped.push_back(pending.path);
        return;
    }
    if (compressed >= item.uncompressedSize) { // Deflate did not help: store the file instead
        writer.sink().truncate(start);
        if (!writeStoredFromFile(planned, writer, crc)) {
            writer.sink().truncate(start);
            m_skipped.push_back(pending.path);
        }
        return;
    }
    item.crc32 = crc;
    item.compressedSize = compressed;
    writer.patchItem(offset, item);
    writer.endItem(offset, item);
}

bool ArchiveSaver::writeStoredFromFile(const Planned& planned, ZipWriter& writer, std::uint32_t expectedCrc) {
    const PendingItem& pending = *planned.pending;
    ZipItem item = fileItem(pending.path, planned.facts);
    item.method = kMethodStored;
    item.crc32 = expectedCrc;
    item.compressedSize = item.uncompressedSize;
    InputFile file;
    if (!file.open(joinPath(m_base, pending.path))) return false;
    const std::uint64_t offset = writer.beginItem(item);
    std::string buffer(kCopyBlock, '\0');
    std::uint32_t crc = 0xFFFFFFFFu;
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < item.uncompressedSize;) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(kCopyBlock, item.uncompressedSize - done));
        ok = file.readAt(done, buffer.data(), n);
        if (!ok) break;
        crc = UpdateCrc32(crc, buffer.data(), n);
        writer.writeData(buffer.data(), n);
        done += n;
    }
    // A second reading that differs from the first means the file changed meanwhile.
    if (!ok || ~crc != expectedCrc) return false;
    writer.endItem(offset, item);
    return true;
}

} // namespace kp
