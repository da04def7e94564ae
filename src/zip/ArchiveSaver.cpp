#include "zip/ArchiveSaver.h"

#include <algorithm>
#include <array>
#include <zlib.h>

#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "zip/ArchiveError.h"
#include "zip/Crc32.h"
#include "zip/ItemNames.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

namespace kp {

using namespace zipformat;

namespace {

constexpr std::size_t kWindow = 32768; // the dictionary read before each piece after the first
constexpr std::size_t kCopyBlock = 1u << 20;
constexpr std::size_t kMinTaskCost = 4096; // bookkeeping of a tiny file still costs something
constexpr std::uint64_t kBatchBytes = 256 * 1024;
constexpr std::size_t kBatchTasks = 64;

ZipItem fileItem(const std::string& name, const FileFacts& facts) {
    ZipItem item;
    item.fileName = name;
    item.host = kHostUnix;
    // The Unix mode for Linux and every unzip, the Windows attributes in the low byte.
    item.externalAttributes = ((kUnixRegular | (facts.mode & 07777)) << 16) | (facts.dosAttributes & 0xFF);
    item.dosTime = toDosDateTime(std::time_t(facts.modificationTime));
    item.modificationTime = facts.modificationTime;
    item.uncompressedSize = facts.size;
    item.flags = nameEncodingFlag(name);
    return item;
}

// Only data this kit writes and reads back: stored or Deflate, not encrypted, and never more
// compressed bytes than the file has, so the memory budget holds.
bool copyable(const ZipReader::Entry& entry) {
    const ZipItem& item = entry.item;
    return (item.method == kMethodStored || item.method == kMethodDeflate) && !item.isEncrypted() &&
           !item.isFolder() && !item.isSymbolicLink() && item.compressedSize <= item.uncompressedSize &&
           entry.localHeaderProblem().empty();
}

} // namespace

struct ArchiveSaver::Task {
    std::function<void(WorkerContext&, Piece&)> run;
    std::uint64_t cost = 0;
    ReuseCandidate reuse; // a file read whole: the earlier item it may copy
};

// Small files are handed to the workers a few hundred KiB at a time: one hand-over per file
// would cost more in waking threads than compressing a small header file does.
struct ArchiveSaver::Batch {
    std::size_t first = 0, count = 0, taken = 0;
    std::uint64_t cost = 0;
    std::unique_ptr<Piece[]> pieces; // made by the worker, let go once the writer took them all
};

struct ArchiveSaver::Planned {
    const PendingItem* pending = nullptr;
    std::size_t firstTask = 0, taskCount = 0;
    FileFacts facts;                // File: as found when planning
    ReuseCandidate reuse;           // File: an earlier item that may hold the same data
    LargeFileWay* large = nullptr;  // File: read in pieces, decided by its first task
};

ArchiveSaver::ArchiveSaver(SaveOptions options, const ZipReader* oldArchive, const ReuseSource* reuse,
                           std::string baseDirectory, ProgressCallback progress)
    : m_options(options), m_old(oldArchive), m_reuse(reuse), m_base(std::move(baseDirectory)),
      m_progress(std::move(progress)) {}

ArchiveSaver::~ArchiveSaver() {
    m_pool.reset();
}

ReuseCandidate ArchiveSaver::reuseCandidate(const std::string& name, std::uint64_t size) const {
    if (!m_reuse) return {};
    const int index = m_reuse->reader->indexOf(name);
    if (index < 0) return {};
    const ZipReader::Entry& entry = m_reuse->reader->entries()[std::size_t(index)];
    if (entry.item.uncompressedSize != size || !copyable(entry)) return {};
    return {m_reuse->reader.get(), &entry};
}

// The facts of the files the caller did not list, looked up on several threads: thousands of
// them before the first is handed out would keep the workers waiting.
std::vector<std::optional<FileFacts>> ArchiveSaver::lookUpUnlisted(const std::vector<PendingItem>& items) const {
    const bool allListed = std::all_of(items.begin(), items.end(), [](const PendingItem& item) {
        return item.kind != PendingItem::Kind::File || item.listed;
    });
    if (allListed) return {};
    std::vector<std::optional<FileFacts>> found(items.size());
    runInParallel(items.size(), m_options.threads, [&](std::size_t i) {
        const PendingItem& item = items[i];
        if (item.kind != PendingItem::Kind::File || item.listed) return;
        const std::optional<FileInfo> info = statPath(joinPath(m_base, item.path));
        if (info && !info->isFolder)
            found[i] = FileFacts{std::uint64_t(info->size), info->mode, info->modificationTime};
    });
    return found;
}

void ArchiveSaver::plan(const std::vector<PendingItem>& items) {
    const std::vector<std::optional<FileFacts>> found = lookUpUnlisted(items);
    m_plan.reserve(items.size());
    m_tasks.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const PendingItem& pending = items[i];
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
            m_tasks.push_back(Task{[data](WorkerContext& ctx, Piece& piece) {
                                       compressWhole(ctx, piece, data->data(), data->size(), false, false);
                                       ctx.trim();
                                   },
                                   std::max<std::uint64_t>(data->size(), kMinTaskCost)});
            m_total += data->size();
            break;
        }
        case PendingItem::Kind::File:
            if (!planFile(pending, pending.listed ? pending.listed : found[i], planned)) continue;
            break;
        }
        planned.taskCount = m_tasks.size() - planned.firstTask;
        m_plan.push_back(planned);
    }
    batchTasks();
}

