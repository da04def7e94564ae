// The archive kit: every ZIP operation of the program goes through one ZipArchive per piece
// of work. open() lists an existing archive (or begins a new one), the add and delete calls
// collect changes, and save() writes them all at once into a complete new file that replaces
// the archive only when it is finished, so a failure never leaves a partial archive behind.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zip/ArchiveError.h"
#include "zip/ArchiveSaver.h"
#include "zip/OutputSink.h"
#include "zip/ZipItem.h"

namespace kp {

class ZipReader;

class ZipArchive {
public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // An existing archive is read and listed (ArchiveError if it cannot be, or is damaged); a
    // path where nothing exists gives an empty new archive that save() creates.
    void open(const std::string& path);
    const std::string& fileName() const { return m_fileName; }
    // The archive as opened, for another archive's save to copy from; null for a new one.
    std::shared_ptr<const ZipReader> reader() const { return m_reader; }

    // Items in archive order: those already saved, then those added since, minus those
    // deleted since. Queued files (addFile) appear once saved.
    std::size_t count() const;
    const ZipItem& item(std::size_t i) const;
    // Index of the item of this name ("\" stands for "/"), or -1. Constant time.
    int findFile(std::string_view name) const;

    // Throw ArchiveError when the name cannot be stored (see writableNameProblem) or an item
    // of that name exists already.
    void addFromMemory(const std::string& name, std::string data, DosDateTime time,
                       std::uint32_t externalAttributes = 0100644u << 16);
    // A folder item. With a Unix mode (permission and special bits) it is made by Unix with
    // that mode and the folder attribute 0x10; without one, made by MS-DOS with 0x10 alone.
    void addFolder(const std::string& name, DosDateTime time, std::optional<std::uint32_t> unixMode = {});
    // Room for this many more items, so that adding a project's files one by one does not
    // move the items made so far again and again.
    void reserveItems(std::size_t more);
    void setBaseDirectory(const std::string& dir) { m_baseDirectory = dir; }
    const std::string& baseDirectory() const { return m_baseDirectory; }
    // Queues the file baseDirectory/relativePath under the item name relativePath; its time and
    // permissions are taken when save() reads it. A file that has vanished or cannot be read
    // then is left out and listed by skippedFiles(); the save goes on.
    void addFile(const std::string& relativePath, std::optional<FileFacts> listed = std::nullopt);
    const std::vector<std::string>& skippedFiles() const { return m_skipped; }
    // Drops the matching items ('*' and '?'; "\" stands for "/"); the archive file changes at
    // the next save().
    void deleteFiles(const std::string& mask);
    // Drops the items the predicate picks, by their exact names: item names may hold '*', '?'
    // or '[' that a mask would read as wildcards.
    void deleteItemsIf(const std::function<bool(const ZipItem&)>& picked);

    // Lets the next save copy the compressed data of a file item of the archive at path (the
    // newest full state) instead of compressing a file again: the item must have the file's
    // name and size, and its CRC must equal the file's, computed as the file is read. Returns
    // false, and nothing is reused, when that archive cannot be read.
    bool reuseItemsOf(const std::string& path);
    // The same with that archive already open, as reader() gave it.
    void reuseItemsOf(std::shared_ptr<const ZipReader> reader);
    // Lets go of that archive (its directory may be large).
    void stopReusing() { m_reuse.reset(); }
    // Files whose data the last save copied from that archive.
    const std::vector<std::string>& reusedFiles() const { return m_reuseOutcome.copied; }
    // That, those copies whose bytes the save could not compare with the file's, and the
    // files whose earlier item proved not to hold their bytes.
    const ReuseOutcome& reuseOutcome() const { return m_reuseOutcome; }

    void setComment(const std::string& comment); // ArchiveError if over 65,535 bytes
    const std::string& comment() const { return m_comment; }

