#include "zip/OutputSink.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace kp {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

void writeAll(int fd, const char* p, std::size_t n, const char* operation) {
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            throw SinkError(operation, errno);
        }
        p += done;
        n -= std::size_t(done);
    }
}

} // namespace

SinkError::SinkError(std::string operation, int err)
    : std::runtime_error(operation + ": " + errorText(err)), m_operation(std::move(operation)), m_err(err) {}

FileSink::FileSink(const std::string& path) : m_path(path) {
    // A stale twin left by an interrupted run is removed rather than written through: it could
    // be a link pointing anywhere.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw SinkError("create " + path, errno);
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) throw SinkError("create " + path, errno);
    m_buffer.reserve(kBufferSize);
}

// A sink that was never committed leaves nothing behind, however the save ended.
FileSink::~FileSink() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_committed) ::unlink(m_path.c_str());
}

void FileSink::drain() {
    if (m_buffer.empty()) return;
    writeAll(m_fd, m_buffer.data(), m_buffer.size(), "write");
    m_written += m_buffer.size();
    m_buffer.clear();
}

void FileSink::write(const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    if (m_buffer.size() + n > kBufferSize) drain();
    if (n >= kBufferSize) {
        writeAll(m_fd, p, n, "write");
        m_written += n;
    } else {
        m_buffer.append(p, n);
    }
}

void FileSink::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    drain();
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = ::pwrite(m_fd, p, n, off_t(offset));
        if (done < 0) {
            if (errno == EINTR) continue;
            throw SinkError("write", errno);
        }
        p += done;
        offset += std::uint64_t(done);
        n -= std::size_t(done);
    }
}

void FileSink::truncate(std::uint64_t size) {
    drain();
    if (::ftruncate(m_fd, off_t(size)) != 0 || ::lseek(m_fd, off_t(size), SEEK_SET) < 0)
        throw SinkError("write", errno);
    m_written = size;
}

void FileSink::flush() {
    drain();
    if (::fsync(m_fd) != 0) throw SinkError("flush", errno);
}

void FileSink::commit(const std::string& finalPath) {
    drain();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) throw SinkError("close", errno);
    if (::rename(m_path.c_str(), finalPath.c_str()) != 0) throw SinkError("rename", errno);
    m_committed = true;
    // The rename is atomic either way; syncing the folder only makes it survive a power cut.
    syncFolder(folderPart(finalPath));
}

void FileSink::discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    ::unlink(m_path.c_str());
}

std::unique_ptr<OutputSink> makeFileSink(const std::string& path) {
    return std::make_unique<FileSink>(path);
}

} // namespace kp
