#include "zip/ZipArchive.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/OutputFile.h"
#include "platform/Text.h"
#include "zip/Crc32.h"
#include "zip/ByteSource.h"
#include "zip/ItemNames.h"
#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"
#include "zip/WorkerPool.h"
#include "zip/ZipWriter.h"

namespace kp {

namespace {

std::string sinkFailure(const SinkError& e, const std::string& twin) {
    const std::string reason = errorText(e.errorNumber());
    if (e.operation() == "flush") return "cannot flush it to the disk: " + reason;
    if (e.operation() == "rename") return "cannot rename " + twin + " to the archive's name: " + reason;
    if (e.operation().rfind("create", 0) == 0) return "cannot create " + twin + ": " + reason;
    return "cannot write it: " + reason;
}

} // namespace

ZipArchive::ZipArchive() = default;
ZipArchive::~ZipArchive() = default;

std::string ZipArchive::temporaryTwin(const std::string& path) {
    if (path.size() >= 4 && equalsIgnoringCase(std::string_view(path).substr(path.size() - 4), ".zip"))
        return path.substr(0, path.size() - 4) + ".tmp";
    return path + ".tmp";
}

void ZipArchive::open(const std::string& path) {
    closeArchive();
    std::shared_ptr<ByteSource> source;
    try {
        source = std::make_shared<FileSource>(path);
    } catch (const std::system_error& e) {
        if (e.code().value() != ENOENT) throwArchiveError(path, "cannot open it: " + errorText(e.code().value()));
        m_fileName = path; // a new archive, created by the first save
        m_changed = true;
        return;
    }
    m_reader = std::make_shared<ZipReader>(source, path);
    m_fileName = path;
    load();
}

void ZipArchive::load() {
    m_items.clear();
    m_visible.clear();
    m_index.clear();
    m_queuedNames.clear();
    m_comment = m_reader->comment();
    m_changed = false;
    m_listed = false;
}

void ZipArchive::listItems() {
    if (m_listed) return;
    m_listed = true;
    if (!m_reader) return;
    const auto& entries = m_reader->entries();
    m_items.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        PendingItem pending;
        pending.kind = PendingItem::Kind::Existing;
        pending.item = entries[i].item;
        pending.existing = i;
        m_items.push_back(std::move(pending));
    }
    rebuildIndex();
}

void ZipArchive::rebuildIndex() {
    m_visible.clear();
    m_index.clear();
    m_index.reserve(m_items.size());
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].kind == PendingItem::Kind::File) continue;
        m_index.emplace(m_items[i].item.fileName, m_visible.size());
        m_visible.push_back(i);
    }
}

void ZipArchive::closeArchive() {
    m_fileName.clear();
    m_comment.clear();
    m_reader.reset();
    m_items.clear();
    m_visible.clear();
    m_index.clear();
    m_queuedNames.clear();
    m_skipped.clear();
    m_reuse.reset();
    m_reuseOutcome = {};
    m_changed = false;
    m_listed = true;
}

std::size_t ZipArchive::count() const {
    return listed() ? m_visible.size() : m_reader->entries().size();
}

const ZipItem& ZipArchive::item(std::size_t i) const {
    if (i >= count()) throwArchiveError(m_fileName, "there is no item number " + std::to_string(i));
    return listed() ? m_items[m_visible[i]].item : m_reader->entries()[i].item;
}

int ZipArchive::findFile(std::string_view name) const {
    // The exact name first: on Linux a backslash is part of a name. Only a name not found so
    // is tried again with "\" standing for "/", as the program's own lookups may write it.
    const auto lookUp = [this](const std::string& key) {
        if (!listed()) return m_reader->indexOf(key);
        const auto it = m_index.find(key);
        return it == m_index.end() ? -1 : int(it->second);
    };
    std::string key(name);
    if (const int found = lookUp(key); found >= 0) return found;
    if (key.find('\\') == std::string::npos) return -1;
    std::replace(key.begin(), key.end(), '\\', '/');
    return lookUp(key);
}

