#include "store/Messages.h"

namespace kp::msg {

namespace {
constexpr const char* kCrLf = "\r\n";
}

std::string protectedName(const std::string& name) { return "\" " + name + " \"  is a protected name. "; }

std::string fileNamedLikeItsFolder(const std::string& name) {
    return "The file \" " + name + " \" has the name of the folder that holds it:\r\nits archives would be taken "
           "for the folder's. Rename it, or store the folder.";
}

std::string clockWentBack(const std::string& now, const std::string& latest) {
    return "Can't create the new archive, because\r\n\r\nthe system time " + now + " is less" + kCrLf + kCrLf +
           "than the time of the last archives: " + latest;
}

std::string clockOutOfRange(const std::string& now) {
    return "Can't create the new archive, because\r\n\r\nthe system time " + now +
           " is outside the dates archive names can hold\r\n\r\n(2 August 2008 to 31 December 2099).";
}

std::string fileTooLarge(const std::string& path) {
    return "Can't create the archive, because the size of the file\r\n\r\n " + path + " " + kCrLf + kCrLf +
           "is over than 256 Mb. Please, split it fisrt.";
}

std::string archiveFolderNotCreated(const std::string& folder, const std::string& reason) {
    return "Can't create the archive folder\r\n\r\n " + folder + "\r\n\r\n" + reason;
}

std::string archiveExists(const std::string& fileName) {
    return "Can't create the archive, because the file\r\n\r\n " + fileName + " \r\n\r\nexists already.";
}

std::string primaryUnreadable(const std::string& fileName, const std::string& reason, bool storing) {
    return "The primary archive " + fileName + " can't be read:\r\n" + reason +
           (storing ? "\r\n\r\nThe project is stored as a full archive." : "");
}

std::string logTooLarge(const std::string& fileName) {
    return "Can't create the archive, because the project log in\r\n\r\n " + fileName +
           " \r\n\r\nis over than 256 Mb.";
}

std::string repositoryCopyFailed(const std::vector<std::string>& fileNames) {
    std::string text = "Kestrelpad message :\r\nThese version archives could not be copied into the folder "
                       "#tarnel/repository;\r\nthey stay in the archive folder:\r\n\r\n";
    for (const auto& name : fileNames) text += name + kCrLf;
    return text;
}

std::string archiveNotCreated(const std::string& fileName, const std::string& reason) {
    return "Can't create the archive " + fileName + "\r\n\r\n" + reason;
}

std::string checksumMismatch(const std::vector<std::string>& lines, bool more) {
    std::string text = "Kestrelpad message :\r\nThe checksum of some files doesn't correspond to the checksum of the "
                       "archive items\r\n\r\n";
    for (const auto& l : lines) text += l + kCrLf;
    if (more) text += std::string("..") + kCrLf;
    text += std::string(" ") + kCrLf;
    return text + "Maybe they are busy by the another applications." + kCrLf + "Close these applications, please.";
}

std::string archiveDamaged(const std::string& fileName, const std::vector<std::string>& files) {
    std::string text = "Kestrelpad message :\r\nThe archive " + fileName +
                       " is damaged: it could not give back these files:\r\n\r\n";
    for (std::size_t i = 0; i < files.size() && i < 10; ++i) text += files[i] + kCrLf;
    if (files.size() > 10) text += std::string("..") + kCrLf;
    return text + kCrLf + "The new archive was written again from the project's files alone.";
}

std::string primaryChanged(const std::string& fileName) {
    return "Kestrelpad message :\r\nThe primary archive " + fileName +
           " was deleted or replaced while the project was stored.\r\nThe project is stored as a full archive.";
}

std::string versionPartInvalid(const std::string& what) { return "Check value for " + what; }

std::string versionPart3TooLong(std::size_t maxLength) {
    return "part 3 of version\r\nIt must be at most " + std::to_string(maxLength) + " characters";
}

std::string itemsIgnored(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " item ignored" : " items ignored");
}

std::string ignoreLineLeftOut(int line, const std::string& problem, const std::string& text) {
    return std::string(".kpadignore line ") + std::to_string(line) + " is left out, " + problem + ": " + text;
}

std::string andMoreIgnoreLines(std::size_t count) {
    return " (and " + std::to_string(count) + (count == 1 ? " more line)" : " more lines)");
}

std::string unreadableItems(const std::vector<std::string>& lines) {
    std::string text = "Kestrelpad message :\r\nThese files and folders could not be read; the stored state lacks "
                       "them:\r\n\r\n";
    for (const auto& l : lines) text += l + kCrLf;
    return text;
}

std::string restoreNote(const std::string& archiveFileName) {
    return "After this archive creation, the archive\r\n " + archiveFileName + " " + kCrLf + "was restored." + kCrLf +
           kCrLf;
}

std::string notAStoredState(const std::string& archive, const std::string& projectName) {
    return "The archive " + archive + " is not a stored state of the project " + projectName + " (see kpad list).";
}

std::string busyFiles(const std::vector<std::string>& paths) {
    std::string text = "Kestrelpad message.\r\nSome files are busy by the another applications:\r\n\r\n";
    for (const auto& path : paths) text += path + kCrLf;
    return text + kCrLf + "Close these applications before restoring, please.";
}

std::string archiveCorrupt(const std::string& fileName) {
    return "Kestrelpad message :\r\nThe archive " + fileName + " is corrupt." + kCrLf +
           "Try to restore another archive.";
}

std::string restoreRefused(const std::string& archiveFileName, const std::string& reason) {
    return "Kestrelpad message :\r\nThe project can't be restored from " + archiveFileName + ":\r\n" + reason +
           ".\r\n\r\nNothing in the project was changed.";
}

std::string restoreRefused(const std::string& archiveFileName, const std::string& reason, const std::string& keptIn) {
    return restoreRefused(archiveFileName, reason) + " Its present state is stored in the archive\r\n " + keptIn;
}

std::string restoreUnfinished(const std::string& projectName, const std::string& restored, const std::string& keptIn) {
    return "Kestrelpad message :\r\nThe restore of the project " + projectName + " from the archive " + restored +
           " was interrupted;\r\nthe project may be incomplete.\r\n\r\nThe state before the restore is kept in the "
           "archive\r\n " + keptIn;
}

std::string restoreFailed(const std::string& archiveFileName, const std::string& reason, const std::string& keptIn) {
    return "Kestrelpad message :\r\nThe project could not be restored from " + archiveFileName + ":\r\n" + reason +
           "\r\n\r\nThe state before the restore is kept in the archive\r\n " + keptIn;
}

std::string settingsUnreadable(const std::string& reason) {
    return "* * *  setting.ini can't be read (" + reason + "); the defaults are in force.  * * *";
}

std::string settingsSaveWouldReplace(const std::string& path, const std::string& reason) {
    return "The settings file\r\n\r\n " + path + "\r\n\r\ncan't be read (" + reason +
           "), so saving would replace what it holds.\r\nPress Save again to replace it.";
}

std::string noWritePrivilege(const std::string& archiveFolder) {
    return std::string(kNoWritePrivilege) + kCrLf + archiveFolder;
}

} // namespace kp::msg
