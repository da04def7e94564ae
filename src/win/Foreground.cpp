#include "win/Foreground.h"

namespace kp::win {

bool bringToForeground(HWND window) {
    DWORD lockTimeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lockTimeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    // A window that is always on top (the options window) stays so afterwards.
    const bool alwaysOnTop = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const DWORD self = GetCurrentThreadId();
    bool granted = false;
    // Bounded: a system that keeps refusing must not hang the run; the window stays on top anyway.
    for (int attempt = 0; attempt < 10 && !granted; ++attempt) {
        HWND foreground = GetForegroundWindow();
        const DWORD other = foreground ? GetWindowThreadProcessId(foreground, nullptr) : self;
        const bool attach = other != self;
        if (attach) AttachThreadInput(self, other, TRUE);
        granted = SetForegroundWindow(window) != FALSE;
        if (attach) AttachThreadInput(self, other, FALSE);
        if (!granted) Sleep(20);
    }
    if (!alwaysOnTop) SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<PVOID>(static_cast<UINT_PTR>(lockTimeout)), 0);
    return granted;
}

} // namespace kp::win