bool ArchiveSaver::planFile(const PendingItem& pending, const std::optional<FileFacts>& facts, Planned& planned) {
    if (!facts) {
        m_skipped.push_back(pending.path); // vanished since it was listed
        return false;
    }
    planned.facts = *facts;
    const std::uint64_t size = planned.facts.size;
    const ReuseCandidate reuse = reuseCandidate(pending.path, size);
    planned.reuse = reuse;
    m_total += size;
    auto addTask = [this](std::uint64_t cost, std::function<void(WorkerContext&, Piece&)> run) {
        m_tasks.push_back(Task{std::move(run), std::max<std::uint64_t>(cost, kMinTaskCost)});
    };
    if (size <= m_options.wholeFileLimit) {
        // Tens of thousands of small files: the task holds only where its item is planned (no
        // allocation), and the worker builds the path and judges the name.
        addTask(size, [this, at = m_plan.size()](WorkerContext& ctx, Piece& piece) {
            const Planned& whole = m_plan[at];
            const std::string& name = whole.pending->path;
            const std::size_t limit = std::max<std::size_t>(m_options.wholeFileLimit * 2, 1u << 20);
            readAndCompressFile(ctx, piece, joinPath(m_base, name), limit, &whole.facts, whole.reuse,
                                hasCompressedFormatName(name));
        });
        m_tasks.back().reuse = reuse;
        return true;
    }
    const std::string path = joinPath(m_base, pending.path);
    const bool incompressible = hasCompressedFormatName(pending.path);
    m_largeFiles.push_back(std::make_unique<LargeFileWay>());
    LargeFileWay* way = m_largeFiles.back().get();
    planned.large = way;
    const std::size_t chunk = m_options.chunkSize;
    addTask(chunk, [path, size, chunk, reuse, incompressible, way](WorkerContext& ctx, Piece& piece) {
        decideLargeFile(ctx, piece, path, size, chunk, reuse, incompressible, *way);
    });
    for (std::uint64_t offset = 0; offset < size; offset += chunk) {
        const std::size_t length = std::size_t(std::min<std::uint64_t>(chunk, size - offset));
        const bool last = offset + length == size;
        addTask(length + kWindow, [path, offset, length, last, way](WorkerContext& ctx, Piece& piece) {
            largeFilePiece(ctx, piece, path, offset, length, last, *way);
        });
    }
    return true;
}

