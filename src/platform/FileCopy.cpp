#include "platform/FileCopy.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/LongPath.h"

namespace kp {

namespace {

bool copyContent(int in, int out) {
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf + done, std::size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += w;
        }
    }
}

bool fail(int in, int out, const std::string& aside) {
    const int err = errno;
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    unlinkAnyLength(aside);
    errno = err;
    return false;
}

} // namespace

bool copyFileDurably(const std::string& source, const std::string& target) {
    const std::string aside = target + ".part";
    const int in = openAnyLength(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    if (::fstat(in, &st) != 0) return fail(in, -1, aside);
    const int out = openAnyLength(aside, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) return fail(in, -1, aside);
    if (!copyContent(in, out)) return fail(in, out, aside);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    if (::fsync(out) != 0) return fail(in, out, aside);
    ::close(in);
    if (::close(out) != 0) return fail(-1, -1, aside);
    if (!renameAnyLength(aside, target)) return fail(-1, -1, aside);
    syncFolder(folderPart(target));
    return true;
}

} // namespace kp
