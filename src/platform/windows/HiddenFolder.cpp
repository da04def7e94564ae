#include "platform/HiddenFolder.h"

#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/windows/LongPath.h"

namespace kp {

// Windows hides a folder by its own attribute; no list file is written.
bool setFolderHidden(const std::string& folder, bool hidden) {
    const std::wstring w = win::widePath(withoutTrailingSlash(folder));
    const DWORD a = GetFileAttributesW(w.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    const DWORD wanted = hidden ? (a | FILE_ATTRIBUTE_HIDDEN) : (a & ~DWORD(FILE_ATTRIBUTE_HIDDEN));
    return wanted == a || SetFileAttributesW(w.c_str(), wanted) ? true : win::fail();
}

} // namespace kp