    // Writes all pending changes: a complete new file under the ".tmp" twin of the archive's
    // name, flushed to disk and renamed over the archive. Items already in the archive are
    // copied without recompressing. Any failure throws ArchiveError and leaves the old
    // archive (or none) as it was.
    void save();
    // The same, with work on the archive as written once it can be read back: the check of a
    // store. Where the system allows, it runs while the archive is flushed to the disk, on the
    // file not yet renamed, and a failed flush still fails the save; elsewhere it runs after
    // the save. An exception it throws is passed on (before the rename: nothing is saved).
    using WrittenArchiveWork = std::function<void(const ZipArchive& written)>;
    void save(const WrittenArchiveWork& work);

    // The item's data, checked against its stored size and CRC as it is read.
    std::string extractToString(const std::string& name) const;
    // The same, piece by piece: sink gets the data as it is decompressed; ArchiveError once
    // it proves wrong (the data already handed over is then not to be trusted).
    void readItem(const std::string& name, const std::function<void(const char*, std::size_t)>& sink) const;
    // The data of these items, which the calling thread reads next, read at once where they
    // lie close together in the archive, for as long as the result is kept
    // (ZipReader::ReadAhead). Unknown names are passed over.
    ZipReader::ReadAhead readAhead(const std::string_view* names, std::size_t count) const;
    // Why readItem would refuse the item whatever its data holds, or empty; known without
    // reading the data, so that a caller can refuse before writing anything.
    std::string readProblem(const std::string& name) const;
    // Writes every item that matches mask and not excludeMask under the base directory with
    // its stored path, creating folders and restoring the permissions of files (special bits
    // included). Refuses the whole archive, before writing anything, when any item could land
    // outside the base directory (absolute name, ".." part, drive letter), is a symbolic link,
    // or has a local header that names something else than the directory does.
    void extractFilesEx(const std::string& mask, const std::string& excludeMask);

    void setProgressCallback(ProgressCallback cb) { m_progress = std::move(cb); }
    void closeArchive();

    // Seams for tests and tuning: where save() writes, and how it compresses.
    void setSinkFactory(SinkFactory factory) { m_sinkFactory = std::move(factory); }
    void setSaveOptions(const SaveOptions& options) { m_saveOptions = options; }

    // The name a new archive is written under before it is renamed into place.
    static std::string temporaryTwin(const std::string& path);

private:
    void load();
    // An archive only read keeps its items in the reader; they are copied into the list of
    // pending items when the archive is first changed (or extracted), not on opening.
    bool listed() const { return m_listed; }
    void listItems();
    void reopenReader() noexcept;
    void rebuildIndex();
    void checkNewName(const std::string& name) const;
    PendingItem newItem(PendingItem::Kind kind, const std::string& name, DosDateTime time) const;
    void appendListed(PendingItem pending);
    void readByName(const std::string& name, const std::function<void(const char*, std::size_t)>& sink) const;
    std::shared_ptr<ZipReader> readBackWhileFlushing(OutputSink& sink, const std::string& twin,
                                                          const ArchiveSaver& saver, const WrittenArchiveWork& work);
    const ZipReader::Entry* existingEntry(const PendingItem& item) const; // null unless Existing
    ZipReader::ReadAhead readAheadOf(std::size_t count,
                                     const std::function<const ZipReader::Entry*(std::size_t)>& entryOf) const;
    void readItemData(const PendingItem& pending,
                      const std::function<void(const char*, std::size_t)>& sink) const;
    void extractOne(const PendingItem& pending, const std::string& target) const;
    void extractInParallel(const std::vector<const PendingItem*>& files) const;

    std::string m_fileName;
    std::string m_baseDirectory;
    std::string m_comment;
    std::shared_ptr<ZipReader> m_reader;                  // null for a new archive
    std::vector<PendingItem> m_items;                     // everything the next save writes, in order
    std::vector<std::size_t> m_visible;                   // positions in m_items of the listed items
    std::unordered_map<std::string, std::size_t> m_index; // name -> index in m_visible
    std::unordered_set<std::string> m_queuedNames;
    std::vector<std::string> m_skipped;
    std::unique_ptr<ReuseSource> m_reuse;
    ReuseOutcome m_reuseOutcome;
    bool m_changed = false;
    bool m_listed = true; // m_items, m_visible and m_index hold the items (else the reader does)
    ProgressCallback m_progress;
    SinkFactory m_sinkFactory;
    SaveOptions m_saveOptions;
};

} // namespace kp
