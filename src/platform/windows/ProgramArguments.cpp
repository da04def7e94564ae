#include "platform/ProgramArguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/windows/LongPath.h"

namespace kp {

std::vector<std::string> programArguments(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(win::toUtf8(wide[i]));
    LocalFree(wide);
    return out;
}

} // namespace kp
