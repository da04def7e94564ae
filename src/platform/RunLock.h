// Keeps two runs off one project at the same time. The lock is an flock on a folder (LockFileEx
// on Windows), which
// the operating system releases when the process ends, however it ends: a run that was
// killed never blocks the next one, and no lock file is left in the project.
#pragma once
#include <string>

namespace kp {

class RunLock {
public:
    RunLock() = default;
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False only when another process holds the lock. Where the folder cannot be opened or
    // its file system has no locks (some network mounts) the run goes on unlocked.
    bool tryLock(const std::string& folder);

private:
#ifdef _WIN32
    void* m_handle = nullptr; // the locked folder's HANDLE, or a mutex named after the folder
#else
    int m_fd = -1;
#endif
};

} // namespace kp
