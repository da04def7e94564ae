#include "platform/InputFile.h"

#include <cerrno>
#include <utility>
#include <windows.h>

#include "platform/windows/LongPath.h"

namespace kp {

namespace {

std::int64_t unixTimeOf(const LARGE_INTEGER& ticks) {
    return (std::int64_t(ticks.QuadPart) - 116444736000000000LL) / 10000000LL;
}

} // namespace

InputFile::~InputFile() { close(); }

InputFile::InputFile(InputFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, nullptr)), m_dosAttributes(other.m_dosAttributes), m_size(other.m_size),
      m_mode(other.m_mode), m_mtime(other.m_mtime), m_knowsFacts(other.m_knowsFacts) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, nullptr);
        m_dosAttributes = other.m_dosAttributes;
        m_size = other.m_size;
        m_mode = other.m_mode;
        m_mtime = other.m_mtime;
        m_knowsFacts = other.m_knowsFacts;
    }
    return *this;
}

// Windows learns the facts from the open handle, without a path lookup, and the folder and
// device checks need them anyway.
bool InputFile::openListed(const std::string& path) {
    return open(path);
}

bool InputFile::isRegularFile() const {
    return m_fd != nullptr; // open() refuses folders and devices
}

FolderCursor::~FolderCursor() = default;

void FolderCursor::close() {}

bool InputFile::openListed(const std::string& path, FolderCursor&) {
    return open(path);
}

bool InputFile::open(const std::string& path) {
    close();
    // Shared for reading and writing: the program reads files other programs may have open.
    HANDLE h = CreateFileW(win::widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return win::fail();
    // Basic and standard information only: GetFileInformationByHandle (the volume's serial
    // number) and GetFileType (the device kind) ask the volume each time, a round trip per file.
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    int err = 0;
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic) ||
        !GetFileInformationByHandleEx(h, FileStandardInfo, &standard, sizeof standard))
        err = (win::fail(), errno);
    else if (standard.Directory) err = EISDIR;
    else if (basic.FileAttributes & FILE_ATTRIBUTE_DEVICE) err = EINVAL;
    if (err) {
        CloseHandle(h);
        errno = err;
        return false;
    }
    m_fd = h;
    m_size = std::uint64_t(standard.EndOfFile.QuadPart);
    const bool readOnly = basic.FileAttributes & FILE_ATTRIBUTE_READONLY;
    m_mode = readOnly ? 0444 : 0644;
    m_dosAttributes = basic.FileAttributes &
                      (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    m_mtime = unixTimeOf(basic.LastWriteTime);
    m_knowsFacts = true;
    return true;
}

bool InputFile::isOpen() const { return m_fd != nullptr; }

void InputFile::close() {
    if (m_fd) CloseHandle(m_fd);
    m_fd = nullptr;
}

std::ptrdiff_t InputFile::readUpTo(std::uint64_t offset, void* buffer, std::size_t n) const {
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(m_fd, buffer, DWORD(std::min<std::size_t>(n, 1u << 30)), &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : (win::fail(), -1);
    return std::ptrdiff_t(got);
}

bool InputFile::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    auto* p = static_cast<char*>(buffer);
    while (n > 0) {
        // An explicit offset in each call, so that several threads can read at once.
        OVERLAPPED at{};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        DWORD got = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(n, 1u << 30));
        if (!ReadFile(m_fd, p, chunk, &got, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                errno = 0;
                return false;
            }
            return win::fail();
        }
        if (got == 0) {
            errno = 0; // the file ends early: it shrank since it was opened
            return false;
        }
        p += got;
        offset += got;
        n -= got;
    }
    return true;
}

std::ptrdiff_t InputFile::read(void* buffer, std::size_t n) {
    DWORD got = 0;
    if (!ReadFile(m_fd, buffer, DWORD(std::min<std::size_t>(n, 1u << 30)), &got, nullptr)) return win::fail(), -1;
    return std::ptrdiff_t(got);
}

} // namespace kp
