#include "platform/OutputFile.h"

#include <cerrno>
#include <random>
#include <utility>
#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/windows/Handle.h"
#include "platform/windows/LongPath.h"

namespace kp {

namespace {

HANDLE createNew(const std::string& path) {
    // Others may read the file while it is written (a check of the archive), never write it.
    return CreateFileW(win::widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool writeAllAt(HANDLE h, const char* p, std::size_t n, OVERLAPPED* at, std::uint64_t offset) {
    while (n > 0) {
        DWORD done = 0;
        if (at) {
            at->Offset = DWORD(offset);
            at->OffsetHigh = DWORD(offset >> 32);
        }
        if (!WriteFile(h, p, DWORD(std::min<std::size_t>(n, 1u << 30)), &done, at)) return win::fail();
        p += done;
        offset += done;
        n -= done;
    }
    return true;
}

} // namespace

OutputFile::~OutputFile() { discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, kNoFile)), m_path(std::move(other.m_path)),
      m_pending(std::exchange(other.m_pending, false)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_fd = std::exchange(other.m_fd, kNoFile);
        m_path = std::move(other.m_path);
        m_pending = std::exchange(other.m_pending, false);
    }
    return *this;
}

bool OutputFile::adopt(NativeFile fd, std::string path) {
    discard();
    m_fd = fd;
    m_path = std::move(path);
    m_pending = true;
    return true;
}

bool OutputFile::create(const std::string& asidePath) {
    if (!DeleteFileW(win::widePath(asidePath).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return win::fail();
    HANDLE h = createNew(asidePath);
    if (h == INVALID_HANDLE_VALUE) return win::fail();
    return adopt(h, asidePath);
}

bool OutputFile::createInPlace(const std::string& path) {
    HANDLE h = createNew(path);
    if (h == INVALID_HANDLE_VALUE) return win::fail();
    return adopt(h, path);
}

bool OutputFile::createUnique(const std::string& folder, const std::string& prefix) {
    std::random_device random;
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        const std::string path = joinPath(folder.empty() ? "." : folder, name);
        HANDLE h = createNew(path);
        if (h != INVALID_HANDLE_VALUE) return adopt(h, path);
        if (GetLastError() != ERROR_FILE_EXISTS) return win::fail();
    }
    errno = EEXIST;
    return false;
}

bool OutputFile::write(const void* data, std::size_t n) {
    return writeAllAt(m_fd, static_cast<const char*>(data), n, nullptr, 0);
}

bool OutputFile::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    // A write at an offset moves a Windows file's position: put it back afterwards.
    LARGE_INTEGER zero{}, position{};
    if (!SetFilePointerEx(m_fd, zero, &position, FILE_CURRENT)) return win::fail();
    OVERLAPPED at{};
    const bool ok = writeAllAt(m_fd, static_cast<const char*>(data), n, &at, offset);
    const int err = errno;
    SetFilePointerEx(m_fd, position, nullptr, FILE_BEGIN);
    errno = err;
    return ok;
}

bool OutputFile::truncate(std::uint64_t size) {
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(size);
    return SetFilePointerEx(m_fd, at, nullptr, FILE_BEGIN) && SetEndOfFile(m_fd) ? true : win::fail();
}

bool OutputFile::setMode(std::uint32_t mode) {
    // Windows keeps one permission bit of its own: read-only, for a file without owner write.
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(m_fd, FileBasicInfo, &basic, sizeof basic)) return win::fail();
    const DWORD before = basic.FileAttributes;
    if (mode & 0200) basic.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_READONLY);
    else basic.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == before) return true;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(m_fd, FileBasicInfo, &basic, sizeof basic) ? true : win::fail();
}

bool OutputFile::setModificationTime(std::time_t t) {
    const std::uint64_t ticks = std::uint64_t(std::int64_t(t) * 10000000LL + 116444736000000000LL);
    const FILETIME ft{DWORD(ticks), DWORD(ticks >> 32)};
    return SetFileTime(m_fd, nullptr, &ft, &ft) ? true : win::fail();
}

void OutputFile::startWriteback(std::uint64_t, std::uint64_t) {} // Windows writes back on its own

bool OutputFile::flush() { return FlushFileBuffers(m_fd) ? true : win::fail(); }

bool OutputFile::close() {
    const HANDLE h = std::exchange(m_fd, kNoFile);
    return !h || CloseHandle(h) ? true : win::fail();
}

bool OutputFile::commit(const std::string& finalPath, bool) {
    // MOVEFILE_WRITE_THROUGH makes every commit durable.
    if (!close()) return false;
    if (finalPath != m_path && !win::moveOver(m_path, finalPath)) return false;
    m_pending = false;
    return true;
}

void OutputFile::discard() noexcept {
    const int err = errno; // callers read errno after a failure, then give up
    if (m_fd) CloseHandle(m_fd);
    m_fd = kNoFile;
    if (m_pending) {
        const std::wstring w = win::widePath(m_path);
        SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL); // a read-only aside file is still ours
        DeleteFileW(w.c_str());
    }
    m_pending = false;
    errno = err;
}

} // namespace kp
