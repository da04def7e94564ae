#include "engine/StoreJob.h"

#include "platform/Text.h"
#include "store/Records.h"

namespace kp {

bool writesRelativeArchive(const RunState& s) {
    return !s.addVersion && trim(s.archiveComment).empty() && !s.archives.storedStates.empty();
}

bool sameAsLatestRelative(const RunState& s, const ChangeResult& changes, const std::string& missingText,
                          bool ignoreCase) {
    if (!s.latestItems || s.archives.storedStates.empty()) return false;
    const RelativeRecord latest = projectSetRelativeRecord(s.latestProjectSet);
    if (latest.primaryArchive.empty() ||
        latest.primaryArchive != relativeArchiveName(s.archiveFolder, s.archives.storedStates.back()) ||
        latest.missingText != missingText)
        return false;
    std::vector<ProjectLine> changed;
    changed.reserve(changes.changed.size());
    const std::vector<ProjectLine> all = projectLines(s);
    for (std::size_t i : changes.changed) changed.push_back(all[i]);
    const ChangeResult against = detectChanges(*s.latestItems, changed, ignoreCase);
    return against.changed.empty() && against.missing.empty();
}

WriterJob composeWriterJob(const RunState& s, const Selection& selection, const SplitSelection& split) {
    WriterJob job;
    job.folders.reserve(split.folders.size());
    job.files.reserve(split.files.size());
    job.listed.reserve(split.files.size());
    for (std::size_t i : split.folders) job.folders.push_back({relativePath(s, s.projectFiles[i]), s.projectFiles[i].dosTime, s.projectFiles[i].mode});
    for (std::size_t i : split.files) {
        const ListingEntry& e = s.projectFiles[i];
        job.files.push_back(relativePath(s, e));
        if (e.mtime >= 0 && e.size >= 0) job.listed.push_back({std::uint64_t(e.size), e.mode, e.mtime});
    }
    if (job.listed.size() != job.files.size()) job.listed.clear();
    job.archiveName = s.newArchiveName;
    job.projectPath = s.projectPath;
    // A relative archive holds only what differs from the primary, so there is nothing in the
    // primary to copy for it, and reading the primary's directory a second time would cost
    // more than the listing in a project of many files.
    if (selection.full && !s.archives.storedStates.empty() && !s.primaryDataDamaged) {
        job.primaryArchive = s.archives.storedStates.back();
        job.primaryReader = s.primaryReader;
    }

    ProjectSetFields fields;
    fields.projectName = s.projectName();
    fields.archiveName = relativeArchiveName(s.archiveFolder, s.newArchiveName);
    fields.projectStatus = s.values.projectStatus;
    if (selection.full) {
        fields.kind = ArchiveKind::Full;
        fields.comment = s.archiveComment;
        job.comment = ComposeZipComment(s.archiveComment, fields.archiveName);
        job.logText = ComposeProjectLog(s.latestLogText, fields.projectName, fields.archiveName, s.archiveComment);
    } else {
        fields.kind = ArchiveKind::Relative;
        fields.primaryArchive = relativeArchiveName(s.archiveFolder, s.archives.storedStates.back());
        fields.missingText = selection.missingText;
        job.logText = s.latestLogText;
    }
    job.settingsText = ComposeProjectSet(fields);
    return job;
}

} // namespace kp
