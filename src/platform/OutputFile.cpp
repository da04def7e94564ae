#include "platform/OutputFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <random>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/LongPath.h"

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
    ParentFolder parent;
    if (!parent.open(asidePath)) return false;
    if (::unlinkat(parent.fd(), parent.name(), 0) != 0 && errno != ENOENT) return false;
    const int fd = ::openat(parent.fd(), parent.name(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    return adopt(fd, asidePath);
}

bool OutputFile::createInPlace(const std::string& path) {
    ParentFolder parent;
    if (!parent.open(path)) return false;
    const int fd = ::openat(parent.fd(), parent.name(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    return adopt(fd, path);
}

bool OutputFile::createUnique(const std::string& folder, const std::string& prefix) {
    std::string path = joinPath(folder.empty() ? "." : folder, prefix + "XXXXXX");
    ParentFolder parent;
    if (!parent.open(path)) return false;
    if (parent.fd() == AT_FDCWD) {
        const int fd = ::mkostemp(path.data(), O_CLOEXEC);
        return fd >= 0 && adopt(fd, std::move(path));
    }
    // mkostemp takes a whole path: in a folder too deep for that, names are drawn here.
    std::random_device random;
    const std::size_t stem = path.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (std::size_t i = stem; i < path.size(); ++i)
            path[i] = kLetters[random() % (sizeof kLetters - 1)];
        const std::string name = fileNamePart(path);
        const int fd = ::openat(parent.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return adopt(fd, std::move(path));
        if (errno != EEXIST) return false;
    }
    return false;
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
    if (finalPath == m_path) { // made in place
        m_pending = false;
        if (durable) syncFolder(folderPart(finalPath));
        return true;
    }
    ParentFolder from, to;
    if (!from.open(m_path) || !to.open(finalPath)) return false;
    if (::renameat(from.fd(), from.name(), to.fd(), to.name()) != 0) return false;
    m_pending = false;
    // The rename is atomic either way; syncing the folder only makes it survive a power cut.
    if (durable) syncFolder(folderPart(finalPath));
    return true;
}

void OutputFile::discard() noexcept {
    const int err = errno; // callers read errno after a failure, then give up
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    ParentFolder parent;
    if (m_pending && parent.open(m_path)) ::unlinkat(parent.fd(), parent.name(), 0);
    m_pending = false;
    errno = err;
}

} // namespace kp
