#include "platform/RunLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/LongPath.h"

namespace kp {

RunLock::~RunLock() {
    if (m_fd >= 0) ::close(m_fd); // closing releases the flock
}

bool RunLock::tryLock(const std::string& folder) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = openAnyLength(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return true;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) return true;
    const bool heldElsewhere = errno == EWOULDBLOCK;
    ::close(m_fd);
    m_fd = -1;
    return !heldElsewhere;
}

} // namespace kp
