#include "store/ArchiveWriter.h"

#include <cerrno>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "store/Layout.h"
#include "zip/ArchiveCheck.h"
#include "zip/Crc32.h"
#include "zip/ItemNames.h"

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

// Returns the files whose data was copied from the primary archive.
std::vector<std::string> writeArchive(WriterJob& job, const Clock& clock, const ProgressCallback& progress,
                                      std::vector<UnreadableFile>& unreadable) {
    ZipArchive zip;
    zip.open(job.archiveName);
    // A primary that cannot be read only means that every file is compressed.
    if (!job.primaryArchive.empty()) zip.reuseItemsOf(job.primaryArchive);
    if (!job.comment.empty()) zip.setComment(job.comment);
    for (const FolderItem& f : job.folders) zip.addFolder(f.name, f.dosTime, f.mode);
    zip.addFolder(kBookkeepingPrefix, toDosDateTime(clock.now()));
    zip.addFromMemory(kProjectSetItem, job.settingsText, toDosDateTime(clock.now()));
    zip.addFromMemory(kProjectLogItem, std::move(job.logText), toDosDateTime(clock.now()));
    zip.setBaseDirectory(job.projectPath);
    zip.setProgressCallback(progress);
    for (const std::string& file : job.files) {
        // A file whose name cannot be stored is left out and named; the rest is stored.
        if (const std::string why = writableNameProblem(file); !why.empty()) {
            unreadable.push_back({file, "its name cannot be stored: " + why});
            continue;
        }
        try {
            zip.addFile(file);
        } catch (const ArchiveError& e) {
            unreadable.push_back({file, e.what()});
        }
    }
    zip.save();
    collectSkipped(zip, job, unreadable);
    std::vector<std::string> reused = zip.reusedFiles();
    zip.closeArchive();
    return reused;
}

// Every file on disk against its item's CRC, but those that could not be read. Items copied
// from the primary archive were never compressed from the file, so their data is inflated as
// well: a damaged primary must not pass its damage into the new state unnoticed.
std::vector<Mismatch> checkArchive(const WriterJob& job, const std::vector<UnreadableFile>& unreadable,
                                   const std::vector<std::string>& reused, bool& copiedDataDamaged) {
    std::unordered_set<std::string> leftOut;
    for (const UnreadableFile& u : unreadable) leftOut.insert(u.path);
    std::vector<std::string> files;
    files.reserve(job.files.size());
    for (const std::string& file : job.files)
        if (!leftOut.count(file)) files.push_back(file);
    ZipArchive zip;
    zip.open(job.archiveName);
    std::vector<Mismatch> mismatches;
    std::unordered_set<std::string> listed;
    for (auto& [path, crc] : compareWithDisk(zip, files, job.projectPath)) {
        listed.insert(path);
        mismatches.push_back({path, crc});
    }
    for (const std::string& path : itemsWithBadData(zip, reused)) {
        copiedDataDamaged = true;
        const int index = zip.findFile(path);
        if (listed.insert(path).second)
            mismatches.push_back({path, index < 0 ? "00000000" : crc32Hex(zip.item(std::size_t(index)).crc32)});
    }
    return mismatches;
}

} // namespace

WriterResult writeAndCheck(WriterJob job, const Clock& clock, const ProgressCallback& progress,
                           const std::function<void()>& afterWrite) {
    WriterResult result;
    std::vector<std::string> reused;
    try {
        reused = writeArchive(job, clock, progress, result.unreadable);
    } catch (const std::exception& e) {
        // The kit leaves no partial archive, so there is nothing to check: the run must be
        // told the store failed rather than find "no mismatches" in an archive that isn't there.
        result.error = e.what();
        return result;
    }
    if (afterWrite) afterWrite();
    try {
        result.mismatches = checkArchive(job, result.unreadable, reused, result.copiedDataDamaged);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

} // namespace kp
