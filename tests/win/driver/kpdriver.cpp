// kpdriver: drives kestrelpad.exe's windows from a second Windows program by window messages,
// for the window tests under Wine. One command a run; texts are read and printed as UTF-8.
//
//   kpdriver wait WINDOW [CLASS]      waits for a visible top-level window; prints its handle
//   kpdriver gone WINDOW              waits until no such window is visible
//   kpdriver text WINDOW CONTROL      the control's text (WM_GETTEXT); CONTROL "." is the window
//   kpdriver texts WINDOW             every child control: id, class, state and text, a line each
//   kpdriver state WINDOW CONTROL     "visible|hidden enabled|disabled [checked|unchecked]"
//   kpdriver click WINDOW CONTROL     presses a button (BM_CLICK, posted: a message box may follow)
//   kpdriver tab WINDOW CONTROL INDEX picks a tab (TCM_SETCURSEL)
//   kpdriver list WINDOW CONTROL      a list box's rows, a line each, the chosen one marked "* "
//   kpdriver select WINDOW CONTROL ROW  chooses a row of a list or combo box, as a click would
//   kpdriver updown WINDOW CONTROL POS  sets an up-down's position (UDM_SETPOS32)
//   kpdriver settext WINDOW CONTROL TEXT  sets a control's text (WM_SETTEXT; a combo box's edit)
//   kpdriver command WINDOW ID        posts WM_COMMAND ID (a menu item), as the menu would
//
// WINDOW is a handle printed by wait (0x...), or a caption: exact, or "*TAIL" for one that
// ends with TAIL. CONTROL is a control's name from src/win/resource.h (Edit6, CheckBox5, OK,
// Cancel, ...) or its number. Waits last KPDRIVER_TIMEOUT seconds (10 unless set). Exit
// status: 0 done, 1 not found or timed out, 2 misuse.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "kpdriver_ids.h" // kControlIds: the names and numbers of resource.h

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void print(const std::wstring& line) {
    const std::string bytes = utf8(line) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

[[noreturn]] void fail(int status, const std::wstring& why) {
    std::fflush(stdout);
    const std::string bytes = "kpdriver: " + utf8(why) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::exit(status);
}

std::wstring textOf(HWND window) {
    // WM_GETTEXT crosses processes (the system copies the text back); GetWindowText would
    // not ask another process's control.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(std::size_t(length) + 1, L'\0');
    const LRESULT got = SendMessageW(window, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(got));
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

bool captionMatches(const std::wstring& caption, const std::wstring& which) {
    if (!which.empty() && which[0] == L'*') {
        const std::wstring tail = which.substr(1);
        return caption.size() >= tail.size() && caption.compare(caption.size() - tail.size(), tail.size(), tail) == 0;
    }
    return caption == which;
}

struct Search {
    std::wstring caption, windowClass;
    HWND found = nullptr;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if (!s->windowClass.empty() && classOf(window) != s->windowClass) return TRUE;
    if (!captionMatches(textOf(window), s->caption)) return TRUE;
    s->found = window;
    return FALSE;
}

HWND findVisible(const std::wstring& which, const std::wstring& windowClass) {
    if (which.rfind(L"0x", 0) == 0) {
        HWND window = reinterpret_cast<HWND>(std::wcstoull(which.c_str(), nullptr, 16));
        return IsWindow(window) && IsWindowVisible(window) ? window : nullptr;
    }
    Search s{which, windowClass};
    EnumWindows(visitTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

DWORD timeoutMs() {
    const wchar_t* seconds = _wgetenv(L"KPDRIVER_TIMEOUT");
    return DWORD((seconds ? std::wcstod(seconds, nullptr) : 10.0) * 1000);
}

// Polls until the window is there (or, with `present` false, gone).
HWND waitFor(const std::wstring& which, const std::wstring& windowClass, bool present) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = findVisible(which, windowClass);
        if ((window != nullptr) == present) return window;
        if (GetTickCount() - start > timeoutMs())
            fail(1, present ? L"no window " + which : L"still shown: " + which);
        Sleep(50);
    }
}

HWND window(const std::wstring& which) {
    HWND w = findVisible(which, L"");
    if (!w) fail(1, L"no window " + which);
    return w;
}

int controlId(const std::wstring& name) {
    if (name == L".") return 0;
    if (!name.empty() && iswdigit(name[0])) return int(std::wcstol(name.c_str(), nullptr, 10));
    for (const auto& [known, id] : kControlIds)
        if (name == known) return id;
    fail(2, L"unknown control " + name);
}

struct ChildSearch {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK visitChild(HWND c, LPARAM param) {
    auto* s = reinterpret_cast<ChildSearch*>(param);
    if (GetDlgCtrlID(c) != s->id) return TRUE;
    s->found = c;
    return FALSE;
}

// The window's own control of that number, else one deeper down (laid over another control,
// a child of it).
HWND control(HWND parent, const std::wstring& name) {
    ChildSearch s{controlId(name)};
    if (s.id == 0) return parent;
    if (HWND own = GetDlgItem(parent, s.id)) return own;
    EnumChildWindows(parent, visitChild, reinterpret_cast<LPARAM>(&s));
    if (!s.found) fail(1, L"no control " + name);
    return s.found;
}

BOOL CALLBACK visitEdit(HWND c, LPARAM param) {
    if (classOf(c) != L"Edit") return TRUE;
    *reinterpret_cast<HWND*>(param) = c;
    return FALSE;
}

// A combo box's text is its edit's.
HWND editOf(HWND c) {
    HWND edit = nullptr;
    if (classOf(c) != L"Edit") EnumChildWindows(c, visitEdit, reinterpret_cast<LPARAM>(&edit));
    return edit ? edit : c;
}

std::wstring stateOf(HWND c) {
    std::wstring s = IsWindowVisible(c) ? L"visible" : L"hidden";
    s += IsWindowEnabled(c) ? L" enabled" : L" disabled";
    if (classOf(c) == L"Button") {
        const LONG style = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
        if (style == BS_CHECKBOX || style == BS_AUTOCHECKBOX || style == BS_RADIOBUTTON || style == BS_AUTORADIOBUTTON)
            s += SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? L" checked" : L" unchecked";
    }
    return s;
}

BOOL CALLBACK printChild(HWND c, LPARAM) {
    print(std::to_wstring(GetDlgCtrlID(c)) + L"\t" + classOf(c) + L"\t" + stateOf(c) + L"\t" + textOf(c));
    return TRUE;
}

void listRows(HWND list) {
    const bool combo = classOf(list) == L"ComboBox";
    const LRESULT count = SendMessageW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    const LRESULT chosen = SendMessageW(list, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = SendMessageW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(row), 0);
        std::wstring text(std::size_t(length > 0 ? length : 0) + 1, L'\0');
        const LRESULT got =
            SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(row), reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::size_t(got > 0 ? got : 0));
        print((row == chosen ? L"* " : L"") + text);
    }
}

// A row chosen by a message tells nobody; the owner hears of it as it would of a click.
void selectRow(HWND list, int row) {
    const bool combo = classOf(list) == L"ComboBox";
    SendMessageW(list, combo ? CB_SETCURSEL : LB_SETCURSEL, WPARAM(row), 0);
    const WORD code = combo ? CBN_SELCHANGE : LBN_SELCHANGE;
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), code), reinterpret_cast<LPARAM>(list));
}

