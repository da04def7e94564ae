#include "platform/FileCopy.h"

#include <cerrno>
#include <windows.h>

#include "platform/windows/Handle.h"
#include "platform/windows/LongPath.h"

namespace kp {

bool copyFileDurably(const std::string& source, const std::string& target) {
    const std::string aside = target + ".part";
    const std::wstring wideAside = win::widePath(aside);
    // CopyFileW keeps the attributes and the times of the source.
    if (!CopyFileW(win::widePath(source).c_str(), wideAside.c_str(), FALSE)) return win::fail();
    auto failed = [&] {
        const int err = errno;
        SetFileAttributesW(wideAside.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(wideAside.c_str());
        errno = err;
        return false;
    };
    {
        // A read-only copy cannot be opened for writing to flush it: lift the bit meanwhile.
        const DWORD attributes = GetFileAttributesW(wideAside.c_str());
        if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wideAside.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        win::Handle h(CreateFileW(wideAside.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h || !FlushFileBuffers(h.get())) return win::fail(), failed();
        h.reset();
        if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wideAside.c_str(), attributes);
    }
    if (!win::moveOver(aside, target)) return failed();
    return true;
}

} // namespace kp
