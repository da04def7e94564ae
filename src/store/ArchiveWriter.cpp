#include "store/ArchiveWriter.h"

#include "store/Layout.h"
#include "zip/ArchiveCheck.h"

namespace kp {

namespace {

void writeArchive(const WriterJob& job, const Clock& clock, const ProgressCallback& progress) {
    ZipArchive zip;
    zip.open(job.archiveName);
    if (!job.comment.empty()) zip.setComment(job.comment);
    for (const FolderItem& f : job.folders) zip.addFolder(f.name, f.dosTime);
    zip.addFolder(kBookkeepingPrefix, toDosDateTime(clock.now()));
    zip.addFromMemory(kProjectSetItem, job.settingsText, toDosDateTime(clock.now()));
    zip.addFromMemory(kProjectLogItem, job.logText, toDosDateTime(clock.now()));
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
    zip.closeArchive();
}

std::vector<Mismatch> checkArchive(const WriterJob& job) {
    ZipArchive zip;
    zip.open(job.archiveName);
    std::vector<Mismatch> mismatches;
    for (auto& [path, crc] : compareWithDisk(zip, job.files, job.projectPath)) mismatches.push_back({path, crc});
    return mismatches;
}

} // namespace

WriterResult writeAndCheck(const WriterJob& job, const Clock& clock, const ProgressCallback& progress,
                           const std::function<void()>& afterWrite) {
    WriterResult result;
    try {
        writeArchive(job, clock, progress);
    } catch (const std::exception& e) {
        // The kit leaves no partial archive, so there is nothing to check: the run must be
        // told the store failed rather than find "no mismatches" in an archive that isn't there.
        result.error = e.what();
        return result;
    }
    if (afterWrite) afterWrite();
    try {
        result.mismatches = checkArchive(job);
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

} // namespace kp
