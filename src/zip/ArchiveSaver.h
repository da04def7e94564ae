// Writes a complete archive in one pass: items already in the old archive are copied
// without recompressing, new ones are compressed by several workers at once. Output keeps
// the order of the items; memory stays bounded because only a budget of input bytes may be
// in flight between the workers and the writer, and large files travel in pieces.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "zip/CompressionWork.h"
#include "zip/OutputSink.h"
#include "zip/Progress.h"
#include "zip/WorkerPool.h"
#include "zip/ZipItem.h"

namespace kp {

class ZipReader;

// An item that the next save writes.
struct PendingItem {
    enum class Kind { Existing, Memory, Folder, File };
    Kind kind = Kind::Memory;
    ZipItem item;                            // name, time and attributes known so far
    std::size_t existing = 0;                // Existing: index among the old archive's entries
    std::shared_ptr<const std::string> data; // Memory: the content
    std::string path;                        // File: path relative to the base directory
    // File: its size, mode and time as the caller's listing found them moments ago; without
    // them the file is looked up once more before its work is planned.
    std::optional<FileFacts> listed;
};

struct SaveOptions {
    unsigned threads = defaultWorkerCount();
    std::size_t wholeFileLimit = 8u << 20; // files up to this size are compressed in one piece
    std::size_t chunkSize = 1u << 20;      // larger ones in pieces of this size
    std::size_t memoryBudget = 32u << 20;  // input bytes that may be in flight at once
    bool forceZip64 = false;               // ZIP64 records even where not needed (for tests)
};

// An earlier archive whose compressed data a save may copy: a file whose name, size and CRC
// equal an item's holds the same data, so it need not be compressed again.
struct ReuseSource {
    std::shared_ptr<const ZipReader> reader;
};

// What a save did with the earlier archive's items.
struct ReuseOutcome {
    std::vector<std::string> copied; // files whose item data was copied from that archive
    // Those among them too large to be held whole: their data was found equal to the file by
    // size and CRC only, so a check should inflate it and compare it with the file.
    std::vector<std::string> comparedByCrcOnly;
    // Files whose earlier item had their size and CRC but not their bytes: compressed from the
    // file instead. That archive is damaged (or holds other data under the same CRC).
    std::vector<std::string> refused;
};

class ArchiveSaver {
public:
    ArchiveSaver(SaveOptions options, const ZipReader* oldArchive, const ReuseSource* reuse,
                 std::string baseDirectory, ProgressCallback progress);
    ~ArchiveSaver();

    // Writes every item and the end records to sink. Files that have vanished or cannot be
    // read are left out and listed by skippedFiles(). Throws SinkError when the sink fails.
    void write(const std::vector<PendingItem>& items, const std::string& comment, OutputSink& sink);
    const std::vector<std::string>& skippedFiles() const { return m_skipped; }
    const ReuseOutcome& reuseOutcome() const { return m_reused; }

    struct Task;
    struct Batch;

private:
    struct Planned;
    void plan(const std::vector<PendingItem>& items);
    // False when the file is gone.
    std::vector<std::optional<FileFacts>> lookUpUnlisted(const std::vector<PendingItem>& items) const;
    bool planFile(const PendingItem& pending, const std::optional<FileFacts>& facts, Planned& planned);
    ReuseCandidate reuseCandidate(const std::string& name, std::uint64_t size) const;
    void writeItem(const Planned& planned, class ZipWriter& writer);
    void writeWhole(const Planned& planned, ZipWriter& writer);
    void writeLarge(const Planned& planned, ZipWriter& writer);
    void writeReusedLarge(const Planned& planned, const Piece& lead, ZipWriter& writer);
    bool writeStoredFromFile(const Planned& planned, ZipWriter& writer, std::uint32_t expectedCrc);
    void takeRest(const Planned& planned, std::size_t from);
    void batchTasks();
    Piece take(std::size_t task);
    void admit();
    void advance(std::uint64_t bytes);
    void report(ProgressScope scope, int percent);

    SaveOptions m_options;
    const ZipReader* m_old;
    const ReuseSource* m_reuse;
    std::string m_base;
    ProgressCallback m_progress;
    std::vector<std::string> m_skipped;
    ReuseOutcome m_reused;

    std::vector<Planned> m_plan;
    std::vector<std::unique_ptr<LargeFileWay>> m_largeFiles;
    std::vector<Task> m_tasks; // one per piece, in writing order
    std::vector<Batch> m_batches; // runs of consecutive tasks, one worker each
    std::vector<std::size_t> m_taskBatch;
    std::vector<char> m_done; // per batch, guarded by m_mutex
    std::size_t m_nextBatch = 0, m_consumedBatches = 0;
    std::size_t m_waitingFor = SIZE_MAX; // the batch the writer waits for, guarded by m_mutex
    std::uint64_t m_inFlight = 0;
    std::mutex m_mutex;
    std::condition_variable m_finished;

    std::uint64_t m_total = 0, m_progressed = 0;
    int m_lastPercent[2] = {-1, -1};
    std::unique_ptr<WorkerPool> m_pool; // last: stops before the state its tasks use goes away
};

} // namespace kp
