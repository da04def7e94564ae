#include "platform/windows/LongPath.h"

#include <cerrno>
#include <windows.h>

namespace kp::win {

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring widePath(const std::string& path) {
    std::wstring w = toWide(path);
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    if (w.rfind(L"\\\\?\\", 0) == 0) return w;
    if (w.size() >= 2 && w[1] == L':') {
        if (w.size() == 2) w += L'\\'; // "D:" alone is the drive's root, not its current folder
        return L"\\\\?\\" + w;
    }
    if (w.size() > 2 && w[0] == L'\\' && w[1] == L'\\') return L"\\\\?\\UNC\\" + w.substr(2);
    return w;
}

std::string programPath(std::wstring_view wide) {
    std::wstring w(wide);
    if (w.rfind(L"\\\\?\\UNC\\", 0) == 0) w = L"\\\\" + w.substr(8);
    else if (w.rfind(L"\\\\?\\", 0) == 0) w = w.substr(4);
    std::string out = toUtf8(w);
    for (auto& c : out)
        if (c == '\\') c = '/';
    return out;
}

namespace {

thread_local unsigned long t_lastError = 0;
thread_local int t_lastErrno = 0;

int errnoFor(unsigned long e) {
    switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

} // namespace

bool fail(unsigned long win32Error) {
    t_lastError = win32Error;
    t_lastErrno = errnoFor(win32Error);
    errno = t_lastErrno;
    return false;
}

bool fail() { return fail(GetLastError()); }

unsigned long lastWin32ErrorFor(int err) { return err == t_lastErrno ? t_lastError : 0; }

} // namespace kp::win

#include "platform/windows/Handle.h"

namespace kp::win {

bool moveOver(const std::string& from, const std::string& target) {
    const std::wstring wideFrom = widePath(from), wideTarget = widePath(target);
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(wideFrom.c_str(), wideTarget.c_str(), kFlags)) return true;
    const DWORD e = GetLastError();
    // Windows will not replace a read-only file; a rename on Linux does, and the program's
    // replaces (a restored file, the settings) mean to.
    const DWORD a = GetFileAttributesW(wideTarget.c_str());
    if (e != ERROR_ACCESS_DENIED || a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_READONLY) ||
        (a & FILE_ATTRIBUTE_DIRECTORY))
        return fail(e);
    SetFileAttributesW(wideTarget.c_str(), a & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (MoveFileExW(wideFrom.c_str(), wideTarget.c_str(), kFlags)) return true;
    const DWORD again = GetLastError();
    SetFileAttributesW(wideTarget.c_str(), a);
    return fail(again);
}

} // namespace kp::win
