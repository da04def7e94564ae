// The door between the program's paths and Win32. The program keeps paths as UTF-8 with "/"
// separators ("D:/work/Site", "//server/share/dir"); Win32 gets UTF-16 with "\" and the
// "\\?\" prefix, which lifts the MAX_PATH limit of 260 characters from every wide call.
#pragma once
#include <string>
#include <string_view>

namespace kp::win {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// "D:/work/Site" -> "\\?\D:\work\Site", "//server/share/x" -> "\\?\UNC\server\share\x".
// A relative path only has its separators turned round: "\\?\" takes full paths alone.
std::wstring widePath(const std::string& path);
// The reverse, for paths Win32 hands back: "\\?\D:\x" -> "D:/x", "\\?\UNC\s\h" -> "//s/h".
std::string programPath(std::wstring_view wide);

// Records a failed Win32 call: sets errno to the nearest errno value and keeps the Win32
// code for errorText. Returns false, for "return fail();".
bool fail();
bool fail(unsigned long win32Error);
// The Win32 error code that led to the errno value err, or 0 when that is not known.
unsigned long lastWin32ErrorFor(int err);

} // namespace kp::win