void usage() { fail(2, L"usage: kpdriver wait|gone|text|texts|state|click|tab|list|select|updown|settext|command ..."); }

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3) usage();
    const std::wstring command = argv[1];
    const std::wstring which = argv[2];
    auto arg = [&](int i) -> std::wstring {
        if (i >= argc) usage();
        return argv[i];
    };
    if (command == L"wait") {
        wchar_t handle[32];
        std::swprintf(handle, 32, L"0x%llx", static_cast<unsigned long long>(
                                                   reinterpret_cast<UINT_PTR>(waitFor(which, argc > 3 ? argv[3] : L"", true))));
        print(handle);
    } else if (command == L"gone") {
        waitFor(which, L"", false);
    } else if (command == L"text") {
        print(textOf(control(window(which), arg(3))));
    } else if (command == L"texts") {
        EnumChildWindows(window(which), printChild, 0);
    } else if (command == L"state") {
        print(stateOf(control(window(which), arg(3))));
    } else if (command == L"click") {
        PostMessageW(control(window(which), arg(3)), BM_CLICK, 0, 0);
    } else if (command == L"tab") {
        HWND tabs = control(window(which), arg(3));
        SendMessageW(tabs, TCM_SETCURSEL, WPARAM(std::wcstol(arg(4).c_str(), nullptr, 10)), 0);
    } else if (command == L"list") {
        listRows(control(window(which), arg(3)));
    } else if (command == L"select") {
        selectRow(control(window(which), arg(3)), int(std::wcstol(arg(4).c_str(), nullptr, 10)));
    } else if (command == L"updown") {
        SendMessageW(control(window(which), arg(3)), UDM_SETPOS32, 0, LPARAM(std::wcstol(arg(4).c_str(), nullptr, 10)));
    } else if (command == L"settext") {
        SendMessageW(editOf(control(window(which), arg(3))), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(4).c_str()));
    } else if (command == L"command") {
        PostMessageW(window(which), WM_COMMAND, WPARAM(controlId(arg(3))), 0);
    } else {
        usage();
    }
    std::fflush(stdout);
    return 0;
}
