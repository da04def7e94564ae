#include "platform/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string_view>
#include <utility>

#include "platform/LongPath.h"

namespace kp {

InputFile::~InputFile() {
    close();
}

InputFile::InputFile(InputFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size), m_mode(other.m_mode),
      m_mtime(other.m_mtime), m_knowsFacts(other.m_knowsFacts) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
        m_mode = other.m_mode;
        m_mtime = other.m_mtime;
        m_knowsFacts = other.m_knowsFacts;
    }
    return *this;
}

namespace {

// O_NONBLOCK: opening a FIFO put where a file was must not wait for a writer.
// O_NOATIME: a backup reads every file of the project twice and should not rewrite their
// inodes for it; only the file's owner may ask for that, so others open it plainly.
template <typename Open>
int openForReading(const Open& open) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = open(flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) fd = open(flags);
    return fd;
}

int openForReading(const std::string& path) {
    return openForReading([&](int flags) { return openAnyLength(path, flags); });
}

} // namespace

FolderCursor::~FolderCursor() {
    close();
}

void FolderCursor::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_folder.clear();
}

bool InputFile::takeListed(int fd) {
    close();
    m_fd = fd;
    m_size = 0;
    m_mode = 0;
    m_mtime = 0;
    m_knowsFacts = false;
    return m_fd >= 0;
}

bool InputFile::openListed(const std::string& path) {
    return takeListed(openForReading(path));
}

bool InputFile::openListed(const std::string& path, FolderCursor& folder) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return openListed(path);
    const std::string_view folderPath(path.data(), slash);
    if (folder.m_fd < 0 || folderPath != folder.m_folder) {
        folder.close();
        // A folder that can't be opened: the file's own open says why.
        folder.m_fd = openAnyLength(std::string(folderPath), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder.m_fd < 0) return openListed(path);
        folder.m_folder = folderPath;
    }
    const char* name = path.c_str() + slash + 1;
    return takeListed(openForReading([&](int flags) { return ::openat(folder.m_fd, name, flags); }));
}

bool InputFile::open(const std::string& path) {
    close();
    const int fd = openForReading(path);
    if (fd < 0) return false;
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (err) {
        ::close(fd);
        errno = err;
        return false;
    }
    m_fd = fd;
    m_size = std::uint64_t(st.st_size);
    m_mode = std::uint32_t(st.st_mode & 07777);
    m_mtime = std::int64_t(st.st_mtime);
    m_knowsFacts = true;
    return true;
}

bool InputFile::isOpen() const { return m_fd >= 0; }

bool InputFile::isRegularFile() const {
    if (m_knowsFacts) return true; // open() keeps nothing else open
    struct stat st;
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
}

void InputFile::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool InputFile::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    auto* p = static_cast<char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(m_fd, p, n, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = 0; // the file ends early: it shrank since it was opened
            return false;
        }
        p += got;
        offset += std::uint64_t(got);
        n -= std::size_t(got);
    }
    return true;
}

std::ptrdiff_t InputFile::readUpTo(std::uint64_t offset, void* buffer, std::size_t n) const {
    for (;;) {
        const ssize_t got = ::pread(m_fd, buffer, n, off_t(offset));
        if (got >= 0 || errno != EINTR) return got;
    }
}

std::ptrdiff_t InputFile::read(void* buffer, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, n);
        if (got >= 0 || errno != EINTR) return got;
    }
}

} // namespace kp
