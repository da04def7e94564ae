#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/Text.h"
#include "platform/windows/Handle.h"
#include "platform/windows/LongPath.h"

namespace kp {

using win::fail;
using win::widePath;

namespace {

constexpr DWORD kListedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::time_t timeOf(const FILETIME& ft) {
    const std::uint64_t ticks = (std::uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return std::time_t((std::int64_t(ticks) - 116444736000000000LL) / 10000000LL);
}

FILETIME fileTimeOf(std::time_t t) {
    const std::uint64_t ticks = std::uint64_t(std::int64_t(t) * 10000000LL + 116444736000000000LL);
    return {DWORD(ticks), DWORD(ticks >> 32)};
}

// The Unix mode a Windows file is given in the archive, so that a state made here restores
// on Linux with ordinary permissions: write permission follows the read-only attribute.
std::uint32_t modeOf(bool folder, DWORD attributes) {
    std::uint32_t mode = folder ? 0755 : 0644;
    if (attributes & FILE_ATTRIBUTE_READONLY) mode &= ~0222u;
    return mode;
}

FileInfo infoOf(std::string name, bool folder, DWORD attributes, const FILETIME& written, std::uint64_t size) {
    FileInfo fi;
    fi.name = std::move(name);
    fi.isFolder = folder;
    fi.size = folder ? 0 : std::int64_t(size);
    fi.attributes = (attributes & kListedAttributes) | (folder ? kAttrFolder : kAttrFile);
    fi.modificationTime = timeOf(written);
    fi.dosTime = toDosDateTime(std::time_t(fi.modificationTime));
    fi.mode = modeOf(folder, attributes);
    return fi;
}

// Opens what a path names, following links, for reading its attributes only: never denies
// anybody else's open.
win::Handle openForAttributes(const std::string& path) {
    return win::Handle(CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Everything statPath gives, from an open handle. Only a folder gets its identity (the
// 128-bit file id where the volume has one, else the classic file index, with the volume's
// serial number): the walk compares folders with their ancestors, and asking the volume for
// its serial number costs a round trip that a file does not need.
std::optional<FileInfo> infoOfHandle(HANDLE h, std::string name) {
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard))
        return fail(), std::nullopt;
    const bool folder = standard.Directory;
    if (basic.FileAttributes & FILE_ATTRIBUTE_DEVICE) return std::nullopt;
    const FILETIME written{DWORD(basic.LastWriteTime.QuadPart), DWORD(std::uint64_t(basic.LastWriteTime.QuadPart) >> 32)};
    FileInfo fi = infoOf(std::move(name), folder, basic.FileAttributes, written, std::uint64_t(standard.EndOfFile.QuadPart));
    if (!folder) return fi;
    FILE_ID_INFO id{};
    BY_HANDLE_FILE_INFORMATION bh;
    if (GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id)) {
        std::uint64_t low = 0, high = 0;
        std::memcpy(&low, id.FileId.Identifier, 8);
        std::memcpy(&high, id.FileId.Identifier + 8, 8);
        fi.device = id.VolumeSerialNumber;
        fi.inode = low ^ (high * 0x9E3779B97F4A7C15ull);
    } else if (GetFileInformationByHandle(h, &bh)) {
        fi.device = bh.dwVolumeSerialNumber;
        fi.inode = (std::uint64_t(bh.nFileIndexHigh) << 32) | bh.nFileIndexLow;
    }
    return fi;
}

bool isDotName(const wchar_t* n) { return n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)); }

// Calls visit(entry) for every entry of a folder but "." and ".."; false (errno set) when
// the folder cannot be listed or the listing breaks off.
template <typename Visit>
bool forEachEntry(const std::string& folder, Visit visit) {
    const std::wstring pattern = widePath(joinPath(folder, "*"));
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return fail();
    bool ok = true;
    do {
        if (!isDotName(fd.cFileName)) visit(fd);
    } while (FindNextFileW(find, &fd));
    if (GetLastError() != ERROR_NO_MORE_FILES) ok = fail();
    FindClose(find);
    return ok;
}

// One listing entry. Plain files come straight from the folder's listing. A link is looked up
// through to its target (a dangling one is left out); a folder is opened for its identity,
// which the walk compares with its ancestors.
std::optional<FileInfo> infoOfEntry(const std::string& folder, const WIN32_FIND_DATAW& fd, int& error) {
    error = 0;
    const std::string name = win::toUtf8(fd.cFileName);
    const bool folderEntry = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!folderEntry && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return infoOf(name, false, fd.dwFileAttributes, fd.ftLastWriteTime,
                      (std::uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
    win::Handle h = openForAttributes(joinPath(folder, name));
    if (!h) {
        const DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND && e != ERROR_CANT_RESOLVE_FILENAME) {
            fail(e);
            error = errno;
        }
        return std::nullopt;
    }
    return infoOfHandle(h.get(), name);
}

} // namespace

std::optional<FileInfo> statPath(const std::string& path) {
    win::Handle h = openForAttributes(path);
    if (!h) return fail(), std::nullopt;
    return infoOfHandle(h.get(), fileNamePart(withoutTrailingSlash(path)));
}

std::vector<FileInfo> listFolder(const std::string& folder) {
    std::vector<FileInfo> out;
    forEachEntry(folder, [&](const WIN32_FIND_DATAW& fd) {
        int error = 0;
        if (auto fi = infoOfEntry(folder, fd, error)) out.push_back(std::move(*fi));
    });
    return out;
}

FolderHandle::FolderHandle(const std::string& path) : m_path(path) {
    const DWORD a = GetFileAttributesW(widePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) m_error = (fail(), errno);
    else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) m_error = ENOTDIR;
}

