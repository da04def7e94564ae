#include "win/MessageBoxes.h"

#include "win/Text.h"

namespace kp::win {

void showMessageBox(HWND owner, MessageKind kind, const std::string& text) {
    const wchar_t* title = kind == MessageKind::Warning ? L"Warning" : L"Kestrelpad";
    UINT icon = 0;
    switch (kind) {
    case MessageKind::Warning:
    case MessageKind::Notice: icon = MB_ICONWARNING; break;
    // The busy-files warning has a single button; MessageBoxW offers no Yes on its own, so it is
    // OK here until the window gets a dialog of its own.
    case MessageKind::BusyFiles: icon = MB_ICONWARNING; break;
    case MessageKind::Error: icon = MB_ICONERROR; break;
    case MessageKind::Plain: icon = 0; break;
    }
    // On top: the card stays on top too, and a message must not hide behind it.
    MessageBoxW(owner, wide(text).c_str(), title, MB_OK | icon | MB_TOPMOST | MB_SETFOREGROUND);
}

} // namespace kp::win
