#include "zip/OutputSink.h"

#include <algorithm>
#include <cerrno>

#include "platform/FileSystem.h"

namespace kp {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
// Written bytes are handed to the disk in runs of this size while the archive grows, so that
// the flush at the end waits for the last run only, not for the whole archive.
constexpr std::uint64_t kWritebackRun = 8u << 20;

} // namespace

SinkError::SinkError(std::string operation, int err)
    : std::runtime_error(operation + ": " + errorText(err)), m_operation(std::move(operation)), m_err(err) {}

FileSink::FileSink(const std::string& path) {
    if (!m_file.create(path)) throw SinkError("create " + path, errno);
    m_buffer.reserve(kBufferSize);
}

void FileSink::drain() {
    if (m_buffer.empty()) return;
    if (!m_file.write(m_buffer.data(), m_buffer.size())) throw SinkError("write", errno);
    m_written += m_buffer.size();
    m_buffer.clear();
    startWriteback();
}

void FileSink::startWriteback() {
    if (m_written < m_writebackFrom + kWritebackRun) return;
    m_file.startWriteback(m_writebackFrom, m_written - m_writebackFrom);
    m_writebackFrom = m_written;
}

void FileSink::write(const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    if (m_buffer.size() + n > kBufferSize) drain();
    if (n >= kBufferSize) {
        if (!m_file.write(p, n)) throw SinkError("write", errno);
        m_written += n;
        startWriteback();
    } else {
        m_buffer.append(p, n);
    }
}

void FileSink::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    drain();
    if (!m_file.writeAt(offset, data, n)) throw SinkError("write", errno);
}

void FileSink::truncate(std::uint64_t size) {
    drain();
    if (!m_file.truncate(size)) throw SinkError("write", errno);
    m_written = size;
    m_writebackFrom = std::min(m_writebackFrom, size);
}

void FileSink::flush() {
    drain();
    if (!m_file.flush()) throw SinkError("flush", errno);
}

void FileSink::commit(const std::string& finalPath) {
    drain();
    if (!m_file.close()) throw SinkError("close", errno);
    if (!m_file.commit(finalPath, true)) throw SinkError("rename", errno);
}

void FileSink::discard() noexcept {
    m_file.discard();
}

std::unique_ptr<OutputSink> makeFileSink(const std::string& path) {
    return std::make_unique<FileSink>(path);
}

} // namespace kp