FolderHandle::FolderHandle(const FolderHandle& parent, const std::string& name)
    : FolderHandle(parent.m_error ? std::string() : joinPath(parent.m_path, name)) {
    if (parent.m_error) m_error = parent.m_error;
}

FolderHandle::~FolderHandle() = default;
FolderHandle::FolderHandle(FolderHandle&& other) noexcept = default;
FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept = default;

std::vector<FileInfo> FolderHandle::list(std::vector<ReadFailure>& failures) const {
    std::vector<FileInfo> out;
    if (m_error) return out;
    const bool complete = forEachEntry(m_path, [&](const WIN32_FIND_DATAW& fd) {
        int error = 0;
        if (auto fi = infoOfEntry(m_path, fd, error)) out.push_back(std::move(*fi));
        else if (error) failures.push_back({win::toUtf8(fd.cFileName), error});
    });
    if (!complete) failures.push_back({"", errno});
    return out;
}

std::string resolvedPath(const std::string& path) {
    win::Handle h = openForAttributes(path);
    if (!h) return {};
    std::wstring buf(32768, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h.get(), buf.data(), DWORD(buf.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= buf.size()) n = GetFullPathNameW(widePath(path).c_str(), DWORD(buf.size()), buf.data(), nullptr);
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    return withoutTrailingSlash(win::programPath(buf));
}

EntryKind entryKind(const std::string& path) {
    const DWORD a = GetFileAttributesW(widePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return EntryKind::None;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    if (a & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
    return EntryKind::File;
}

std::vector<std::string> entryNames(const std::string& folder) {
    std::vector<std::string> names;
    forEachEntry(folder, [&](const WIN32_FIND_DATAW& fd) { names.push_back(win::toUtf8(fd.cFileName)); });
    return names;
}

std::size_t maxNameLength(const std::string& folder) {
    // Windows counts a name's length in UTF-16 units, the program in UTF-8 bytes: allow the
    // bytes of the longest name there could be, so that no name that fits is refused.
    (void)folder;
    return 255 * 3;
}

bool isNameAllowedHere(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
    for (const char c : name)
        if ((unsigned char)c < 32 || std::strchr("\\/:*?\"<>|", c)) return false;
    // Device names stay devices whatever their extension: "nul.txt" is NUL.
    const std::string stem = lowerUtf8(name.substr(0, name.find('.')));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (const char* d : kDevices)
        if (stem == d) return false;
    return !(stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) && stem[3] >= '1' && stem[3] <= '9');
}

namespace {

// Whether a path names a folder (true) or a file (false), links followed; empty when it
// names nothing. The attributes answer at once unless the path is a link.
std::optional<bool> isFolderPath(const std::string& path) {
    const DWORD a = GetFileAttributesW(widePath(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) return bool(a & FILE_ATTRIBUTE_DIRECTORY);
    const auto fi = statPath(path);
    if (!fi) return std::nullopt;
    return fi->isFolder;
}

} // namespace

bool existsAsFile(const std::string& path) {
    const auto folder = isFolderPath(path);
    return folder && !*folder;
}

bool existsAsFolder(const std::string& path) {
    const auto folder = isFolderPath(path);
    return folder && *folder;
}

bool pathExists(const std::string& path) { return GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool isSymbolicLink(const std::string& path) { return entryKind(path) == EntryKind::Link; }

std::int64_t freeDiskSpace(const std::string& path) {
    ULARGE_INTEGER callerFree;
    std::wstring folder = widePath(path);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    if (!GetDiskFreeSpaceExW(folder.c_str(), &callerFree, nullptr, nullptr)) return -1;
    return std::int64_t(callerFree.QuadPart);
}

bool openFilesCanBeRenamed() {
    return false;
}

bool fileNamesIgnoreCase(const std::string& path) {
    // NTFS and FAT as Windows uses them by default ignore case; a folder with
    // case-sensitivity switched on (for WSL) is the rare exception.
    (void)path;
    return true;
}

std::string currentUserName() {
    wchar_t name[257];
    DWORD n = 257;
    if (GetUserNameW(name, &n) && n > 1) return win::toUtf8(std::wstring_view(name, n - 1));
    return "Unknown";
}

std::string appDataFolder() {
    PWSTR local = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)) && local)
        out = win::programPath(local) + "/TarnelSoftware";
    CoTaskMemFree(local);
    return out;
}

std::string portablePath(const std::string& userPath) {
    std::string p = userPath;
    for (auto& c : p)
        if (c == '\\') c = '/';
    return p;
}

std::string drivePart(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.size() > 2 && path[0] == '/' && path[1] == '/') {
        // Up to the "/" that ends the share name: "//server/share" of "//server/share/dir".
        const auto serverEnd = path.find('/', 2);
        if (serverEnd == std::string::npos || serverEnd == 2) return {};
        const auto shareEnd = path.find('/', serverEnd + 1);
        if (shareEnd == serverEnd + 1) return {};
        return path.substr(0, shareEnd);
    }
    return {};
}

