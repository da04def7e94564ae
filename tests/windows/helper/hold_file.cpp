// Holds a file open without sharing until its standard input closes or says anything: the
// other program the busy check must notice. Prints "held" once the file is open.
#include <cstdio>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    HANDLE h = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::printf("cannot open: %lu\n", GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    std::getchar();
    CloseHandle(h);
    return 0;
}
