#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "platform/FileSystem.h"

namespace kp {

OutputFile::~OutputFile() {
    discard();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)),
      m_pending(std::exchange(other.m_pending, false)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_pending = std::exchange(other.m_pending, false);
    }
    return *this;
}

bool OutputFile::adopt(int fd, std::string path) {
    discard();
    m_fd = fd;
    m_path = std::move(path);
    m_pending = true;
    return true;
}

bool OutputFile::create(const std::string& asidePath) {
    if (::unlink(asidePath.c_str()) != 0 && errno != ENOENT) return false;
    const int fd = ::open(asidePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return adopt(fd, asidePath);
}

bool OutputFile::createUnique(const std::string& folder, const std::string& prefix) {
    std::string path = joinPath(folder.empty() ? "." : folder, prefix + "XXXXXX");
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return false;
    return adopt(fd, std::move(path));
}

bool OutputFile::write(const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = ::write(m_fd, p, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += done;
        n -= std::size_t(done);
    }
    return true;
}

bool OutputFile::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = ::pwrite(m_fd, p, n, off_t(offset));
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += done;
        offset += std::uint64_t(done);
        n -= std::size_t(done);
    }
    return true;
}

bool OutputFile::truncate(std::uint64_t size) {
    return ::ftruncate(m_fd, off_t(size)) == 0 && ::lseek(m_fd, off_t(size), SEEK_SET) >= 0;
}

bool OutputFile::setMode(std::uint32_t mode) {
    return ::fchmod(m_fd, mode_t(mode)) == 0;
}

bool OutputFile::setModificationTime(std::time_t t) {
    const timespec times[2] = {{t, 0}, {t, 0}};
    return ::futimens(m_fd, times) == 0;
}

void OutputFile::startWriteback(std::uint64_t offset, std::uint64_t length) {
    ::sync_file_range(m_fd, off_t(offset), off_t(length), SYNC_FILE_RANGE_WRITE);
}

bool OutputFile::flush() {
    return ::fsync(m_fd) == 0;
}

bool OutputFile::close() {
    const int fd = std::exchange(m_fd, -1);
    return fd < 0 || ::close(fd) == 0;
}

bool OutputFile::commit(const std::string& finalPath, bool durable) {
    if (!close()) return false;
    if (::rename(m_path.c_str(), finalPath.c_str()) != 0) return false;
    m_pending = false;
    // The rename is atomic either way; syncing the folder only makes it survive a power cut.
    if (durable) syncFolder(folderPart(finalPath));
    return true;
}

void OutputFile::discard() noexcept {
    const int err = errno; // callers read errno after a failure, then give up
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (m_pending) ::unlink(m_path.c_str());
    m_pending = false;
    errno = err;
}

} // namespace kp
