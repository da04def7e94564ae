#include "win/ProjectLogWindow.h"

#include <commdlg.h>

#include "platform/Text.h"
#include "win/MessageBoxes.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

constexpr int kClientWidth = 766, kClientHeight = 625, kFontPx = 15;
const wchar_t kLogClass[] = L"KestrelpadProjectLog";
ProjectLogWindow* g_run = nullptr;

int CALLBACK fontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool fontInstalled(const wchar_t* family) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, family, LF_FACESIZE);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &wanted, fontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

// Lucida Console where it is installed; else the font mapper's fixed-pitch choice, so the
// log's columns still line up.
HFONT logFont() {
    const bool lucida = fontInstalled(L"Lucida Console");
    return CreateFontW(-kFontPx, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN, lucida ? L"Lucida Console" : L"Courier New");
}

std::wstring withCrLf(const std::string& lfText) { return wide(replaceAll(lfText, "\n", "\r\n")); }

// The log's line (not the edit's wrapped row) that holds the character at position.
int logLineAt(const std::wstring& text, int position) {
    int line = 0;
    for (int i = 0; i < position && i < int(text.size()); ++i)
        if (text[std::size_t(i)] == L'\n') ++line;
    return line;
}

} // namespace

ProjectLogWindow::ProjectLogWindow(HINSTANCE instance, HWND owner, Engine& engine, const Clock& clock)
    : m_instance(instance), m_owner(owner), m_model(engine.edits(), clock) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kLogClass;
    RegisterClassW(&wc);
    m_font = logFont();
    m_white = CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
    g_run = this;
}

ProjectLogWindow::~ProjectLogWindow() {
    if (g_run == this) g_run = nullptr;
    if (m_window) DestroyWindow(m_window);
    DeleteObject(m_font);
    DeleteObject(m_white);
}

ProjectLogWindow* ProjectLogWindow::ofRun() { return g_run; }

void ProjectLogWindow::create() {
    HMENU bar = CreateMenu();
    m_file = CreatePopupMenu();
    AppendMenuW(m_file, MF_STRING, IDM_Save2, L"Save");
    AppendMenuW(m_file, MF_STRING, IDM_Save1, L"Export");
    AppendMenuW(m_file, MF_STRING, IDM_Close1, L"Quit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(m_file), L"  File  ");

    const DWORD style = WS_OVERLAPPEDWINDOW, exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOPMOST;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, TRUE, exStyle);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    // On top, as the options window is, and above it: made after it. Owned by the run's
    // hidden window, not by the options window, so that it stays open until the run ends.
    m_window = CreateWindowExW(exStyle, kLogClass, L" Project log", style, area.left + (area.right - area.left - w) / 2,
                               area.top + (area.bottom - area.top - h) / 2, w, h, m_owner, bar, m_instance, this);
    SendMessageW(m_window, WM_SETICON, ICON_BIG, 0); // the caption shows no icon

    m_edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
                                 ES_WANTRETURN | ES_NOHIDESEL,
                             0, 0, kClientWidth, kClientHeight, m_window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LogMemo1)), m_instance, nullptr);
    SendMessageW(m_edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    SendMessageW(m_edit, EM_SETLIMITTEXT, 0, 0); // as long as the log grows
    SetWindowLongPtrW(m_edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(m_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(textProc)));

    setText(m_model.shownText());
    setSaveEnabled(m_saveEnabled);
}

void ProjectLogWindow::show() {
    if (!m_window) create();
    if (m_model.replaceOnShow(text())) {
        setText(m_model.shownText());
        setSaveEnabled(true); // the text was replaced: a change like any other
    }
    ShowWindow(m_window, SW_SHOWNORMAL);
    SetForegroundWindow(m_window);
    SetFocus(m_edit);
}

void ProjectLogWindow::setText(const std::string& lfText) {
    m_settingText = true;
    SetWindowTextW(m_edit, withCrLf(lfText).c_str());
    m_settingText = false;
    SendMessageW(m_edit, EM_SETSEL, 0, 0);
    SendMessageW(m_edit, EM_SCROLLCARET, 0, 0);
    guardAt(0);
}

