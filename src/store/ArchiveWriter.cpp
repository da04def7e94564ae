#include "store/ArchiveWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "store/Layout.h"
#include "zip/ArchiveCheck.h"
#include "zip/Crc32.h"
#include "zip/ItemNames.h"
#include "zip/KitResult.h"
#include "zip/WorkerPool.h"

namespace kp {

namespace {

// The files the kit skipped while saving: those that cannot be opened are unreadable; one
// that vanished stays for the check, which reports it missing as before.
void collectSkipped(const ZipArchive& zip, const WriterJob& job, std::vector<UnreadableFile>& unreadable) {
    for (const std::string& file : zip.skippedFiles()) {
        const int err = readProblem(joinPath(job.projectPath, file));
        if (err == ENOENT) continue;
        unreadable.push_back({file, err ? errorText(err) : "it could not be read"});
    }
}

// What comparing a copied item with its file found.
enum class CopyVerdict { Same, FileDiffers, BadCopy };

// The size and CRC of the whole file, read from its start.
bool sizeAndCrcOf(const InputFile& file, std::vector<char>& buffer, std::uint64_t& size, std::uint32_t& crc) {
    buffer.resize(std::max<std::size_t>(buffer.size(), 65536));
    std::uint32_t value = 0xFFFFFFFFu;
    size = 0;
    for (;;) {
        const std::ptrdiff_t got = file.readUpTo(size, buffer.data(), buffer.size());
        if (got < 0) return false;
        if (got == 0) break;
        value = UpdateCrc32(value, buffer.data(), std::size_t(got));
        size += std::uint64_t(got);
    }
    crc = ~value;
    return true;
}

// One pass over the file: its bytes against the item's inflated bytes. Reading the item checks
// that it inflates to its own CRC, so a file with exactly those bytes has that CRC too. Where
// the bytes differ, the whole file's CRC tells why: another size or CRC means the file changed
// after it was stored (as any file may); the item's size and CRC under other bytes, or an item
// that does not inflate to its own CRC, mean the copied data is not the file's.
CopyVerdict compareCopyWithFile(const ZipArchive& zip, const std::string& name, const std::string& path,
                                FolderCursor& folder) {
    std::vector<char> buffer;
    InputFile file;
    if (!file.openListed(path, folder)) return CopyVerdict::FileDiffers;
    const int index = zip.findFile(name);
    if (index < 0) return CopyVerdict::BadCopy;
    const ZipItem& item = zip.item(std::size_t(index));
    std::uint64_t offset = 0;
    bool bytesDiffer = false;
    const Result<void> read = readItemData(zip, name, [&](const char* data, std::size_t n) {
        if (bytesDiffer) return;
        if (buffer.size() < n) buffer.resize(n);
        bytesDiffer = !file.readAt(offset, buffer.data(), n) || std::memcmp(data, buffer.data(), n) != 0;
        offset += n;
    });
    if (!read) return CopyVerdict::BadCopy;
    char extra;
    if (!bytesDiffer && file.readUpTo(offset, &extra, 1) == 0 && (item.uncompressedSize > 0 || file.isRegularFile()))
        return CopyVerdict::Same;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!sizeAndCrcOf(file, buffer, size, crc) || size != item.uncompressedSize || crc != item.crc32)
        return CopyVerdict::FileDiffers;
    return CopyVerdict::BadCopy;
}

struct CheckFindings {
    std::vector<Mismatch> mismatches;
    std::vector<std::string> badCopies;
};

// Every file on disk against its item, but those that could not be read. Files compressed by
// this store, and copies whose bytes the store compared with the file's, are compared by CRC.
// Copies of files too large to be held whole were found equal by size and CRC only, so their
// inflated bytes are compared with the file's here: a damaged primary, or one holding other
// bytes under the same size and CRC, must not pass into the new state unnoticed.
CheckFindings checkArchive(const ZipArchive& zip, const WriterJob& job, const std::vector<UnreadableFile>& unreadable,
                           const ReuseOutcome& reused) {
    std::unordered_set<std::string> leftOut;
    for (const UnreadableFile& u : unreadable) leftOut.insert(u.path);
    const std::unordered_set<std::string> copied(reused.comparedByCrcOnly.begin(), reused.comparedByCrcOnly.end());
    std::vector<std::string> compressed, copiedFiles;
    compressed.reserve(job.files.size());
    for (const std::string& file : job.files) {
        if (leftOut.count(file)) continue;
        (copied.count(file) ? copiedFiles : compressed).push_back(file);
    }
    std::unordered_map<std::string, std::string> differing;
    for (auto& [path, crc] : compareWithDisk(zip, compressed, job.projectPath)) differing.emplace(path, crc);

    std::vector<CopyVerdict> verdicts(copiedFiles.size(), CopyVerdict::Same);
    constexpr std::size_t kFilesPerTurn = 16; // files a thread takes at once, mostly of one folder
    runByFolder(copiedFiles.size(), 2, kFilesPerTurn, [&](std::size_t i, FolderCursor& folder) {
        verdicts[i] = compareCopyWithFile(zip, copiedFiles[i], joinPath(job.projectPath, copiedFiles[i]), folder);
    });
    CheckFindings found;
    found.badCopies = reused.refused;
    for (std::size_t i = 0; i < copiedFiles.size(); ++i) {
        if (verdicts[i] == CopyVerdict::BadCopy) found.badCopies.push_back(copiedFiles[i]);
        if (verdicts[i] != CopyVerdict::FileDiffers) continue;
        const int index = zip.findFile(copiedFiles[i]);
        differing.emplace(copiedFiles[i], index < 0 ? "00000000" : crc32Hex(zip.item(std::size_t(index)).crc32));
    }
    // In the order of the job, as the user's listing shows them.
    for (const std::string& file : job.files)
        if (const auto it = differing.find(file); it != differing.end()) found.mismatches.push_back({file, it->second});
    return found;
}

// Writes the archive and runs check on it as written (see ZipArchive::save), or says why the
// archive could not be written. Files left out are added to unreadable before the check.
Result<void> writeArchive(ZipArchive& zip, WriterJob& job, const Clock& clock, const ProgressCallback& progress,
                          std::vector<UnreadableFile>& unreadable,
                          const std::function<void(const ZipArchive& written)>& check) {
    if (Result<void> opened = openArchive(zip, job.archiveName); !opened) return opened.failure();
    // A primary that cannot be read only means that every file is compressed.
    if (job.primaryReader) zip.reuseItemsOf(std::move(job.primaryReader));
    else if (!job.primaryArchive.empty()) zip.reuseItemsOf(job.primaryArchive);
    if (!job.comment.empty())
        if (Result<void> set = setArchiveComment(zip, job.comment); !set) return set.failure();
    zip.reserveItems(job.folders.size() + job.files.size() + 3);
    for (const FolderItem& f : job.folders)
        if (Result<void> added = addFolderItem(zip, f.name, f.dosTime, f.mode); !added) return added.failure();
    if (Result<void> added = addFolderItem(zip, kBookkeepingPrefix, toDosDateTime(clock.now())); !added)
        return added.failure();
    if (Result<void> added = addMemoryItem(zip, kProjectSetItem, job.settingsText, toDosDateTime(clock.now())); !added)
        return added.failure();
    if (Result<void> added = addMemoryItem(zip, kProjectLogItem, std::move(job.logText), toDosDateTime(clock.now()));
        !added)
        return added.failure();
    zip.setBaseDirectory(job.projectPath);
    zip.setProgressCallback(progress);
    for (std::size_t i = 0; i < job.files.size(); ++i) {
        const std::string& file = job.files[i];
        // A file whose name cannot be stored is left out and named; the rest is stored.
        if (const std::string why = writableNameProblem(file); !why.empty()) {
            unreadable.push_back({file, "its name cannot be stored: " + why});
            continue;
        }
        const std::optional<FileFacts> listed =
            job.listed.empty() ? std::nullopt : std::optional<FileFacts>(job.listed[i]);
        if (Result<void> queued = queueFile(zip, file, listed); !queued) unreadable.push_back({file, queued.failure().text});
    }
    return saveArchive(zip, [&](const ZipArchive& written) {
        collectSkipped(written, job, unreadable);
        check(written);
    });
}

} // namespace

WriterResult writeAndCheck(WriterJob job, const Clock& clock, const ProgressCallback& progress,
                           const std::function<void()>& afterWrite) {
    WriterResult result;
    // The check runs on the new archive's directory as read back from the disk.
    ZipArchive zip;
    CheckFindings found;
    const Result<void> written = writeArchive(zip, job, clock, progress, result.unreadable, [&](const ZipArchive& archive) {
        if (afterWrite) afterWrite();
        found = checkArchive(archive, job, result.unreadable, archive.reuseOutcome());
    });
    if (!written) {
        // The kit leaves no partial archive, so there is nothing to check: the run must be
        // told the store failed rather than find "no mismatches" in an archive that isn't there.
        result.failure = Failure{FailureKind::WriteFailed, written.failure().text, job.archiveName};
        return result;
    }
    result.mismatches = std::move(found.mismatches);
    result.badCopies = std::move(found.badCopies);
    return result;
}

} // namespace kp
