#include "win/Overlay.h"

#include <commctrl.h>

namespace kp::win {

namespace {

constexpr UINT_PTR kOverlaySubclass = 1, kUnderSubclass = 2;
const COLORREF kGrey = RGB(0x80, 0x80, 0x80);

struct Overlaid {
    HWND overlay;
    OverlayStyle style;
};

// The overlay lets every click fall through to the control it covers.
LRESULT CALLBACK overlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCHITTEST) return HTTRANSPARENT;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, overlayProc, kOverlaySubclass);
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK underProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                           DWORD_PTR data) {
    auto* o = reinterpret_cast<Overlaid*>(data);
    switch (message) {
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == o->overlay) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const bool grey = o->style.greyWithoutFocus && GetFocus() != window;
            SetTextColor(dc, grey ? kGrey : GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(IsWindowEnabled(window) ? COLOR_WINDOW : COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(
                GetSysColorBrush(IsWindowEnabled(window) ? COLOR_WINDOW : COLOR_BTNFACE));
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(o->overlay, nullptr, TRUE);
        break;
    case WM_GETDLGCODE:
        if (o->style.arrowKeysStep) return DLGC_WANTARROWS;
        break;
    case WM_KEYDOWN:
        if (o->style.arrowKeysStep && (wParam == VK_UP || wParam == VK_DOWN)) {
            SendMessageW(GetParent(window), kStepValue, WPARAM(GetDlgCtrlID(window)),
                         wParam == VK_UP ? 1 : 0);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, underProc, kUnderSubclass);
        delete o;
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Where the covered control shows its text: a drop-down list's field, or an edit's inside.
RECT textArea(HWND under) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(under, &info)) {
        RECT r = info.rcItem;
        InflateRect(&r, -1, -1);
        return r;
    }
    RECT r;
    GetClientRect(under, &r);
    InflateRect(&r, -1, -1);
    return r;
}

} // namespace

HWND layOver(HWND under, int id, OverlayStyle style) {
    // The covered control must not paint over its overlay when it redraws its own text.
    SetWindowLongW(under, GWL_STYLE, GetWindowLongW(under, GWL_STYLE) | WS_CLIPCHILDREN);
    const RECT r = textArea(under);
    const DWORD align = style.rightAligned ? ES_RIGHT : ES_LEFT;
    HWND overlay = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY | align, r.left,
                                   r.top, r.right - r.left, r.bottom - r.top, under,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(overlay, WM_SETFONT, SendMessageW(under, WM_GETFONT, 0, 0), FALSE);
    SetWindowSubclass(overlay, overlayProc, kOverlaySubclass, 0);
    SetWindowSubclass(under, underProc, kUnderSubclass,
                      reinterpret_cast<DWORD_PTR>(new Overlaid{overlay, style}));
    return overlay;
}

} // namespace kp::win
