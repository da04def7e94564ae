#include "platform/BusyFile.h"

#include <windows.h>

#include "platform/windows/LongPath.h"

namespace kp {

// A file is busy when an exclusive open (no sharing at all) is refused with a sharing
// violation: some other program has it open.
bool BusyFileCheck::isBusy(const std::string& path) {
    HANDLE h = CreateFileW(win::widePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    const DWORD e = GetLastError();
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
}

} // namespace kp
