#include "platform/LongPath.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kp {

namespace {

// Folder steps are joined into runs of at most this many bytes, one system call each.
constexpr std::size_t kStepLimit = PATH_MAX - 256;
static_assert(AT_FDCWD == -100, "ParentFolder's default stands for AT_FDCWD");

} // namespace

bool ParentFolder::open(const std::string& path) {
    if (path.size() < PATH_MAX) {
        m_name = path;
        return true;
    }
    const std::size_t lastSlash = path.find_last_of('/', path.size() - 2); // a folder's path may end in "/"
    if (lastSlash == std::string::npos) {
        errno = ENAMETOOLONG;
        return false;
    }
    m_name = path.substr(lastSlash + 1);
    int fd = ::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::size_t at = path[0] == '/' ? 1 : 0;
    while (fd >= 0 && at < lastSlash) {
        // The longest run of whole parts that fits, up to the folder holding the last part.
        std::size_t end = std::min(lastSlash, at + kStepLimit);
        if (end < lastSlash) end = path.rfind('/', end);
        if (end == std::string::npos || end <= at) {
            ::close(fd);
            errno = ENAMETOOLONG; // one part alone is too long for any file system
            return false;
        }
        const std::string step = path.substr(at, end - at);
        const int next = ::openat(fd, step.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        errno = err;
        fd = next;
        at = end + 1;
    }
    if (fd < 0) return false;
    m_fd = fd;
    m_owned = true;
    return true;
}

ParentFolder::~ParentFolder() {
    if (m_owned) ::close(m_fd);
}

bool renameAnyLength(const std::string& from, const std::string& to) {
    ParentFolder fromParent, toParent;
    return fromParent.open(from) && toParent.open(to) &&
           ::renameat(fromParent.fd(), fromParent.name(), toParent.fd(), toParent.name()) == 0;
}

bool unlinkAnyLength(const std::string& path) {
    ParentFolder parent;
    return parent.open(path) && ::unlinkat(parent.fd(), parent.name(), 0) == 0;
}

int openAnyLength(const std::string& path, int flags, unsigned mode) {
    if (path.size() < PATH_MAX) return ::open(path.c_str(), flags, mode);
    ParentFolder parent;
    if (!parent.open(path)) return -1;
    return ::openat(parent.fd(), parent.name(), flags, mode);
}

} // namespace kp
