#include "engine/Startup.h"

#include <cstdio>

#include "store/ArchiveNaming.h"
#include "engine/EntryChecks.h"
#include "engine/RunLimits.h"
#include "store/SettingsFile.h"
#include "platform/FileSystem.h"
#include "platform/HiddenFolder.h"
#include "platform/Text.h"
#include "restore/Recovery.h"
#include "store/ArchiveNames.h"
#include "store/Records.h"
#include "store/StoreOperation.h"
#include "zip/KitResult.h"
#include "zip/ZipReader.h"

namespace kp {

void resolveProjectItem(RunState& s, const std::string& param) {
    std::string item = param;
    // An archive folder given as the parameter stands for the folder that holds it.
    if (lowerUtf8(fileNamePart(item)) == kArchiveFolderName) item = withoutTrailingSlash(folderPart(item));
    const std::string name = fileNamePart(item);
    const auto dot = name.rfind('.');
    s.projectExt = dot == std::string::npos ? std::string() : name.substr(dot);
    s.projectBaseName = name.substr(0, name.size() - s.projectExt.size());
    s.projectPath = folderPart(item);
    s.projectKind = existsAsFolder(item) ? ProjectKind::Folder : ProjectKind::File;
    s.archiveFolder = s.projectKind == ProjectKind::Folder ? s.projectPath + name + "/" + kArchiveFolderName
                                                           : s.projectPath + kArchiveFolderName;
}

std::string projectLockFolder(const RunState& s) {
    return s.projectKind == ProjectKind::Folder ? s.projectPath + s.projectName() : s.projectPath;
}

namespace {

void listProject(RunState& s) {
    ScanOptions options;
    options.unreadable = &s.unreadable;
    std::vector<std::string> temporaries;
    options.extractionTemporaries = &temporaries;
    const IgnoreRules rules = readIgnoreRules(s);
    std::vector<IgnoredItem> ignored;
    options.ignore = &rules;
    options.ignored = &ignored;
    s.projectFiles = listProjectItems(s, options);
    s.ignoredItems = ignored.size();
    s.ignoreFileErrors = rules.errors();
    // Left by an extraction that was killed; no state may hold them.
    for (const std::string& path : temporaries) removeFile(path);
}

void layerSettings(RunState& s, const std::string& projectSet) {
    SettingsMerge(s.defaultSettings, kDefaultSettingsString, "");
    s.iniSettings = s.defaultSettings;
    if (auto prefs = readUserPreferences(settingsFilePath(s.appDataFolder), &s.settingsFileProblem))
        SettingsMerge(s.iniSettings, *prefs, "");
    s.settings = s.iniSettings;
    // Only the record's settings section counts: the comment is the user's free text, and a
    // word like "mnp:1" in it must not change how many states the project keeps.
    const std::string recordSettings = projectSetSettingsText(projectSet);
    SettingsMerge(s.settings, recordSettings, "");
    NameValueList fromRecord('=');
    SettingsMerge(fromRecord, recordSettings, "");
    s.latestHasStatus = !trim(SettingsMerge(fromRecord, "ps:", "")).empty();
}

void validate(RunState& s, Host& host) {
    const std::size_t mistakesBefore = s.mistakenSettings.count();
    const SettingsCheck check = validateSettings(s.settings, s.defaultSettings, s.mistakenSettings);
    s.values = check.values;
    if (check.statusInvalid) host.beep();
    setFolderHidden(s.archiveFolder, s.values.showArchiveFolder == 0);
    s.statusTrainLength = statusTrainLength(s.values, s.values.projectStatus);
    // The user's settings are not in force: the user must hear of it before a Save replaces them.
    const bool mistaken = s.mistakenSettings.count() > mistakesBefore;
    if (mistaken || !s.settingsFileProblem.empty()) {
        s.showOptions = true;
        s.settingsMistaken = mistaken;
        host.beep();
    }
}

std::string megabytes(std::int64_t bytes, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, (long long)(bytes / 1024 / 1024));
    return buf;
}

// Can the archive folder be written? Tries the new archive's ".tmp" twin, the name the
// writer will use, and leaves nothing behind.
void probeArchiveFolder(RunState& s) {
    s.canWrite = true;
    s.diskSpaceText.clear();
    if (existsAsFolder(s.archiveFolder)) {
        s.freeDiskSpace = freeDiskSpace(s.archiveFolder);
        s.diskSpaceText = megabytes(s.freeDiskSpace, "%lld MB");
        const std::string twin = ZipArchive::temporaryTwin(s.newArchiveName);
        if (pathExists(twin)) {
            if (!removeFile(twin)) s.canWrite = false;
        } else {
            if (createNewFile(twin)) removeFile(twin);
            else s.canWrite = false;
        }
    } else if (makeFolderKeepingParentTime(s.archiveFolder).ok()) {
        s.freeDiskSpace = freeDiskSpace(s.archiveFolder);
        s.diskSpaceText = megabytes(s.freeDiskSpace, " %lld MB");
        removeFolderKeepingParentTime(s.archiveFolder);
    } else {
        s.canWrite = false;
    }
}

// ~150 bytes an item: 15 MB at most.
constexpr std::size_t kKeptPrimaryItems = 100000;

} // namespace

