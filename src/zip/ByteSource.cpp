#include "zip/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace kp {

FileSource::FileSource(const std::string& path) {
    if (!m_file.open(path)) throw std::system_error(errno, std::generic_category());
}

bool FileSource::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > m_file.size() || n > m_file.size() - offset) {
        errno = 0;
        return false;
    }
    return m_file.readAt(offset, buffer, n);
}

bool MemorySource::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > m_bytes.size() || n > m_bytes.size() - offset) return false;
    if (n > 0) std::memcpy(buffer, m_bytes.data() + offset, n);
    return true;
}

} // namespace kp
