#include "win/Card.h"

#include <dwmapi.h>

#include "engine/CardModel.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

constexpr int kWidth = 500, kHeight = 250, kCornerEllipse = 68;
constexpr COLORREF kNavy = RGB(0, 0, 0x80);
constexpr UINT_PTR kShownTimer = 1, kCtrlPollTimer = 2, kFadeTimer = 3;
const wchar_t kCardClass[] = L"KestrelpadCard";
constexpr int kLabelIds[] = {IDC_CardLabel2, IDC_CardLabel5, IDC_CardLabel4, IDC_CardLabel8,
                             IDC_CardLabel6, IDC_CardLabel7, IDC_CardLabel1};

HFONT cardFont(int px, bool bold) {
    return CreateFontW(-px, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

void drawLabel(HDC dc, const std::string& text, RECT box, int px, bool bold) {
    HFONT font = cardFont(px, bold);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring shown = wide(text);
    DrawTextW(dc, shown.c_str(), int(shown.size()), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

void drawMeter(HDC dc, RECT box, int percent) {
    HBRUSH frame = CreateSolidBrush(RGB(0xA0, 0xA0, 0xA0));
    HBRUSH fill = CreateSolidBrush(kNavy);
    FillRect(dc, &box, frame);
    RECT done = box;
    done.right = box.left + (box.right - box.left) * percent / 100;
    FillRect(dc, &done, fill);
    DeleteObject(frame);
    DeleteObject(fill);
}

} // namespace

Card::Card(HINSTANCE instance, HWND owner, Engine& engine) : m_engine(engine) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KESTRELPAD));
    wc.lpszClassName = kCardClass;
    RegisterClassW(&wc);
    m_picture = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_CARD), IMAGE_BITMAP, 0, 0, 0));
    // Centred here: the work area is the screen less the taskbar.
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + (area.right - area.left - kWidth) / 2;
    const int y = area.top + (area.bottom - area.top - kHeight) / 2;
    // A tool window owned by the hidden host window: no taskbar button; layered for the fade.
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED, kCardClass, L"Kestrelpad", WS_POPUP,
                               x, y, kWidth, kHeight, owner, nullptr, instance, this);
    SetLayeredWindowAttributes(m_window, 0, 255, LWA_ALPHA);
    // The rounded shape: a rectangle whose corners are quarters of 68-pixel ellipses.
    SetWindowRgn(m_window, CreateRoundRectRgn(0, 0, kWidth + 1, kHeight + 1, kCornerEllipse, kCornerEllipse), FALSE);
    for (int id : kLabelIds) CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 0, 0, m_window, HMENU(INT_PTR(id)), instance, nullptr);
}

Card::~Card() {
    if (m_window) DestroyWindow(m_window);
    if (m_picture) DeleteObject(m_picture);
}

void Card::show(bool visible) {
    m_visible = visible;
    // Ctrl is polled, shown or not: the keys go to the window that has the keyboard, which
    // the card has not when it is hidden or another window holds the focus.
    SetTimer(m_window, kCtrlPollTimer, 100, nullptr);
    publishTexts(cardView(m_engine.state())); // readable once the card is there, before its first paint
    if (!visible) {
        // Invisible but working: the timer runs. A hidden card is never shown.
        m_engine.shown();
        return;
    }
    ShowWindow(m_window, SW_SHOWNORMAL);
    UpdateWindow(m_window);
    SetForegroundWindow(m_window);
    SetFocus(m_window); // Ctrl also reaches the run through the card's keys
    // After the show has been painted: the clock check may show a message and close.
    SetTimer(m_window, kShownTimer, 0, nullptr);
}

void Card::setVisibility(CardVisibility visibility) {
    if (visibility == CardVisibility::Shown) {
        m_visible = true;
        SetLayeredWindowAttributes(m_window, 0, 255, LWA_ALPHA);
        ShowWindow(m_window, SW_SHOWNOACTIVATE);
        refresh();
    } else if (visibility == CardVisibility::FadeOut && m_visible) {
        fade();
        m_visible = false;
        ShowWindow(m_window, SW_HIDE); // hidden but working: Ctrl is still polled
    }
}

void Card::fade() {
    // Without the desktop's composition the steps would not show, only delay the end.
    BOOL composed = FALSE;
    if (FAILED(DwmIsCompositionEnabled(&composed)) || !composed) return;
    for (int alpha = 255; alpha > 0; alpha -= 5) {
        SetLayeredWindowAttributes(m_window, 0, BYTE(alpha), LWA_ALPHA);
        Sleep(4);
    }
}