void ZipArchive::checkNewName(const std::string& name) const {
    if (m_fileName.empty()) throw ArchiveError("No archive is open to add \"" + name + "\" to");
    if (auto problem = writableNameProblem(name); !problem.empty())
        throwItemError(m_fileName, name, "cannot store it: " + problem);
    if (m_index.count(name) || m_queuedNames.count(name))
        throwItemError(m_fileName, name, "the archive already holds an item of this name");
}

// An item added in memory: checked name, its time (also as the UTC timestamp) and the UTF-8 flag.
PendingItem ZipArchive::newItem(PendingItem::Kind kind, const std::string& name, DosDateTime time) const {
    checkNewName(name);
    PendingItem pending;
    pending.kind = kind;
    pending.item.fileName = name;
    pending.item.dosTime = time;
    pending.item.modificationTime = fromDosDateTime(time);
    pending.item.flags = nameEncodingFlag(name);
    return pending;
}

void ZipArchive::appendListed(PendingItem pending) {
    m_index.emplace(pending.item.fileName, m_visible.size());
    m_visible.push_back(m_items.size());
    m_items.push_back(std::move(pending));
    m_changed = true;
}

void ZipArchive::addFromMemory(const std::string& name, std::string data, DosDateTime time,
                               std::uint32_t externalAttributes) {
    listItems();
    PendingItem pending = newItem(PendingItem::Kind::Memory, name, time);
    ZipItem& item = pending.item;
    item.externalAttributes = externalAttributes;
    item.host = (externalAttributes >> 16) ? kHostUnix : kHostDos;
    item.crc32 = ~UpdateCrc32(0xFFFFFFFFu, data.data(), data.size());
    item.uncompressedSize = data.size();
    pending.data = std::make_shared<const std::string>(std::move(data));
    appendListed(std::move(pending));
}

void ZipArchive::addFolder(const std::string& name, DosDateTime time, std::optional<std::uint32_t> unixMode) {
    listItems();
    PendingItem pending =
        newItem(PendingItem::Kind::Folder, (!name.empty() && name.back() == '/') ? name : name + "/", time);
    // 0x10 in the low byte either way, so that every tool sees a folder; a Unix mode of 0 would
    // make unzip create an inaccessible folder, so an item without a known mode has none.
    if (unixMode) {
        pending.item.host = kHostUnix;
        pending.item.externalAttributes = ((zipformat::kUnixFolder | (*unixMode & 07777)) << 16) | zipformat::kDosFolder;
    } else {
        pending.item.host = kHostDos;
        pending.item.externalAttributes = zipformat::kDosFolder;
    }
    appendListed(std::move(pending));
}

void ZipArchive::reserveItems(std::size_t more) {
    listItems();
    m_items.reserve(m_items.size() + more);
    m_queuedNames.reserve(m_queuedNames.size() + more);
}

void ZipArchive::addFile(const std::string& relativePath, std::optional<FileFacts> listed) {
    listItems();
    checkNewName(relativePath);
    if (relativePath.back() == '/')
        throwItemError(m_fileName, relativePath, "cannot store it: it names a folder");
    PendingItem pending;
    pending.kind = PendingItem::Kind::File;
    pending.path = relativePath;
    pending.listed = listed;
    pending.item.fileName = relativePath;
    m_queuedNames.insert(relativePath);
    m_items.push_back(std::move(pending));
    m_changed = true;
}

void ZipArchive::deleteFiles(const std::string& mask) {
    deleteItemsIf([&](const ZipItem& item) { return matchesMask(item.fileName, mask); });
}

void ZipArchive::deleteItemsIf(const std::function<bool(const ZipItem&)>& picked) {
    listItems();
    const auto matching = [&](const PendingItem& p) { return picked(p.item); };
    const auto removed = std::remove_if(m_items.begin(), m_items.end(), matching);
    if (removed == m_items.end()) return;
    for (auto it = removed; it != m_items.end(); ++it)
        m_queuedNames.erase(it->item.fileName);
    m_items.erase(removed, m_items.end());
    m_changed = true;
    rebuildIndex();
}

