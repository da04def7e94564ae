#include "platform/BusyFile.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/LongPath.h"

namespace kp {

namespace {

std::set<std::pair<std::uint64_t, std::uint64_t>> filesOpenAnywhere() {
    std::set<std::pair<std::uint64_t, std::uint64_t>> open;
    DIR* proc = ::opendir("/proc");
    if (!proc) return open;
    while (const dirent* pe = ::readdir(proc)) {
        const std::string pid = pe->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;
        while (const dirent* fe = ::readdir(fds)) {
            struct stat st;
            if (fe->d_name[0] != '.' && ::stat((fdDir + "/" + fe->d_name).c_str(), &st) == 0)
                open.emplace(st.st_dev, st.st_ino);
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return open;
}

} // namespace


bool BusyFileCheck::isBusy(const std::string& path) {
    const int fd = openAnyLength(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ETXTBSY;
    struct stat st;
    ::fstat(fd, &st);
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        ::close(fd);
        return false;
    }
    const int err = errno;
    ::close(fd); // before the scan, so that our own look does not count
    if (err == EAGAIN || err == EBUSY) return true;
    if (!m_openFiles) m_openFiles = filesOpenAnywhere();
    return m_openFiles->count({std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)}) > 0;
}

} // namespace kp