void Card::refresh() {
    if (m_window && m_visible) {
        InvalidateRect(m_window, nullptr, FALSE);
        UpdateWindow(m_window);
    }
}

void Card::setProgress(ProgressScope scope, int percent) {
    (scope == ProgressScope::Archive ? m_archivePercent : m_itemPercent) = percent;
    refresh();
}

void Card::requestClose() { PostMessageW(m_window, WM_CLOSE, 0, 0); }

LRESULT CALLBACK Card::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Card*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->m_window == window) return self->handle(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Card::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_window, &ps);
        paint(dc);
        EndPaint(m_window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: m_engine.userInterrupt(Engine::Interrupt::Click); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_CONTROL) m_engine.userInterrupt(Engine::Interrupt::CtrlKey);
        return 0;
    case WM_TIMER:
        if (wParam == kShownTimer) {
            KillTimer(m_window, kShownTimer);
            m_engine.shown();
        } else if (wParam == kCtrlPollTimer) {
            if (!m_engine.state().interruptible) KillTimer(m_window, kCtrlPollTimer);
            else if (GetAsyncKeyState(VK_CONTROL) & 0x8000) m_engine.userInterrupt(Engine::Interrupt::CtrlKey);
        } else if (wParam == kFadeTimer) {
            KillTimer(m_window, kFadeTimer);
            fadeOutAndFinish();
        }
        return 0;
    case WM_CLOSE: closeQuery(); return 0;
    case WM_DESTROY: m_window = nullptr; return 0;
    default: break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void Card::closeQuery() {
    if (m_closeAllowed) return; // the card goes by fading out, not at once
    if (!m_engine.closeQuery()) return;
    m_closeAllowed = true;
    KillTimer(m_window, kCtrlPollTimer);
    SetTimer(m_window, kFadeTimer, 500, nullptr);
}

void Card::fadeOutAndFinish() {
    if (m_visible) fade();
    ShowWindow(m_window, SW_HIDE);
    PostQuitMessage(0);
}

void Card::paint(HDC dc) {
    RECT all{0, 0, kWidth, kHeight};
    HBRUSH back = CreateSolidBrush(RGB(0xE3, 0xE3, 0xE3)); // the 3D light colour behind the picture
    FillRect(dc, &all, back);
    DeleteObject(back);
    if (m_picture) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, m_picture);
        BitBlt(dc, 0, 0, kWidth, kHeight - 1, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }
    const CardView v = cardView(m_engine.state());
    publishTexts(v);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kNavy);
    drawLabel(dc, v.title, {104, 48, 104 + 289, 48 + 18}, 15, true);                    // Label2
    drawLabel(dc, v.projectName, {72, 92, 72 + 357, 92 + 18}, v.smallProjectFont ? 11 : 15, false); // Label5
    drawLabel(dc, v.dateLabel, {32, 116, 32 + 433, 116 + 24}, 20, false);              // Label4
    if (!v.ignoredText.empty()) drawLabel(dc, v.ignoredText, {32, 140, 32 + 433, 140 + 16}, 12, false); // Label8
    if (v.restoringText.empty()) drawMeter(dc, {64, 159, 64 + 375, 159 + 8}, m_itemPercent); // AbMeter2
    else drawLabel(dc, v.restoringText, {40, 159, 40 + 425, 159 + 23}, 13, false);      // Label6
    drawMeter(dc, {64, 178, 64 + 375, 178 + 4}, m_archivePercent);                     // AbMeter1
    drawLabel(dc, v.statusLabel, {65, 204, 65 + 161, 204 + 16}, 13, false);            // Label7
    drawLabel(dc, v.diskSpaceText, {232, 204, 232 + 197, 204 + 16}, 13, false);        // Label1
}

// The hidden labels follow what is painted (set only on a change: a label's text set is a
// message to every reader).
void Card::publishTexts(const CardView& v) {
    const std::string* texts[] = {&v.title, &v.projectName, &v.dateLabel, &v.ignoredText,
                                  &v.restoringText, &v.statusLabel, &v.diskSpaceText};
    for (std::size_t i = 0; i < std::size(kLabelIds); ++i) {
        HWND label = GetDlgItem(m_window, kLabelIds[i]);
        const std::wstring text = wide(*texts[i]);
        if (windowText(label) != text) SetWindowTextW(label, text.c_str());
    }
}

} // namespace kp::win