void ZipArchive::reuseItemsOf(std::shared_ptr<const ZipReader> reader) {
    m_reuse.reset();
    if (!reader) return;
    m_reuse = std::make_unique<ReuseSource>();
    m_reuse->reader = std::move(reader);
}

bool ZipArchive::reuseItemsOf(const std::string& path) {
    m_reuse.reset();
    try {
        auto reuse = std::make_unique<ReuseSource>();
        reuse->reader = std::make_shared<ZipReader>(std::make_shared<FileSource>(path), path);
        m_reuse = std::move(reuse);
        return true;
    } catch (const std::system_error&) {
    } catch (const ArchiveError&) {
    } catch (const std::bad_alloc&) {
    }
    return false;
}

void ZipArchive::setComment(const std::string& comment) {
    if (auto problem = ZipWriter::commentProblem(comment); !problem.empty())
        throwArchiveError(m_fileName, "cannot store the comment: " + problem);
    if (comment == m_comment) return;
    m_comment = comment;
    m_changed = true;
}

void ZipArchive::save() {
    save(WrittenArchiveWork{});
}

// The written archive's directory is read back from the file before it is renamed, and the
// work runs on it while another thread waits for the disk: the check of a large store needs
// tens of milliseconds of reading that would otherwise start only once the flush is done.
std::shared_ptr<ZipReader> ZipArchive::readBackWhileFlushing(OutputSink& sink, const std::string& twin,
                                                                   const ArchiveSaver& saver,
                                                                   const WrittenArchiveWork& work) {
    sink.drain();
    ZipArchive written;
    written.m_fileName = m_fileName;
    try {
        written.m_reader = std::make_shared<ZipReader>(std::make_shared<FileSource>(twin), m_fileName);
    } catch (const std::system_error& e) {
        throwArchiveError(m_fileName, "cannot open it again after writing: " + errorText(e.code().value()));
    }
    written.load();
    written.m_skipped = saver.skippedFiles();
    written.m_reuseOutcome = saver.reuseOutcome();
    std::exception_ptr flushFailure;
    {
        std::thread flusher([&] {
            try {
                sink.flush();
            } catch (...) {
                flushFailure = std::current_exception();
            }
        });
        struct Joiner {
            std::thread& thread;
            ~Joiner() { thread.join(); }
        } joiner{flusher};
        work(written);
    }
    if (flushFailure) std::rethrow_exception(flushFailure);
    return written.m_reader;
}

void ZipArchive::save(const WrittenArchiveWork& work) {
    if (m_fileName.empty()) throw ArchiveError("No archive is open to save");
    m_skipped.clear();
    m_reuseOutcome = {};
    if (!m_changed) return;
    listItems();
    const std::string twin = temporaryTwin(m_fileName);
    std::unique_ptr<OutputSink> sink;
    ArchiveSaver saver(m_saveOptions, m_reader.get(), m_reuse.get(), m_baseDirectory, m_progress);
    const bool hadReader = m_reader != nullptr;
    const bool whileFlushing = work && openFilesCanBeRenamed();
    std::shared_ptr<ZipReader> written; // the new archive, read back before its rename
    auto giveUp = [&] {
        if (sink) sink->discard();
        // The archive as it was, for the items that still come from it.
        if (hadReader && !m_reader) reopenReader();
    };
    try {
        sink = m_sinkFactory ? m_sinkFactory(twin) : makeFileSink(twin);
        saver.write(m_items, m_comment, *sink);
        if (whileFlushing) written = readBackWhileFlushing(*sink, twin, saver, work);
        else sink->flush();
        // Windows renames over no file that is open, the archive's own included: the reader
        // lets go of the old archive before the new one takes its name.
        m_reader.reset();
        sink->commit(m_fileName);
    } catch (const SinkError& e) {
        giveUp();
        throwArchiveError(m_fileName, sinkFailure(e, twin));
    } catch (const ArchiveError&) {
        giveUp();
        throw;
    } catch (const std::bad_alloc&) {
        giveUp();
        throwArchiveError(m_fileName, "there is not enough memory to write it");
    } catch (...) {
        giveUp();
        throw;
    }
    if (written) {
        m_reader = std::move(written); // the same file, under its final name now
    } else {
        std::shared_ptr<ByteSource> source;
        try {
            source = std::make_shared<FileSource>(m_fileName);
        } catch (const std::system_error& e) {
            throwArchiveError(m_fileName, "cannot open it again after writing: " + errorText(e.code().value()));
        }
        m_reader = std::make_shared<ZipReader>(source, m_fileName);
    }
    load();
    m_skipped = saver.skippedFiles();
    m_reuseOutcome = saver.reuseOutcome();
    if (work && !whileFlushing) work(*this);
}

