#include "win/OptionsDialog.h"

#include <vector>

#include "engine/OptionsModel.h"
#include "platform/Clock.h"
#include "win/MessageBoxes.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

struct Dialog {
    OptionsModel model;
    OptionsChoice choice;
    std::vector<std::string> lastParts;
    WNDPROC commentProc = nullptr;
};

Dialog* dialogOf(HWND dialog) { return reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void setText(HWND dialog, int id, const std::string& text) { SetDlgItemTextW(dialog, id, wide(text).c_str()); }
std::string itemText(HWND dialog, int id) { return narrow(windowText(GetDlgItem(dialog, id))); }

void showVersionRow(HWND dialog, Dialog& d, bool addVersion) {
    const VersionRow row = OptionsModel::versionRow(addVersion);
    setText(dialog, IDC_Label14, row.caption);
    const int edits[3] = {IDC_Edit6, IDC_Edit8, IDC_Edit10};
    for (int i = 0; i < 3; ++i) {
        if (row.resetParts) setText(dialog, edits[i], d.lastParts[std::size_t(i)]);
        EnableWindow(GetDlgItem(dialog, edits[i]), row.editsEnabled);
    }
}

void showMessageLine(HWND dialog, const MessageLine& line) {
    setText(dialog, IDC_Label4, line.text);
    ShowWindow(GetDlgItem(dialog, IDC_Label4), line.visible ? SW_SHOW : SW_HIDE);
}

// The comment box: Return makes a line break, Ctrl+Return is OK and Escape is Cancel.
LRESULT CALLBACK commentProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND dialog = GetParent(edit);
    Dialog* d = dialogOf(dialog);
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (message == WM_KEYDOWN && wParam == VK_RETURN && ctrl) {
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\n') return 0; // what Ctrl+Return types
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return CallWindowProcW(d->commentProc, edit, message, wParam, lParam);
}

OptionsChoice readChoice(HWND dialog, Dialog& d) {
    OptionsChoice c;
    c.projectStatus = d.model.status();
    // The edit joins lines by CR LF already, as they are stored.
    c.comment = itemText(dialog, IDC_Memo1);
    c.addVersion = IsDlgButtonChecked(dialog, IDC_CheckBox5) == BST_CHECKED;
    c.versionPart1 = itemText(dialog, IDC_Edit6);
    c.versionPart2 = itemText(dialog, IDC_Edit8);
    c.versionPart3 = itemText(dialog, IDC_Edit10);
    return c;
}

// The window's client area is 427 x 300 pixels whatever the dialog font measures.
void sizeClientArea(HWND dialog) {
    RECT frame{0, 0, 427, 300};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(dialog, GWL_STYLE)), FALSE, DWORD(GetWindowLongW(dialog, GWL_EXSTYLE)));
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2,
                 w, h, SWP_NOZORDER);
}

void initDialog(HWND dialog, Dialog& d) {
    sizeClientArea(dialog);
    SetWindowTextW(dialog, wide(d.model.caption()).c_str());
    const auto statuses = OptionsModel::statusItems();
    const int status = d.model.status();
    if (status >= 0 && std::size_t(status) < statuses.size()) setText(dialog, IDC_Edit15, statuses[std::size_t(status)]);
    setText(dialog, IDC_Label16, d.model.diskSpaceText());
    d.lastParts = d.model.versionParts();
    const int edits[3] = {IDC_Edit6, IDC_Edit8, IDC_Edit10};
    const int maxLengths[3] = {3, 3, 20};
    for (int i = 0; i < 3; ++i) {
        setText(dialog, edits[i], d.lastParts[std::size_t(i)]);
        SendDlgItemMessageW(dialog, edits[i], EM_SETLIMITTEXT, WPARAM(maxLengths[i]), 0);
    }
    showVersionRow(dialog, d, false);
    const Activation a = d.model.activate();
    if (a.lineChanged) showMessageLine(dialog, a.line);
    EnableWindow(GetDlgItem(dialog, IDOK), a.okEnabled);
    MessageLine line;
    if (d.model.storingTabLine(line)) showMessageLine(dialog, line);
    HWND comment = GetDlgItem(dialog, IDC_Memo1);
    d.commentProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(comment, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(commentProc)));
    SetForegroundWindow(dialog);
    SetFocus(comment);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initDialog(dialog, *reinterpret_cast<Dialog*>(lParam));
        return FALSE; // the focus is set: the comment box
    }
    Dialog* d = dialogOf(dialog);
    if (!d || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: {
        d->choice = readChoice(dialog, *d);
        d->choice.ok = true;
        // A bad version part keeps the window open.
        const std::string problem = OptionsModel::okProblem(d->choice);
        if (!problem.empty()) {
            MessageBeep(MB_OK);
            showMessageBox(dialog, MessageKind::Plain, problem);
            return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    case IDCANCEL:
        d->choice = readChoice(dialog, *d);
        d->choice.ok = false;
        d->choice.addVersion = false;
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case IDC_CheckBox5:
        if (HIWORD(wParam) == BN_CLICKED)
            showVersionRow(dialog, *d, IsDlgButtonChecked(dialog, IDC_CheckBox5) == BST_CHECKED);
        return TRUE;
    default: return FALSE;
    }
}

} // namespace

OptionsChoice runOptionsDialog(HINSTANCE instance, HWND owner, Engine&, RunState& state) {
    Dialog d{OptionsModel(state, systemClock()), {}, {}, nullptr};
    d.choice.projectStatus = d.model.status();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FOPT), owner, dialogProc, reinterpret_cast<LPARAM>(&d));
    return d.choice;
}

} // namespace kp::win