std::string ProjectLogWindow::text() const {
    return m_edit ? replaceAll(narrow(windowText(m_edit)), "\r\n", "\n") : std::string();
}

void ProjectLogWindow::setSaveEnabled(bool enabled) {
    m_saveEnabled = enabled;
    if (!m_file) return;
    EnableMenuItem(m_file, IDM_Save2, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The heading: wherever the first character an edit would change lies on one of the first
// five lines, the text is read-only. Read-only, the caret still moves with the keys, so it
// can leave the heading again.
void ProjectLogWindow::guardAt(int position) {
    const bool editable = ProjectLogModel::editableLine(logLineAt(windowText(m_edit), position));
    const bool readOnly = (GetWindowLongW(m_edit, GWL_STYLE) & ES_READONLY) != 0;
    if (editable == readOnly) SendMessageW(m_edit, EM_SETREADONLY, !editable, 0);
}

// The first character a typed character would change: the selection's start, or the one
// before the caret for a Backspace (which at the start of the sixth line would join it to
// the heading).
int ProjectLogWindow::firstChangedByChar(WPARAM ch) const {
    DWORD start = 0, end = 0;
    SendMessageW(m_edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start == end && ch == L'\b' && start > 0) return int(start) - 1;
    return int(start);
}

LRESULT CALLBACK ProjectLogWindow::textProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ProjectLogWindow*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
    switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
        self->guardAt(self->firstChangedByChar(message == WM_CHAR ? wParam : (wParam == VK_BACK ? L'\b' : 0)));
        break;
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_CONTEXTMENU: self->guardAt(self->firstChangedByChar(0)); break;
    default: break;
    }
    const LRESULT result = CallWindowProcW(self->m_editProc, edit, message, wParam, lParam);
    // Where the caret went decides for the next key (and for the context menu's commands).
    if (message == WM_KEYUP || message == WM_LBUTTONUP || (message == WM_KEYDOWN && wParam != VK_BACK))
        self->guardAt(self->firstChangedByChar(0));
    return result;
}

LRESULT CALLBACK ProjectLogWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ProjectLogWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || self->m_window != window) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT ProjectLogWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE: MoveWindow(m_edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE); return 0;
    case WM_SETFOCUS: SetFocus(m_edit); return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: // read-only over the heading, still white
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0xFF, 0xFF, 0xFF));
        return reinterpret_cast<LRESULT>(m_white);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_LogMemo1:
            if (HIWORD(wParam) == EN_CHANGE && !m_settingText) setSaveEnabled(true);
            return 0;
        case IDM_Save2: saveLog(); return 0;
        case IDM_Save1: exportLog(); return 0;
        case IDM_Close1: close(); return 0;
        default: break;
        }
        break;
    case WM_CLOSE: close(); return 0;
    case WM_DESTROY:
        m_window = m_edit = nullptr;
        m_file = nullptr;
        return 0;
    default: break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void ProjectLogWindow::close() { ShowWindow(m_window, SW_HIDE); }

void ProjectLogWindow::exportLog() {
    wchar_t chosen[MAX_PATH * 4] = L""; // the dialog starts with no name
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_window;
    dialog.lpstrFilter = L"text (*.txt)\0*.txt\0";
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = DWORD(std::size(chosen));
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return; // cancelled: the window stays open
    std::string error;
    if (!ProjectLogModel::exportTo(narrow(chosen), text(), error)) {
        MessageBeep(MB_OK);
        showMessageBox(m_window, MessageKind::Error, error);
        return;
    }
    close();
}

void ProjectLogWindow::saveLog() {
    std::string error;
    if (!m_model.save(text(), error)) {
        // The run keeps the edited text; the window stays open with it, Save still usable.
        MessageBeep(MB_OK);
        showMessageBox(m_window, MessageKind::Error, error);
        return;
    }
    setSaveEnabled(false);
    close();
}

} // namespace kp::win