void ZipArchive::reopenReader() noexcept {
    try {
        m_reader = std::make_shared<ZipReader>(std::make_shared<FileSource>(m_fileName), m_fileName);
    } catch (...) {
        // The archive cannot be read again: closed, so that no later save writes it without
        // the items it held.
        closeArchive();
    }
}

void ZipArchive::readByName(const std::string& name, const std::function<void(const char*, std::size_t)>& sink) const {
    const int index = findFile(name);
    if (index < 0) throwArchiveError(m_fileName, "it holds no item named \"" + name + "\"");
    if (!listed()) return m_reader->readItem(m_reader->entries()[std::size_t(index)], sink);
    readItemData(m_items[m_visible[std::size_t(index)]], sink);
}

ZipReader::ReadAhead ZipArchive::readAhead(const std::string_view* names, std::size_t count) const {
    return readAheadOf(count, [&](std::size_t i) -> const ZipReader::Entry* {
        const int index = findFile(names[i]);
        if (index < 0) return nullptr;
        if (!listed()) return &m_reader->entries()[std::size_t(index)];
        return existingEntry(m_items[m_visible[std::size_t(index)]]);
    });
}

const ZipReader::Entry* ZipArchive::existingEntry(const PendingItem& item) const {
    return item.kind == PendingItem::Kind::Existing ? &m_reader->entries()[item.existing] : nullptr;
}

// The reader's entries of up to 64 of the items entryOf(0..count-1) gives, read ahead.
ZipReader::ReadAhead ZipArchive::readAheadOf(std::size_t count,
                                             const std::function<const ZipReader::Entry*(std::size_t)>& entryOf) const {
    if (!m_reader) return {};
    std::array<const ZipReader::Entry*, 64> entries{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < count && n < entries.size(); ++i)
        if (const ZipReader::Entry* entry = entryOf(i)) entries[n++] = entry;
    return {*m_reader, entries.data(), n};
}

void ZipArchive::readItemData(const PendingItem& pending,
                              const std::function<void(const char*, std::size_t)>& sink) const {
    switch (pending.kind) {
    case PendingItem::Kind::Existing:
        m_reader->readItem(m_reader->entries()[pending.existing], sink);
        break;
    case PendingItem::Kind::Memory:
        sink(pending.data->data(), pending.data->size());
        break;
    case PendingItem::Kind::Folder:
    case PendingItem::Kind::File:
        break;
    }
}

std::string ZipArchive::extractToString(const std::string& name) const {
    std::string out;
    readByName(name, [&](const char* data, std::size_t n) { out.append(data, n); });
    return out;
}

void ZipArchive::readItem(const std::string& name,
                          const std::function<void(const char*, std::size_t)>& sink) const {
    readByName(name, sink);
}

std::string ZipArchive::readProblem(const std::string& name) const {
    const int index = findFile(name);
    if (index < 0) throwArchiveError(m_fileName, "it holds no item named \"" + name + "\"");
    if (!listed()) return ZipReader::readProblem(m_reader->entries()[std::size_t(index)]);
    const PendingItem& pending = m_items[m_visible[std::size_t(index)]];
    if (pending.kind != PendingItem::Kind::Existing) return {};
    return ZipReader::readProblem(m_reader->entries()[pending.existing]);
}

