#include "platform/RunLock.h"

#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/windows/LongPath.h"

namespace kp {

namespace {

// Where a folder handle takes no byte-range lock, a mutex named after the folder does the
// same for the runs of this session: Windows releases it too when its process ends.
HANDLE lockByName(const std::string& folder) {
    std::string name = lowerUtf8(resolvedPath(folder).empty() ? folder : resolvedPath(folder));
    for (auto& c : name)
        if (c == '/' || c == ':') c = '|';
    HANDLE m = CreateMutexW(nullptr, FALSE, (L"Local\\Kestrelpad run " + win::toWide(name)).c_str());
    if (!m) return nullptr;
    const DWORD r = WaitForSingleObject(m, 0);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) return m; // an abandoned lock's run has ended
    CloseHandle(m);
    return INVALID_HANDLE_VALUE;
}

} // namespace

RunLock::~RunLock() {
    if (m_handle) CloseHandle(m_handle); // closing releases the lock
}

bool RunLock::tryLock(const std::string& folder) {
    if (m_handle) CloseHandle(m_handle);
    m_handle = nullptr;
    HANDLE h = CreateFileW(win::widePath(folder).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return true;
    OVERLAPPED at{};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        m_handle = h;
        return true;
    }
    const DWORD e = GetLastError();
    CloseHandle(h);
    if (e == ERROR_LOCK_VIOLATION || e == ERROR_IO_PENDING) return false;
    const HANDLE m = lockByName(folder);
    if (m == INVALID_HANDLE_VALUE) return false;
    m_handle = m;
    return true;
}

} // namespace kp