void ArchiveSaver::batchTasks() {
    m_taskBatch.resize(m_tasks.size());
    for (std::size_t t = 0; t < m_tasks.size(); ++t) {
        const std::uint64_t cost = m_tasks[t].cost;
        if (m_batches.empty() || m_batches.back().cost + cost > kBatchBytes ||
            m_batches.back().count >= kBatchTasks)
            m_batches.push_back(Batch{t, 0, 0, 0, nullptr});
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
        m_pool->submit([this, index, batch, tasks](WorkerContext& ctx) {
            // Made by the worker, so that tens of thousands of pieces are not set up one by one
            // on the writing thread before the first is handed out.
            Piece* pieces = nullptr;
            try {
                batch->pieces = std::make_unique<Piece[]>(batch->count);
                pieces = batch->pieces.get();
            } catch (const std::bad_alloc&) {
                // no piece at all: the writer finds each of the batch's items failed
            }
            std::array<ReuseCandidate, kBatchTasks> reuse;
            for (std::size_t i = 0; i < batch->count; ++i)
                reuse[i] = tasks[i].reuse;
            const ZipReader::ReadAhead ahead = readReusedAhead(reuse.data(), batch->count);
            for (std::size_t i = 0; pieces && i < batch->count; ++i) {
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

Piece ArchiveSaver::take(std::size_t task) {
    const std::size_t index = m_taskBatch[task];
    admit();
    {
        std::unique_lock lock(m_mutex);
        m_waitingFor = index;
        m_finished.wait(lock, [&] { return m_done[index] != 0; });
    }
    Batch& batch = m_batches[index];
    Piece piece;
    if (batch.pieces)
        piece = std::move(batch.pieces[task - batch.first]);
    else
        piece.failed = true;
    m_tasks[task].run = nullptr;
    if (++batch.taken == batch.count) { // tasks are taken in order, so the batch is done with
        batch.pieces.reset();
        m_inFlight -= batch.cost;
        ++m_consumedBatches;
        admit();
    }
    return piece;
}

// The tasks of an item that are not written are still taken, to keep the budget right.
void ArchiveSaver::takeRest(const Planned& planned, std::size_t from) {
    for (std::size_t k = from; k < planned.taskCount; ++k)
        take(planned.firstTask + k);
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
        // the name was decoded on reading and is written as such: UTF-8 with the flag, or
        // the bytes of a Unix name that is not UTF-8 without it.
        item.flags = std::uint16_t((item.flags & ~(kFlagDataDescriptor | kFlagUtf8)) | nameEncodingFlag(item.fileName));
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
        if (planned.large)
            writeLarge(planned, writer);
        else
            writeWhole(planned, writer);
        break;
    }
}

void ArchiveSaver::writeWhole(const Planned& planned, ZipWriter& writer) {
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
    item.method = piece.reused ? planned.reuse.entry->item.method
                               : (piece.stored ? kMethodStored : kMethodDeflate);
    const std::string& bytes =
        piece.stored && pending.kind == PendingItem::Kind::Memory ? *pending.data : piece.bytes;
    item.compressedSize = bytes.size();
    const std::uint64_t offset = writer.beginItem(item);
    writer.writeData(bytes.data(), bytes.size());
    writer.endItem(offset, item);
    if (piece.reused) m_reused.copied.push_back(pending.path);
    if (piece.reuseRefused) m_reused.refused.push_back(pending.path);
    advance(piece.inputSize);
}

void ArchiveSaver::writeLarge(const Planned& planned, ZipWriter& writer) {
    const PendingItem& pending = *planned.pending;
    const Piece lead = take(planned.firstTask);
    const LargeFileWay::Way way = planned.large->decided();
    if (lead.failed || way == LargeFileWay::Failed) {
        takeRest(planned, 1);
        m_skipped.push_back(pending.path);
        return;
    }
    if (way == LargeFileWay::Reuse) {
        writeReusedLarge(planned, lead, writer);
        takeRest(planned, 1);
        return;
    }
    ZipItem item = fileItem(pending.path, lead.facts);
    item.uncompressedSize = planned.facts.size;
    item.method = way == LargeFileWay::Store ? kMethodStored : kMethodDeflate;
    if (way == LargeFileWay::Store) item.compressedSize = item.uncompressedSize;
    const std::uint64_t start = writer.position();
    const std::uint64_t offset = writer.beginItem(item);
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0, done = 0;
    bool failed = false;
    for (std::size_t k = 1; k < planned.taskCount; ++k) {
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
    if (compressed >= item.uncompressedSize && way == LargeFileWay::Deflate) {
        // Deflate did not help after all: store the file instead
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

// The earlier item's compressed data, streamed from its archive: large items never sit in
// memory whole.
void ArchiveSaver::writeReusedLarge(const Planned& planned, const Piece& lead, ZipWriter& writer) {
    const ZipReader::Entry& entry = *planned.reuse.entry;
    ZipItem item = fileItem(planned.pending->path, lead.facts);
    item.uncompressedSize = entry.item.uncompressedSize;
    item.compressedSize = entry.item.compressedSize;
    item.method = entry.item.method;
    item.crc32 = entry.item.crc32;
    const std::uint64_t start = writer.position();
    const std::uint64_t offset = writer.beginItem(item);
    try {
        planned.reuse.reader->copyRaw(entry, [&](const char* data, std::size_t n) { writer.writeData(data, n); });
    } catch (const ArchiveError&) {
        // The earlier archive cannot be read after all: the file is compressed the slow way,
        // from the writing thread, rather than left out.
        writer.sink().truncate(start);
        const std::uint32_t crc = lead.crc;
        if (!writeStoredFromFile(planned, writer, crc)) {
            writer.sink().truncate(start);
            m_skipped.push_back(planned.pending->path);
        }
        return;
    }
    writer.endItem(offset, item);
    m_reused.copied.push_back(planned.pending->path);
    m_reused.comparedByCrcOnly.push_back(planned.pending->path);
    advance(item.uncompressedSize);
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