bool isAbsolutePath(const std::string& path) {
    const std::string drive = drivePart(path);
    if (drive.empty()) return false;
    return drive.size() > 2 || (path.size() > 2 && path[2] == '/'); // a share is always absolute
}

bool isDriveRoot(const std::string& path) {
    const std::string drive = drivePart(path);
    return !drive.empty() && (path == drive + "/" || (drive.size() > 2 && path == drive));
}

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
    // "D:/" keeps its slash: "D:" alone would be the drive's current folder.
    while (p.size() > 1 && p.back() == '/' && !(p.size() == 3 && p[1] == ':')) p.pop_back();
    return p;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

namespace {

win::Handle openForReading(const std::string& path) {
    // Shared for reading and writing: reading a file must not stop its own program from working.
    return win::Handle(CreateFileW(widePath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool readAll(HANDLE h, std::size_t maxBytes, std::string& out) {
    std::string data;
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) return fail();
        if (n == 0) break;
        if (data.size() + n > maxBytes) {
            errno = EFBIG;
            return false;
        }
        data.append(buf, n);
    }
    out = std::move(data);
    return true;
}

bool writeAll(HANDLE h, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD n = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!WriteFile(h, data.data() + done, chunk, &n, nullptr)) return fail();
        done += n;
    }
    return true;
}

} // namespace

bool readWholeFile(const std::string& path, std::string& out) {
    win::Handle h = openForReading(path);
    if (!h) return fail();
    return readAll(h.get(), std::string().max_size(), out);
}

bool readRegularFile(const std::string& path, std::size_t maxBytes, std::string& out) {
    // A folder cannot be opened for reading here; it must read as "not a regular file", as on
    // Linux, not as the access refusal Windows gives for it.
    const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EINVAL;
        return false;
    }
    win::Handle h = openForReading(path);
    if (!h) return fail();
    if (GetFileType(h.get()) != FILE_TYPE_DISK) {
        errno = EINVAL;
        return false;
    }
    LARGE_INTEGER size;
    if (GetFileSizeEx(h.get(), &size) && std::uint64_t(size.QuadPart) > maxBytes) {
        errno = EFBIG;
        return false;
    }
    return readAll(h.get(), maxBytes, out);
}

