// A Win32 handle that closes itself, and the atomic replace every finished file goes through.
#pragma once
#include <string>
#include <utility>
#include <windows.h>

namespace kp::win {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(Handle&& o) noexcept : m_h(std::exchange(o.m_h, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            reset();
            m_h = std::exchange(o.m_h, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    explicit operator bool() const { return m_h != nullptr; }
    HANDLE get() const { return m_h; }
    HANDLE release() { return std::exchange(m_h, nullptr); }
    void reset() {
        if (m_h) CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

// Renames a complete, flushed file over target in one step (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): target is the old file or the new one,
// never a mixture, and the rename is on the disk when this returns. False with errno set.
bool moveOver(const std::string& from, const std::string& target);

} // namespace kp::win
