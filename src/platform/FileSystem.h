// The program's only door to the file system. Paths are UTF-8 with "/" separators, of any
// length (see LongPath.h).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DosTime.h"
#include "platform/Result.h"

namespace kp {

// Attribute bits of a listing line.
enum Attribute : std::uint32_t {
    kAttrReadOnly = 1,  // no owner write permission
    kAttrHidden = 2,    // the name starts with "."
    kAttrFolder = 16,
    kAttrFile = 32,     // a regular file
};

struct FileInfo {
    std::string name;       // the entry's own name, as the file system spells it
    bool isFolder = false;
    DosDateTime dosTime = 0;
    std::int64_t size = 0;  // 0 for folders
    std::uint32_t attributes = 0;
    std::uint32_t mode = 0; // Unix permission bits
    std::int64_t modificationTime = 0; // UTC seconds
    // The file's identity (device and inode; volume serial and file id on Windows), so that a
    // folder reached twice through links is recognised.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Looks a path up, following symbolic links. Empty for anything that is neither a regular
// file nor a folder (dangling links, FIFOs, sockets, devices): reading a FIFO would block a run.
std::optional<FileInfo> statPath(const std::string& path);

// The entries of a folder (without "." and ".."), in the order the file system returns
// them, with links followed and everything statPath refuses left out. An unreadable
// folder gives no entries.
std::vector<FileInfo> listFolder(const std::string& folder);

// An entry that exists but could not be read, and why (an errno value).
struct ReadFailure {
    std::string name;
    int error = 0;
};

// An open folder, listed through its descriptor and opening its subfolders relative to it,
// so that a walk reaches paths of any length (beyond PATH_MAX). Move-only.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(const std::string& path);
    FolderHandle(const FolderHandle& parent, const std::string& name);
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;

    int error() const { return m_error; } // 0 when the folder is open
    // The entries as listFolder gives them. Entries that exist but cannot be looked up
    // (other than vanished entries and dangling links) go to failures; a listing that breaks
    // off midway adds a failure with an empty name.
    std::vector<FileInfo> list(std::vector<ReadFailure>& failures) const;

private:
#ifdef _WIN32
    std::string m_path; // Windows lists a folder by its path
#else
    int m_fd = -1;
#endif
    int m_error = 0;
};

// The path with every symbolic link, "." and ".." resolved (realpath); empty when it cannot be.
std::string resolvedPath(const std::string& path);

// What a path names itself, links not followed.
enum class EntryKind { None, File, Folder, Link, Other }; // Other: FIFO, socket, device
EntryKind entryKind(const std::string& path);
// Every name in a folder but "." and "..", whatever it names; empty when it cannot be read.
std::vector<std::string> entryNames(const std::string& folder);
// The longest file name the file system holding folder accepts, in bytes.
std::size_t maxNameLength(const std::string& folder);
// Whether this system can give a file or folder that name. Linux takes any name without "/"
// and NUL; Windows refuses \ : * ? " < > |, control characters, a trailing dot or blank,
// and device names such as "CON" or "nul.txt". A name that comes from an archive made on
// another system must be checked before anything is replaced for it.
bool isNameAllowedHere(std::string_view name);

bool existsAsFile(const std::string& path);   // exists and is not a folder
bool existsAsFolder(const std::string& path);
bool pathExists(const std::string& path);     // anything at all, links not followed
bool isSymbolicLink(const std::string& path);

// Free bytes of the volume holding path that this user may fill (statvfs f_bavail * f_frsize,
// without the blocks kept for the superuser), -1 on failure.
std::int64_t freeDiskSpace(const std::string& path);

// Whether the file system holding path treats "A.txt" and "a.txt" as one name (FAT, exFAT).
// Linux's own file systems tell them apart.
bool fileNamesIgnoreCase(const std::string& path);

// Whether a file being written may be opened for reading meanwhile, and renamed while it is
// open: Linux allows both, Windows neither without sharing both handles ask for.
bool openFilesCanBeRenamed();

// The account name of the effective user, else $USER, else "Unknown".
std::string currentUserName();

// $XDG_CONFIG_HOME (default ~/.config) + "/TarnelSoftware"; empty when neither is known.
std::string appDataFolder();

// A path as the user wrote it, in the program's form: Windows's "\" separators become "/"
// ("D:\work\Site" -> "D:/work/Site"); POSIX paths are already in that form.
std::string portablePath(const std::string& userPath);
// The drive part of a path: "D:" of "D:/work", "//server/share" of "//server/share/dir" on
// Windows; "" on POSIX, where "/" plays the drive's root.
std::string drivePart(const std::string& path);
// Whether a path is absolute: on Windows it has a drive part and its root ("D:/x", not the
// drive-relative "D:x"); on POSIX it begins with "/".
bool isAbsolutePath(const std::string& path);
// Whether a path names the root of its drive ("/", "D:/", "//server/share/").
bool isDriveRoot(const std::string& path);

// Path pieces, "/" being the separator and "" the drive part of every absolute POSIX path.
std::string folderPart(const std::string& path); // up to and including the last "/"
std::string fileNamePart(const std::string& path);
std::string withoutTrailingSlash(const std::string& path); // keeps "/" itself
std::string joinPath(const std::string& folder, const std::string& name);

// Small file operations; each returns false (and leaves errno) on failure.
bool readWholeFile(const std::string& path, std::string& out);
// Reads a regular file of at most maxBytes; false (errno set) for anything else: a FIFO or
// device would block the run or never end, a huge file would exhaust memory (EFBIG).
bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out);
// Write aside (a temporary name of its own beside path), fsync, rename over path, fsync the
// folder. A path that is a symbolic link is written through to the file it names.
bool writeFileAtomically(const std::string& path, const std::string& data);
// Creates an empty file that must not exist yet (the write probe); false if it exists or cannot be made.
bool createNewFile(const std::string& path);
bool makeFolder(const std::string& path);          // one level; true if it exists afterwards
bool makeFolders(const std::string& path);         // all levels
// Creating or removing the archive folder is the program's own bookkeeping, not a change
// of the project: the folder that holds it keeps its modification time.
Result<void> makeFolderKeepingParentTime(const std::string& path); // WriteFailed: the system's reason, the path
bool removeFolderKeepingParentTime(const std::string& path);
bool removeFile(const std::string& path);
bool removeEmptyFolder(const std::string& path);
bool syncFolder(const std::string& folder);
bool setModificationTime(const std::string& path, std::time_t t); // access and modification
// Why the file cannot be opened for reading (an errno value), or 0 when it can.
int readProblem(const std::string& path);
bool setPermissions(const std::string& path, std::uint32_t mode);  // permission and special bits
std::string errorText(int err); // strerror, with "the disk is full" spelled out

// The same operations for callers above the platform, which never read errno: a failure
// carries the system's reason as its text and the path as its detail.
Result<void> saveFileAtomically(const std::string& path, const std::string& data); // WriteFailed
Result<void> createFolders(const std::string& path);                               // WriteFailed
// readRegularFile's text. Refused: "it is over N MiB", "it is not a regular file", or the
// system's reason.
Result<std::string> readSmallFile(const std::string& path, std::size_t maxBytes);

} // namespace kp
