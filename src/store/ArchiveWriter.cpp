#include "store/ArchiveWriter.h"

#include <unordered_set>

#include "zip/ArchiveCheck.h"
#include "zip/Crc32.h"

namespace kp {

namespace {

// Returns the files whose data was copied from the primary archive.
std::vector<std::string> writeArchive(const WriterJob& job, const Clock& clock, const ProgressCallback& progress) {
    ZipArchive zip;
    zip.open(job.archiveName);
    // A primary that cannot be read only means that every file is compressed.
    if (!job.primaryArchive.empty()) zip.reuseItemsOf(job.primaryArchive);
    if (!job.comment.empty()) zip.setComment(job.comment);
    for (const FolderItem& f : job.folders) zip.addFolder(f.name, f.dosTime, f.mode);
    zip.addFolder("_kpad_/", toDosDateTime(clock.now()));
    zip.addFromMemory("_kpad_/project.set", job.settingsText, toDosDateTime(clock.now()));
    zip.addFromMemory("_kpad_/project.log", job.logText, toDosDateTime(clock.now()));
    zip.setBaseDirectory(job.projectPath);
    zip.setProgressCallback(progress);
    for (const std::string& file : job.files) {
        // A file whose name cannot be stored is left out, like a file that vanished; the
        // check then reports it missing and the archive is withdrawn.
        try {
            zip.addFile(file);
        } catch (const ArchiveError&) {
        }
    }
    zip.save();
    std::vector<std::string> reused = zip.reusedFiles();
    zip.closeArchive();
    return reused;
}

// Every file on disk against its item's CRC. Items copied from the primary archive were never
// compressed from the file, so their data is inflated as well: a damaged primary must not
// pass its damage into the new state unnoticed.
std::vector<Mismatch> checkArchive(const WriterJob& job, const std::vector<std::string>& reused) {
    ZipArchive zip;
    zip.open(job.archiveName);
    std::vector<Mismatch> mismatches;
    std::unordered_set<std::string> listed;
    for (auto& [path, crc] : compareWithDisk(zip, job.files, job.projectPath)) {
        listed.insert(path);
        mismatches.push_back({path, crc});
    }
    for (const std::string& path : itemsWithBadData(zip, reused)) {
        const int index = zip.findFile(path);
        if (listed.insert(path).second)
            mismatches.push_back({path, index < 0 ? "00000000" : crc32Hex(zip.item(std::size_t(index)).crc32)});
    }
    return mismatches;
}

} // namespace

WriterResult writeAndCheck(const WriterJob& job, const Clock& clock, const ProgressCallback& progress,
                           const std::function<void()>& afterWrite) {
    WriterResult result;
    std::vector<std::string> reused;
    try {
        reused = writeArchive(job, clock, progress);
    } catch (const std::exception& e) {
        // The kit leaves no partial archive, so there is nothing to check: the run must be
        // told the store failed rather than find "no mismatches" in an archive that isn't there.
        result.error = e.what();
        return result;
    }
    if (afterWrite) afterWrite();
    try {
        result.mismatches = checkArchive(job, reused);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

} // namespace kp
