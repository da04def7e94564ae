#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/LongPath.h"
#include "platform/OutputFile.h"

namespace kp {

namespace {

std::optional<FileInfo> infoFromStat(const std::string& name, const struct stat& st) {
    FileInfo fi;
    fi.name = name;
    if (S_ISDIR(st.st_mode)) {
        fi.isFolder = true;
        fi.attributes = kAttrFolder;
    } else if (S_ISREG(st.st_mode)) {
        fi.size = st.st_size;
        fi.attributes = kAttrFile;
    } else {
        return std::nullopt;
    }
    if (!(st.st_mode & S_IWUSR)) fi.attributes |= kAttrReadOnly;
    if (!name.empty() && name[0] == '.') fi.attributes |= kAttrHidden;
    fi.dosTime = toDosDateTime(st.st_mtime);
    fi.modificationTime = std::int64_t(st.st_mtime);
    fi.mode = st.st_mode & 07777;
    fi.device = st.st_dev;
    fi.inode = st.st_ino;
    return fi;
}

// stat (follow) or lstat of a path of any length.
bool statAnyLength(const std::string& path, struct stat& st, bool follow = true) {
    ParentFolder parent;
    return parent.open(path) && ::fstatat(parent.fd(), parent.name(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace

std::optional<FileInfo> statPath(const std::string& path) {
    struct stat st;
    if (!statAnyLength(path, st)) return std::nullopt;
    return infoFromStat(fileNamePart(withoutTrailingSlash(path)), st);
}

std::vector<FileInfo> listFolder(const std::string& folder) {
    std::vector<FileInfo> out;
    const int fd = openAnyLength(folder.empty() ? "/" : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return out;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return out;
    }
    const int dfd = ::dirfd(dir);
    while (dirent* de = ::readdir(dir)) {
        const std::string name = de->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (::fstatat(dfd, de->d_name, &st, 0) != 0) continue; // dangling link, vanished entry
        if (auto fi = infoFromStat(name, st)) out.push_back(std::move(*fi));
    }
    ::closedir(dir);
    return out;
}

FolderHandle::FolderHandle(const std::string& path) {
    m_fd = openAnyLength(path.empty() ? "/" : path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) m_error = errno;
}

FolderHandle::FolderHandle(const FolderHandle& parent, const std::string& name) {
    m_fd = parent.m_fd < 0 ? -1 : ::openat(parent.m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) m_error = parent.m_fd < 0 ? parent.m_error : errno;
}

FolderHandle::~FolderHandle() {
    if (m_fd >= 0) ::close(m_fd);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : m_fd(other.m_fd), m_error(other.m_error) {
    other.m_fd = -1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = other.m_fd;
        m_error = other.m_error;
        other.m_fd = -1;
    }
    return *this;
}

std::vector<FileInfo> FolderHandle::list(std::vector<ReadFailure>& failures) const {
    std::vector<FileInfo> out;
    if (m_fd < 0) return out;
    const int own = ::dup(m_fd); // fdopendir takes the descriptor over
    DIR* dir = own < 0 ? nullptr : ::fdopendir(own);
    if (!dir) {
        failures.push_back({"", errno});
        if (own >= 0) ::close(own);
        return out;
    }
    ::rewinddir(dir);
    for (;;) {
        errno = 0;
        const dirent* de = ::readdir(dir);
        if (!de) {
            if (errno != 0) failures.push_back({"", errno});
            break;
        }
        const std::string name = de->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (::fstatat(m_fd, de->d_name, &st, 0) != 0) {
            // A dangling link, a link loop or an entry that vanished meanwhile is no file to keep.
            if (errno != ENOENT && errno != ELOOP) failures.push_back({name, errno});
            continue;
        }
        if (auto fi = infoFromStat(name, st)) out.push_back(std::move(*fi));
    }
    ::closedir(dir);
    return out;
}

std::string resolvedPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out = real;
    std::free(real);
    return out;
}

EntryKind entryKind(const std::string& path) {
    struct stat st;
    if (!statAnyLength(path, st, false)) return EntryKind::None;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(st.st_mode)) return EntryKind::Link;
    return EntryKind::Other;
}

std::vector<std::string> entryNames(const std::string& folder) {
    std::vector<std::string> names;
    const int fd = openAnyLength(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0) ::close(fd);
        return names;
    }
    while (const dirent* de = ::readdir(dir)) {
        const std::string name = de->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

std::size_t maxNameLength(const std::string& folder) {
    const long n = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return n > 0 ? std::size_t(n) : 255;
}

bool isNameAllowedHere(std::string_view) { return true; } // the parts of a "/" path hold no "/" or NUL

bool existsAsFile(const std::string& path) {
    struct stat st;
    return statAnyLength(path, st) && !S_ISDIR(st.st_mode);
}

bool existsAsFolder(const std::string& path) {
    struct stat st;
    return statAnyLength(path, st) && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat st;
    return statAnyLength(path, st, false);
}

bool isSymbolicLink(const std::string& path) {
    struct stat st;
    return statAnyLength(path, st, false) && S_ISLNK(st.st_mode);
}

std::int64_t freeDiskSpace(const std::string& path) {
    struct statvfs vfs;
    if (::statvfs(path.c_str(), &vfs) != 0) return -1;
    return std::int64_t(vfs.f_bavail) * std::int64_t(vfs.f_frsize);
}

bool openFilesCanBeRenamed() {
    return true;
}

bool fileNamesIgnoreCase(const std::string& path) {
    constexpr unsigned long kMsdos = 0x4d44, kExfat = 0x2011BAB0;
    struct statfs fs;
    if (::statfs(path.c_str(), &fs) != 0) return false;
    const auto type = static_cast<unsigned long>(fs.f_type);
    return type == kMsdos || type == kExfat;
}

std::string currentUserName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER"); user && *user) return user;
    return "Unknown";
}

std::string appDataFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/TarnelSoftware";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/TarnelSoftware";
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) return std::string(pw->pw_dir) + "/.config/TarnelSoftware";
    return {};
}

std::string portablePath(const std::string& userPath) { return userPath; }
std::string drivePart(const std::string&) { return {}; }
bool isAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }
bool isDriveRoot(const std::string& path) { return path == "/"; }