Result<void> readRecords(const std::string& archivePath, std::string& projectSet, std::string& projectLog,
                         std::optional<std::vector<ArchiveLine>>* items, std::shared_ptr<const ZipReader>* reader) {
    projectSet.clear();
    projectLog.clear();
    // A damaged latest archive leaves the run with the user's settings and no history; the
    // run still goes on, and the next full archive starts a fresh log.
    const auto damaged = [&](const Failure& f) {
        projectSet.clear();
        projectLog.clear();
        return Failure{FailureKind::Internal, f.text, archivePath};
    };
    ZipArchive zip;
    if (Result<void> opened = openArchive(zip, archivePath); !opened) return damaged(opened.failure());
    if (zip.findFile(kProjectSetItem) >= 0) {
        Result<std::string> text = readItemText(zip, kProjectSetItem);
        if (!text) return damaged(text.failure());
        projectSet = std::move(text.value());
    }
    if (items) *items = archiveLines(zip);
    if (const int log = zip.findFile(kProjectLogItem); log >= 0) {
        if (zip.item(std::size_t(log)).uncompressedSize > kMaxLogSize)
            return Failure{FailureKind::Refused, kLogTooLarge, archivePath};
        Result<std::string> text = readItemText(zip, kProjectLogItem);
        if (!text) return damaged(text.failure());
        projectLog = std::move(text.value());
    }
    if (reader) *reader = zip.reader();
    return {};
}

void removeStaleTemporaries(const std::string& archiveFolder, const std::string& projectName, const Clock& clock) {
    const LocalTime today = clock.localNow();
    for (const FileInfo& fi : listFolder(archiveFolder)) {
        if (fi.isFolder || !startsWith(fi.name, projectName + "-") || !endsWith(fi.name, kTemporarySuffix)) continue;
        // The twin of a name the archive search would take as this project's archive.
        const std::string tail = fi.name.substr(projectName.size(), fi.name.size() - projectName.size() - 4) + ".zip";
        if (isValidArchiveTail(tail, yymmddOf(today.year, today.month, today.day)))
            removeFile(archiveFolder + "/" + fi.name);
    }
}

