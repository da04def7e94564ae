#include "win/LinkLabel.h"

#include <commctrl.h>

namespace kp::win {

namespace {

LRESULT CALLBACK linkProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR font) {
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(label, linkProc, 0);
        DeleteObject(reinterpret_cast<HFONT>(font));
    }
    return DefSubclassProc(label, message, wParam, lParam);
}

} // namespace

void makeLink(HWND label) {
    LOGFONTW underlined{};
    HFONT base = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    GetObjectW(base ? base : GetStockObject(DEFAULT_GUI_FONT), sizeof(underlined), &underlined);
    underlined.lfUnderline = TRUE;
    HFONT font = CreateFontIndirectW(&underlined);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowSubclass(label, linkProc, 0, reinterpret_cast<DWORD_PTR>(font));
}

} // namespace kp::win