bool writeFileAtomically(const std::string& pathIn, const std::string& data) {
    const std::string resolved = isSymbolicLink(pathIn) ? resolvedPath(pathIn) : std::string();
    const std::string path = resolved.empty() ? pathIn : resolved;
    // A name of its own, so that two saves at once never write into one temporary file.
    const std::string aside = path + ".part-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(GetTickCount64());
    win::Handle h(CreateFileW(widePath(aside).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return fail();
    if (!writeAll(h.get(), data) || !FlushFileBuffers(h.get())) {
        const int err = errno ? errno : EIO;
        h.reset();
        DeleteFileW(widePath(aside).c_str());
        errno = err;
        return false;
    }
    h.reset();
    if (!win::moveOver(aside, path)) {
        const int err = errno;
        DeleteFileW(widePath(aside).c_str());
        errno = err;
        return false;
    }
    return true;
}

bool createNewFile(const std::string& path) {
    win::Handle h(CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return h ? true : fail();
}

bool makeFolder(const std::string& path) {
    if (CreateDirectoryW(widePath(path).c_str(), nullptr)) return true;
    const DWORD e = GetLastError();
    if (e == ERROR_ALREADY_EXISTS && existsAsFolder(path)) return true;
    return fail(e);
}

bool makeFolders(const std::string& path) {
    if (path.empty() || existsAsFolder(path)) return true;
    const std::string parent = withoutTrailingSlash(folderPart(withoutTrailingSlash(path)));
    if (!parent.empty() && parent != path && !makeFolders(parent)) return false;
    return makeFolder(path);
}

namespace {

win::Handle openFolderForTimes(const std::string& path) {
    return win::Handle(CreateFileW(widePath(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

template <typename Change>
bool keepingParentTime(const std::string& path, Change change) {
    const std::string parent = folderPart(withoutTrailingSlash(path));
    FILETIME accessed{}, written{};
    win::Handle h = parent.empty() ? win::Handle() : openFolderForTimes(parent);
    const bool known = h && GetFileTime(h.get(), nullptr, &accessed, &written);
    const bool done = change();
    if (done && known) SetFileTime(h.get(), nullptr, &accessed, &written);
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
    const std::wstring w = widePath(path);
    if (DeleteFileW(w.c_str())) return true;
    // A read-only file is the user's own to replace: a restore deletes it like any other.
    const DWORD a = GetFileAttributesW(w.c_str());
    if (GetLastError() == ERROR_ACCESS_DENIED || (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))) {
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) &&
            SetFileAttributesW(w.c_str(), a & ~FILE_ATTRIBUTE_READONLY)) {
            if (DeleteFileW(w.c_str())) return true;
            const DWORD e = GetLastError();
            SetFileAttributesW(w.c_str(), a);
            return fail(e);
        }
    }
    return fail();
}

bool removeEmptyFolder(const std::string& path) { return RemoveDirectoryW(widePath(path).c_str()) ? true : fail(); }

bool syncFolder(const std::string&) {
    // MoveFileExW with MOVEFILE_WRITE_THROUGH has already made the rename durable.
    return true;
}

bool setModificationTime(const std::string& path, std::time_t t) {
    win::Handle h = openFolderForTimes(path);
    if (!h) return fail();
    const FILETIME ft = fileTimeOf(t);
    return SetFileTime(h.get(), nullptr, &ft, &ft) ? true : fail();
}

int readProblem(const std::string& path) {
    win::Handle h = openForReading(path);
    return h ? 0 : (fail(), errno);
}

bool setPermissions(const std::string& path, std::uint32_t mode) {
    // Windows keeps one permission bit of its own: read-only, for a file without owner write.
    const std::wstring w = widePath(path);
    const DWORD a = GetFileAttributesW(w.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return fail();
    if (a & FILE_ATTRIBUTE_DIRECTORY) return true; // a read-only folder means something else there
    const DWORD wanted = (mode & 0200) ? (a & ~FILE_ATTRIBUTE_READONLY) : (a | FILE_ATTRIBUTE_READONLY);
    return wanted == a || SetFileAttributesW(w.c_str(), wanted) ? true : fail();
}

std::string errorText(int err) {
    if (err == ENOSPC) return "the disk is full";
    if (const DWORD code = win::lastWin32ErrorFor(err)) {
        wchar_t* text = nullptr;
        const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                           FORMAT_MESSAGE_IGNORE_INSERTS,
                                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::string out = n ? win::toUtf8(std::wstring_view(text, n)) : std::string();
        LocalFree(text);
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' '))
            out.pop_back();
        if (!out.empty()) return out;
    }
    return std::strerror(err);
}

} // namespace kp