int runStartup(RunState& s, const StartupInput& input, const Clock& clock, Host& host) {
    // Entry checks resolve links already; a caller that starts a run without them gets the
    // same: the run works on the real folder or file, never on a link to it.
    const std::string real = resolvedPath(input.param);
    s.param = real.empty() ? input.param : real;
    if (input.ctrlHeld) s.showOptions = true;
    s.userName = currentUserName();

    resolveProjectItem(s, s.param);
    if (const auto unfinished = takeUnfinishedRestore(s))
        s.unfinishedRestore = msg::restoreUnfinished(s.projectName(), unfinished->restored, unfinished->keptIn);

    s.archives = FindArchives(s.archiveFolder, kRepositoryName, s.projectName(), clock);
    if (!s.archives.storedStates.empty()) s.primaryArchiveFile = statPath(s.archives.storedStates.back());
    const ArchiveName name =
        BuildArchiveName(s.archiveFolder, s.projectName(), s.archives.storedStates.empty() ? "c" : "", clock);
    s.newArchiveName = name.path;
    s.datePos = name.datePos;

    s.appDataFolder = appDataFolder();
    if (!s.archives.allOwnArchives.empty()) s.latestArchiveName = s.archives.allOwnArchives.back().fullPath();
    if (!s.latestArchiveName.empty() && stampAt(fileNamePart(s.newArchiveName), s.datePos) ==
                                            stampAt(fileNamePart(s.latestArchiveName), s.datePos)) {
        s.showOptions = true;
        s.timeRepeated = true;
    }

    std::string projectSet, projectLog;
    if (!s.latestArchiveName.empty()) {
        // The latest archive is usually the primary one too: its items are kept for the
        // comparison, so a large directory is read once per run.
        const bool isPrimary = !s.archives.storedStates.empty() && s.archives.storedStates.back() == s.latestArchiveName;
        const Result<void> read =
            readRecords(s.latestArchiveName, projectSet, projectLog, isPrimary ? &s.primaryItems : &s.latestItems,
                        isPrimary ? &s.primaryReader : nullptr);
        // Its directory as read here serves a full store too, which copies unchanged files
        // from it; not one so large that holding it through a relative store, beside the
        // listing, would cost more memory than reading it again costs time.
        if (s.primaryReader && s.primaryReader->entries().size() > kKeptPrimaryItems) s.primaryReader.reset();
        // A log too large refuses the store; a damaged archive only leaves the run without history.
        s.logTooLarge = !read && read.failure().kind == FailureKind::Refused;
        s.latestProjectSet = projectSet;
    }
    layerSettings(s, projectSet);
    s.latestLogText = trim(projectLog);
    std::string().swap(projectLog);
    validate(s, host);
    // Listed after the settings are applied: hiding the archive folder writes ".hidden" into
    // the project folder, and the listing must see the project as this run leaves it, or the
    // program's own bookkeeping would count as a change in every later run.
    listProject(s);

    if (!s.latestHasStatus &&
        TrainsFull(s.archives.allOwnArchives.size(), s.archives.storedStates.size(),
                   s.archives.projectArchives.size(), s.values.trainLength[0], s.values.capacityFactor)) {
        host.beep();
        s.showOptions = true;
        s.statusRequested = true;
    }

    removeStaleTemporaries(s.archiveFolder, s.projectName(), clock);
    probeArchiveFolder(s);
    if (!s.canWrite) {
        host.beep();
        s.showOptions = true;
    }
    s.diskSpaceText = "Disk Space: " + s.diskSpaceText;
    return s.showOptions ? kOptionsDueTickMs : kFirstTickMs;
}

bool clockOutOfRange(const Clock& clock, std::string& message) {
    const LocalTime now = clock.localNow();
    const int date = now.year * 10000 + now.month * 100 + now.day;
    if (date >= 20080802 && now.year <= 2099) return false;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", now.year, now.month, now.day, now.hour, now.minute);
    message = msg::clockOutOfRange(text);
    return true;
}

bool clockWentBack(const RunState& s, std::string& message) {
    if (s.latestArchiveName.empty()) return false;
    // Both stamps are read at the date position of the file names: a latest archive in the
    // repository has its stamp there too, though not after the archive folder prefix.
    const std::string now = stampAt(fileNamePart(s.newArchiveName), s.datePos);
    const std::string latest = stampAt(fileNamePart(s.latestArchiveName), s.datePos);
    if (stampNumber(latest) <= stampNumber(now)) return false;
    message = msg::clockWentBack(now, latest);
    return true;
}

} // namespace kp
