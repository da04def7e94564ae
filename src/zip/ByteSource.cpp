#include "zip/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace kp {

FileSource::FileSource(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) throw std::system_error(errno, std::generic_category());
    struct stat st;
    int err = 0;
    if (::fstat(m_fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (err) {
        ::close(m_fd);
        throw std::system_error(err, std::generic_category());
    }
    m_size = std::uint64_t(st.st_size);
}

FileSource::~FileSource() {
    ::close(m_fd);
}

bool FileSource::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > m_size || n > m_size - offset) {
        errno = 0;
        return false;
    }
    auto* p = static_cast<char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(m_fd, p, n, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = 0; // the file shrank since it was opened
            return false;
        }
        p += got;
        offset += std::uint64_t(got);
        n -= std::size_t(got);
    }
    return true;
}

bool MemorySource::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > m_bytes.size() || n > m_bytes.size() - offset) return false;
    if (n > 0) std::memcpy(buffer, m_bytes.data() + offset, n);
    return true;
}

} // namespace kp
