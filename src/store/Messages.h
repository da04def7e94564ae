// The texts the core shows to the user, in one place: refusals, reports and the options
// window's message lines. Line breaks are CR LF, as the windows show them; blanks are part
// of the texts.
#pragma once
#include <string>
#include <vector>

namespace kp::msg {

// Entry checks of the parameter (message boxes titled "Warning").
inline constexpr const char* kParameterAbsent = "The correct parameter is absent.  ";
inline constexpr const char* kRootArchiveFolder = "The project folder is absent. ";
inline constexpr const char* kArchiveFolderBlocked =
    " The archive folder \" #tarnel \" can't be created \r\n     because the file \" #tarnel \" exists already.";
inline constexpr const char* kRepositoryBlocked =
    "  The folder \" #tarnel/repository \" can't be created \r\n because the file "
    "\" #tarnel/repository \" exists already.";
std::string protectedName(const std::string& name);
std::string fileNamedLikeItsFolder(const std::string& name);
inline constexpr const char* kRootNoProject = "The root folder \" / \" can't be a project. ";

// The run.
inline constexpr const char* kProjectBusy =
    "Another run of Kestrelpad is working on this project.\r\nTry again when it has ended.";
inline constexpr const char* kSameProject = "The project is the same";
inline constexpr const char* kCanceled = "Canceled";
std::string clockWentBack(const std::string& now, const std::string& latest);
std::string clockOutOfRange(const std::string& now); // now: "2107-01-01 10:00"
std::string fileTooLarge(const std::string& path);
inline constexpr const char* kProjectTooLarge = "Can't create the archive,\r\nbecause the project's size is over than 1 Gb.";
inline constexpr const char* kDiskSpaceLow = "Can't create the archive,\r\nbecause the disk space is low.";
std::string archiveFolderNotCreated(const std::string& folder, const std::string& reason);
std::string archiveExists(const std::string& fileName);
// storing: whether the run goes on to store a full archive instead.
std::string primaryUnreadable(const std::string& fileName, const std::string& reason, bool storing = true);
std::string logTooLarge(const std::string& fileName);
std::string repositoryCopyFailed(const std::vector<std::string>& fileNames);
std::string archiveNotCreated(const std::string& fileName, const std::string& reason);
// The mismatch report: at most ten lines "path   CRC:XXXXXXXX", then "..".
std::string checksumMismatch(const std::vector<std::string>& lines, bool more);
// Copies of these files taken from the archive fileName proved wrong; the store was made again
// from the files alone. At most ten names, then "..".
std::string archiveDamaged(const std::string& fileName, const std::vector<std::string>& files);
// The primary archive vanished or changed while a relative archive of it was written.
std::string primaryChanged(const std::string& fileName);
std::string versionPartInvalid(const std::string& what); // "Check value for ..."
// Lines "path   reason" of the files and folders a store had to leave out.
std::string unreadableItems(const std::vector<std::string>& lines);
// "N items ignored": what the project's ignore file left out of the state.
std::string itemsIgnored(std::size_t count);
// A line of the ignore file that could not be read and is left out.
std::string ignoreLineLeftOut(int line, const std::string& problem, const std::string& text);
// " (and N more lines)": where only the first bad line of the ignore file has room.
std::string andMoreIgnoreLines(std::size_t count);
inline constexpr const char* kVersionPart1 = "part 1 of version\r\nIt must be in 0..100";
inline constexpr const char* kVersionPart2 = "part 2 of version\r\nIt must be in 0..100";
inline constexpr const char* kVersionPart3 = "part 3 of version\r\nIt must be alphabetical, numeric, '-', '_'";
std::string versionPart3TooLong(std::size_t maxLength); // "part 3 of version\r\nIt must be at most 20 characters"

// Restoring.
std::string restoreNote(const std::string& archiveFileName);
std::string notAStoredState(const std::string& archive, const std::string& projectName);
std::string busyFiles(const std::vector<std::string>& paths);
std::string archiveCorrupt(const std::string& fileName);
std::string restoreRefused(const std::string& archiveFileName, const std::string& reason);
// A refusal once the present state is stored: also names the archive that holds it.
std::string restoreRefused(const std::string& archiveFileName, const std::string& reason, const std::string& keptIn);
inline constexpr const char* kChosenArchiveGone = "the archive was deleted after it was chosen";
inline constexpr const char* kChosenArchiveReplaced = "the archive was replaced after it was chosen";
std::string restoreUnfinished(const std::string& projectName, const std::string& restored, const std::string& keptIn);
std::string restoreFailed(const std::string& archiveFileName, const std::string& reason, const std::string& keptIn);

// The archive browser of the Tools tab.
inline constexpr const char* kNoCommentFiles = "There are no comment files";
inline constexpr const char* kZipFileNotFound = "Can't find zip file!";

// The options window's message line.
inline constexpr const char* kNoWritePrivilege = "* * *  There is no write privilege  * * *";
std::string noWritePrivilege(const std::string& archiveFolder); // the line and the folder below it
inline constexpr const char* kSettingsMistaken = "* * *  Some Settings are mistaken. Please set them again.  * * *";
// The settings file exists but could not be read (reason: "Permission denied"): the
// defaults are in force.
std::string settingsUnreadable(const std::string& reason);
// Save refused once, so that a file the program could not read is replaced only on purpose.
std::string settingsSaveWouldReplace(const std::string& path, const std::string& reason);
inline constexpr const char* kSetStatus = "* * *  Set project status, please   * * *";

} // namespace kp::msg
