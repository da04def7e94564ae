// The file operations that report why they failed as a Result. errno is read here, right
// after the call that set it, and nowhere above the platform.
#include <cerrno>

#include "platform/FileSystem.h"

namespace kp {

Result<void> saveFileAtomically(const std::string& path, const std::string& data) {
    if (writeFileAtomically(path, data)) return {};
    return Failure{FailureKind::WriteFailed, errorText(errno), path};
}

Result<void> createFolders(const std::string& path) {
    if (makeFolders(path)) return {};
    return Failure{FailureKind::WriteFailed, errorText(errno), path};
}

Result<std::string> readSmallFile(const std::string& path, std::size_t maxBytes) {
    std::string text;
    if (readRegularFile(path, maxBytes, text)) return text;
    const int err = errno;
    if (err == EFBIG) return Failure{FailureKind::Refused, "it is over " + std::to_string(maxBytes >> 20) + " MiB", path};
    if (err == EINVAL) return Failure{FailureKind::Refused, "it is not a regular file", path};
    return Failure{FailureKind::Refused, errorText(err), path};
}

} // namespace kp