void ZipArchive::extractFilesEx(const std::string& mask, const std::string& excludeMask) {
    listItems();
    if (m_baseDirectory.empty()) throwArchiveError(m_fileName, "no folder to extract into has been set");
    // Every item is checked before the first byte is written, so a hostile archive changes nothing.
    for (std::size_t index : m_visible) {
        const PendingItem& pending = m_items[index];
        const ZipItem& item = pending.item;
        if (auto problem = extractionProblem(item); !problem.empty())
            throwItemError(m_fileName, item.fileName, "refused to extract it: " + problem);
        if (pending.kind == PendingItem::Kind::Existing)
            if (const std::string problem = ZipReader::readProblem(m_reader->entries()[pending.existing]); !problem.empty())
                throwItemError(m_fileName, item.fileName, "refused to extract it: " + problem);
    }
    // Every folder is made here, each asked about once, before the files go into them.
    std::vector<const PendingItem*> files;
    std::unordered_set<std::string> folders;
    for (std::size_t index : m_visible) {
        const PendingItem& pending = m_items[index];
        const std::string& name = pending.item.fileName;
        if (!matchesMask(name, mask) || (!excludeMask.empty() && matchesMask(name, excludeMask))) continue;
        const std::string target = joinPath(m_baseDirectory, name);
        const std::string folder = withoutTrailingSlash(pending.item.isFolder() ? target : folderPart(target));
        if (!folder.empty() && folders.insert(folder).second && !makeFolders(folder))
            throwItemError(m_fileName, name, "cannot create the folder " + folder + ": " + errorText(errno));
        if (!pending.item.isFolder()) files.push_back(&pending);
    }
    extractInParallel(files);
}

// Files are independent of one another, so both cores extract them, each a run of a folder's
// files at a time. The first error stops the others at their next file and is the one reported.
void ZipArchive::extractInParallel(const std::vector<const PendingItem*>& files) const {
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorMutex;
    constexpr std::size_t kFilesPerTurn = 32;
    runInTurns(files.size(), files.size() > 16 ? defaultWorkerCount() : 1, kFilesPerTurn,
               [&](std::size_t first, std::size_t end) {
                   const ZipReader::ReadAhead ahead =
                       readAheadOf(end - first, [&](std::size_t i) { return existingEntry(*files[first + i]); });
                   for (std::size_t i = first; i < end && !failed; ++i) {
                       try {
                           extractOne(*files[i], joinPath(m_baseDirectory, files[i]->item.fileName));
                       } catch (...) {
                           std::lock_guard lock(errorMutex);
                           if (!failed.exchange(true)) firstError = std::current_exception();
                       }
                   }
               });
    if (firstError) std::rethrow_exception(firstError);
}

// Kept only once its CRC has proved right, so that a damaged item never leaves a wrong file
// under the real name, nor spoils a file that was there.
void ZipArchive::extractOne(const PendingItem& pending, const std::string& target) const {
    const ZipItem& item = pending.item;
    const std::string folder = withoutTrailingSlash(folderPart(target)); // made by extractFilesEx
    // A new file is written under its own name and removed again if its data proves wrong;
    // one that replaces a file is written aside, so the old file stays whole until the new
    // one is complete.
    OutputFile out;
    if (!out.createInPlace(target) && (errno != EEXIST || !out.createUnique(folder, ".kpad-extract-")))
        throwItemError(m_fileName, item.fileName, "cannot create " + target + ": " + errorText(errno));
    int err = 0;
    try {
        readItemData(pending, [&](const char* data, std::size_t n) {
            if (!out.write(data, n)) throw SinkError("write", errno);
        });
    } catch (const SinkError& e) {
        err = e.errorNumber();
    }
    const std::uint32_t mode = item.hasUnixMode() ? item.unixMode() : 0644;
    if (err == 0 && !out.setMode(mode)) err = errno;
    const std::time_t t =
        item.modificationTime >= 0 ? std::time_t(item.modificationTime) : fromDosDateTime(item.dosTime);
    if (err == 0 && t != -1) out.setModificationTime(t);
    if (err == 0 && !out.commit(target, false)) err = errno;
    if (err != 0) throwItemError(m_fileName, item.fileName, "cannot write " + target + ": " + errorText(err));
}

} // namespace kp
