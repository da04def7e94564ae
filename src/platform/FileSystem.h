// The program's only door to the file system. Paths are UTF-8 with "/" separators, of any
// length (see LongPath.h).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/DosTime.h"

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
    dev_t device = 0;
    ino_t inode = 0;
};

// Looks a path up, following symbolic links. Empty for anything that is neither a regular
// file nor a folder (dangling links, FIFOs, sockets, devices): reading a FIFO would block a run.
std::optional<FileInfo> statPath(const std::string& path);

// The entries of a folder (without "." and ".."), in the order the file system returns
// them, with links followed and everything statPath refuses left out. An unreadable
// folder gives no entries.
std::vector<FileInfo> listFolder(const std::string& folder);

bool existsAsFile(const std::string& path);   // exists and is not a folder
bool existsAsFolder(const std::string& path);
bool pathExists(const std::string& path);     // anything at all, links not followed
bool isSymbolicLink(const std::string& path);

// Total free bytes of the volume holding path (statvfs f_bfree * f_frsize), -1 on failure.
std::int64_t freeDiskSpace(const std::string& path);

// The account name of the effective user, else $USER, else "Unknown".
std::string currentUserName();

// $XDG_CONFIG_HOME (default ~/.config) + "/TarnelSoftware"; empty when neither is known.
std::string appDataFolder();

// Path pieces, "/" being the separator and "" the drive part of every absolute path.
std::string folderPart(const std::string& path); // up to and including the last "/"
std::string fileNamePart(const std::string& path);
std::string withoutTrailingSlash(const std::string& path); // keeps "/" itself
std::string joinPath(const std::string& folder, const std::string& name);

// Small file operations; each returns false (and leaves errno) on failure.
bool readWholeFile(const std::string& path, std::string& out);
// Write aside (path + ".part"), fsync, rename over path, fsync the folder.
bool writeFileAtomically(const std::string& path, const std::string& data);
// Creates an empty file that must not exist yet (the write probe); false if it exists or cannot be made.
bool createNewFile(const std::string& path);
bool makeFolder(const std::string& path);          // one level; true if it exists afterwards
bool makeFolders(const std::string& path);         // all levels
// Creating or removing the archive folder is the program's own bookkeeping, not a change
// of the project: the folder that holds it keeps its modification time.
bool makeFolderKeepingParentTime(const std::string& path);
bool removeFolderKeepingParentTime(const std::string& path);
bool removeFile(const std::string& path);
bool removeEmptyFolder(const std::string& path);
bool syncFolder(const std::string& folder);
bool setModificationTime(const std::string& path, std::time_t t); // access and modification
bool setPermissions(const std::string& path, std::uint32_t mode);  // permission and special bits
std::string errorText(int err); // strerror, with "the disk is full" spelled out

} // namespace kp
