// The run state: what one run of the program knows and decides. The engine owns it (the
// start-up sequence fills it, the engine changes it); the windows and the command line read
// it, and change it only through the engine's RunEdits and requests. Lives until the run ends.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "store/ArchiveWriter.h"
#include "store/ChangeDetection.h"
#include "store/NameValueList.h"
#include "store/IgnoreRules.h"
#include "store/Project.h"
#include "store/Messages.h"
#include "store/Settings.h"

namespace kp {


struct RunState : Project {
    std::string userName;
    std::size_t ignoredItems = 0;               // left out by the project's ignore file
    std::vector<IgnoreLineError> ignoreFileErrors; // its lines that could not be read
    std::string appDataFolder;

    // Archives.
    std::string newArchiveName;
    int datePos = 0;
    std::string latestArchiveName;  // empty when the project has no archive yet
    std::string latestLogText;
    bool logTooLarge = false;       // the latest archive's log is over kMaxLogSize: no store
    std::string restoreArchive;     // the state chosen for a restore, empty if none
    // The files as they were when read: the restore extracts only the very archive it checked,
    // and a relative archive is kept only while the primary it names is still the file read.
    std::optional<FileInfo> restoreArchiveFile;
    std::optional<FileInfo> primaryArchiveFile;
    std::vector<Mismatch> checksumMismatches;
    // The primary archive's items, read once per run (at start-up when it is also the latest).
    std::optional<std::vector<ArchiveLine>> primaryItems;
    // The primary archive as start-up opened it, for a full store to copy unchanged files
    // from; let go when the writer starts or the project log is saved into the newest archive.
    std::shared_ptr<const ZipReader> primaryReader;
    // The latest archive's project.set, and its items when it is not the primary archive:
    // a project that equals the newest relative archive's state stores nothing new.
    std::string latestProjectSet;
    std::optional<std::vector<ArchiveLine>> latestItems;

    // Settings.
    NameValueList defaultSettings{'='};
    NameValueList iniSettings{'='};
    NameValueList settings{'='};
    NameValueList mistakenSettings{'='};
    SettingsValues values;          // validated cL, ws, ds, hv, mnp, ps
    int statusTrainLength = 20;     // L of the project's status

    // Flags.
    bool showOptions = false;       // the first tick opens the options window instead of storing
    bool interruptible = true;      // Ctrl or a click may still open the options window
    bool storeRequested = true;
    bool statusRequested = false;   // the trains are full: a status must be chosen
    bool settingsMistaken = false;
    std::string settingsFileProblem; // why setting.ini exists but could not be read, or empty
    bool timeRepeated = false;      // the new archive's minute is the latest archive's
    bool canWrite = true;
    // Data copied from the primary archive proved not to be the files' (or the primary is no
    // longer the file read): every store left in the run compresses everything.
    bool primaryDataDamaged = false;
    bool latestHasStatus = false;
    bool addVersion = false;

    std::string archiveComment;
    std::string versionPart1 = "0", versionPart2 = "0", versionPart3;
    bool lastVersionTaken = false; // the options window showed the last version once this run
    std::int64_t freeDiskSpace = -1;
    std::string diskSpaceText;
    std::string restoringText;      // the card's line while a restore runs
    std::string unfinishedRestore;  // the message about a restore an earlier run did not finish
    bool projectUnchanged = false;  // nothing changed since the newest state: the card says so
};

// True when path is still the file found before (same file, size and time).
bool stillTheSameFile(const std::optional<FileInfo>& before, const std::string& path);

// The card's date line: the new archive's stamp and suffix while a store is requested,
// else the same-project text or "Canceled".
std::string cardDateLabel(const RunState& s);
// "[ standard ]"
std::string cardStatusLabel(const RunState& s);

} // namespace kp