std::string folderPart(const std::string& path) {
    const auto pos = path.rfind('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string fileNamePart(const std::string& path) {
    const auto pos = path.rfind('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string withoutTrailingSlash(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool readWholeFile(const std::string& path, std::string& out) {
    const int fd = openAnyLength(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            errno = err;
            return false;
        }
        if (n == 0) break;
        data.append(buf, std::size_t(n));
    }
    ::close(fd);
    out = std::move(data);
    return true;
}

bool syncFolder(const std::string& folder) {
    const int fd = openAnyLength(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = openAnyLength(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0) err = errno;
    else if (!S_ISREG(st.st_mode)) err = EINVAL;
    else if (std::uint64_t(st.st_size) > maxBytes) err = EFBIG;
    std::string data;
    char buf[65536];
    while (err == 0) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        else if (n == 0) break;
        else if (data.size() + std::size_t(n) > maxBytes) err = EFBIG; // grew while being read
        else data.append(buf, std::size_t(n));
    }
    ::close(fd);
    if (err != 0) {
        errno = err;
        return false;
    }
    out = std::move(data);
    return true;
}

bool writeFileAtomically(const std::string& pathIn, const std::string& data) {
    // Through a link to its target: replacing the link by a file would cut the user's link.
    const std::string resolved = isSymbolicLink(pathIn) ? resolvedPath(pathIn) : std::string();
    const std::string path = resolved.empty() ? pathIn : resolved;
    // A name of its own, so that two saves at once never write into one temporary file.
    OutputFile aside;
    return aside.createUnique(folderPart(path), fileNamePart(path) + ".part-") && aside.setMode(0644) &&
           aside.write(data.data(), data.size()) && aside.flush() && aside.commit(path, true);
}

bool createNewFile(const std::string& path) {
    const int fd = openAnyLength(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool makeFolder(const std::string& path) {
    ParentFolder parent;
    if (!parent.open(path)) return false;
    if (::mkdirat(parent.fd(), parent.name(), 0777) == 0) return true;
    return errno == EEXIST && existsAsFolder(path);
}

bool makeFolders(const std::string& path) {
    if (path.empty() || existsAsFolder(path)) return true;
    const std::string parent = withoutTrailingSlash(folderPart(withoutTrailingSlash(path)));
    if (!parent.empty() && parent != path && !makeFolders(parent)) return false;
    return makeFolder(path);
}

namespace {

template <typename Change>
bool keepingParentTime(const std::string& path, Change change) {
    const std::string parent = folderPart(withoutTrailingSlash(path));
    struct stat before;
    const bool known = !parent.empty() && ::stat(parent.c_str(), &before) == 0;
    const bool done = change();
    if (done && known) {
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ::utimensat(AT_FDCWD, parent.c_str(), times, 0);
    }
    return done;
}

} // namespace

Result<void> makeFolderKeepingParentTime(const std::string& path) {
    if (existsAsFolder(path)) return {};
    if (keepingParentTime(path, [&] { return makeFolder(path); })) return {};
    return Failure{FailureKind::WriteFailed, errorText(errno), path};
}

bool removeFolderKeepingParentTime(const std::string& path) {
    return keepingParentTime(path, [&] { return removeEmptyFolder(path); });
}

bool removeFile(const std::string& path) {
    ParentFolder parent;
    return parent.open(path) && ::unlinkat(parent.fd(), parent.name(), 0) == 0;
}

bool removeEmptyFolder(const std::string& path) {
    ParentFolder parent;
    return parent.open(path) && ::unlinkat(parent.fd(), parent.name(), AT_REMOVEDIR) == 0;
}

bool setModificationTime(const std::string& path, std::time_t t) {
    const timespec times[2] = {{t, 0}, {t, 0}};
    ParentFolder parent;
    return parent.open(path) && ::utimensat(parent.fd(), parent.name(), times, 0) == 0;
}

bool setPermissions(const std::string& path, std::uint32_t mode) {
    ParentFolder parent;
    return parent.open(path) && ::fchmodat(parent.fd(), parent.name(), mode_t(mode), 0) == 0;
}

int readProblem(const std::string& path) {
    const int fd = openAnyLength(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

std::string errorText(int err) {
    if (err == ENOSPC) return "the disk is full";
    if (err == EDQUOT) return "the disk quota is exhausted";
    return std::strerror(err);
}

} // namespace kp
