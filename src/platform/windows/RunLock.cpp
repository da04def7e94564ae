#include "platform/RunLock.h"

#include <windows.h>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/windows/LongPath.h"

namespace kp {

namespace {

// Where a folder handle takes no byte-range lock, a semaphore of one named after the folder
// does the same for the runs of this session. Unlike a mutex it is not taken twice by one
// thread; and it vanishes with the last handle, so a run that was killed blocks nobody.
HANDLE lockByName(const std::string& folder) {
    std::string name = lowerUtf8(resolvedPath(folder).empty() ? folder : resolvedPath(folder));
    for (auto& c : name)
        if (c == '/' || c == ':') c = '|';
    HANDLE m = CreateSemaphoreW(nullptr, 1, 1, (L"Local\\Kestrelpad run " + win::toWide(name)).c_str());
    if (!m) return nullptr;
    if (WaitForSingleObject(m, 0) == WAIT_OBJECT_0) return m;
    CloseHandle(m);
    return INVALID_HANDLE_VALUE;
}

void release(HANDLE h) {
    if (!h) return;
    ReleaseSemaphore(h, 1, nullptr); // fails harmlessly for a folder handle
    CloseHandle(h);                  // which releases its byte-range lock
}

} // namespace

RunLock::~RunLock() { release(m_handle); }

bool RunLock::tryLock(const std::string& folder) {
    release(m_handle);
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
