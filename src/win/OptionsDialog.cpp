#include "win/OptionsDialog.h"

#include <commctrl.h>

#include <vector>

#include <shellapi.h>

#include "engine/AboutModel.h"
#include "engine/OptionsModel.h"
#include "engine/RunLimits.h"
#include "engine/StatesModel.h"
#include "platform/Clock.h"
#include "win/Foreground.h"
#include "win/LinkLabel.h"
#include "win/MessageBoxes.h"
#include "win/Overlay.h"
#include "win/ProjectLogWindow.h"
#include "win/SettingsPage.h"
#include "win/StateActions.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

struct Dialog {
    Engine& engine;
    OptionsModel model;
    StatesModel states;
    SettingsPage settings;
    OptionsChoice choice;
    std::vector<std::string> lastParts;
    WNDPROC commentProc = nullptr;
    bool lineRed = false; // the message line's text is red, else white
};

// TimerFN: the repeated-minute countdown, once a second while it runs.
constexpr UINT_PTR kTimerFN = 1;

// The controls of each page, in the order of the tabs.
const std::vector<int> kPages[] = {
    {IDC_Label6, IDC_ComboBox2, IDC_Label16, IDC_Label1, IDC_Memo1, IDC_Label14, IDC_Edit6, IDC_Label17, IDC_Edit8,
     IDC_Label15, IDC_Edit10, IDC_CheckBox5, IDC_Label4, IDOK, IDCANCEL, IDC_Edit13},
    {IDC_Label3, IDC_ListBox1, IDC_Memo3, IDC_Label20, IDC_Label21, IDC_Label22, IDC_Label18, IDC_CheckBox1,
     IDC_CheckBox2, IDC_Button3},
    SettingsPage::controls(),
    {IDC_Label25, IDC_Label26, IDC_Label27, IDC_Label24, IDC_Label28, IDC_Label29, IDC_Label23},
};
const wchar_t* const kTabNames[] = {L"Storing", L"Tools", L"Settings", L"About"};

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
    if (Dialog* d = dialogOf(dialog)) d->lineRed = line.red;
    setText(dialog, IDC_Label4, line.text);
    ShowWindow(GetDlgItem(dialog, IDC_Label4), line.visible ? SW_SHOW : SW_HIDE);
}

// The comment box: Return makes a line break, Ctrl+Return is OK and Escape is Cancel.
LRESULT CALLBACK commentProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND dialog = GetParent(edit);
    Dialog* d = dialogOf(dialog);
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (message == WM_KEYDOWN && wParam == VK_RETURN && ctrl) {
        // Only while OK may be used: not during the repeated minute, nor without write access.
        if (IsWindowEnabled(GetDlgItem(dialog, IDOK))) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\n') return 0; // what Ctrl+Return types
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return CallWindowProcW(d->commentProc, edit, message, wParam, lParam);
}

void showPage(HWND dialog, int page) {
    for (int p = 0; p < 4; ++p)
        for (int id : kPages[p]) ShowWindow(GetDlgItem(dialog, id), p == page ? SW_SHOW : SW_HIDE);
    const int focus[4] = {IDC_Memo1, IDC_ListBox1, IDC_ComboBox1, IDC_Memo1};
    SetFocus(GetDlgItem(dialog, focus[page >= 0 && page < 4 ? page : 0]));
    MessageLine line;
    if (page == 0 && dialogOf(dialog)->model.storingTabLine(line)) showMessageLine(dialog, line);
}

// The window became active: the run's situation decides the message line, which buttons
// may be used and whether the repeated-minute countdown runs.
void countdownTick(HWND dialog, Dialog& d);

void onActivated(HWND dialog, Dialog& d) {
    const Activation a = d.model.activate();
    if (a.lineChanged) showMessageLine(dialog, a.line);
    EnableWindow(GetDlgItem(dialog, IDOK), a.okEnabled);
    EnableWindow(GetDlgItem(dialog, IDC_CheckBox2), d.states.recoveryAllowed(a.recoveryEnabled));
    if (a.replaceDisabled) EnableWindow(GetDlgItem(dialog, IDC_Button3), FALSE);
    if (a.countdown) {
        if (SetTimer(dialog, kTimerFN, 1000, nullptr)) countdownTick(dialog, d);
    } else {
        KillTimer(dialog, kTimerFN);
    }
    if (a.focusStatus) SetFocus(GetDlgItem(dialog, IDC_ComboBox2));
}

void countdownTick(HWND dialog, Dialog& d) {
    const CountdownTick t = d.model.countdownTick();
    if (!t.finished) {
        showMessageLine(dialog, t.line);
        return;
    }
    KillTimer(dialog, kTimerFN);
    showMessageLine(dialog, {"", false, false});
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_CheckBox2), d.states.recoveryAllowed(true));
}

void statusChosen(HWND dialog, Dialog& d) {
    HWND status = GetDlgItem(dialog, IDC_ComboBox2);
    SetDlgItemTextW(status, IDC_Edit15, windowText(status).c_str());
    showMessageLine(dialog, d.model.chooseStatus(int(SendMessageW(status, CB_GETCURSEL, 0, 0))));
}

void fillStates(HWND dialog, Dialog& d) {
    HWND list = GetDlgItem(dialog, IDC_ListBox1);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : d.states.items())
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
    setText(dialog, IDC_Label18, d.states.countText());
}

void showState(HWND dialog, Dialog& d, int row) {
    const StateView v = d.states.view(row);
    setText(dialog, IDC_Label3, "Path: " + v.folderText);
    setText(dialog, IDC_Label21, v.position);
    std::string comment;
    if (!v.archive.empty()) {
        const StateComment c = StatesModel::readComment(v.archive);
        comment = c.status == StateComment::Status::Unreadable ? c.failure->text : c.text;
        tellUnreadComment(dialog, c);
    }
    std::string shown; // the edit breaks lines at CR LF
    for (char ch : comment) {
        if (ch == '\n') shown += '\r';
        shown += ch;
    }
    setText(dialog, IDC_Memo3, shown);
}

void showArming(HWND dialog, const Arming& a) {
    CheckDlgButton(dialog, IDC_CheckBox2, a.checked ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_Button3), a.replaceEnabled);
    EnableWindow(GetDlgItem(dialog, IDC_Memo3), a.commentEnabled);
}

void armRecovery(HWND dialog, Dialog& d) {
    const bool checked = IsDlgButtonChecked(dialog, IDC_CheckBox2) == BST_CHECKED;
    showArming(dialog, d.states.arm(checked, d.model.activate().recoveryEnabled));
}

void listFocused(HWND dialog, Dialog& d) {
    if (IsDlgButtonChecked(dialog, IDC_CheckBox2) != BST_CHECKED) return;
    showArming(dialog, d.states.listFocused(d.model.activate().recoveryEnabled));
}

OptionsChoice readChoice(HWND dialog, Dialog& d) {
    OptionsChoice c;
    c.projectStatus = d.model.status();
    c.comment = OptionsModel::storedComment(itemText(dialog, IDC_Memo1));
    c.addVersion = IsDlgButtonChecked(dialog, IDC_CheckBox5) == BST_CHECKED;
    c.versionPart1 = itemText(dialog, IDC_Edit6);
    c.versionPart2 = itemText(dialog, IDC_Edit8);
    c.versionPart3 = itemText(dialog, IDC_Edit10);
    return c;
}

#ifndef KP_HOME_PAGE
#define KP_HOME_PAGE ""
#endif

std::string programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return narrow(path.substr(0, path.find_last_of(L'\\')));
}

// The "Home page" link: the project's page when the build names one, else the user guide.
HomePage currentHomePage() { return homePage(KP_HOME_PAGE, findHelp(programFolder(), kHelpFileName, "help")); }

// The help file opens with the system's own viewer of .chm files.
void openHelp(HWND dialog);

void openHomePage(HWND dialog) {
    const HomePage page = currentHomePage();
    if (page.address.empty()) {
        openHelp(dialog); // says the help file is missing
        return;
    }
    ShellExecuteW(dialog, L"open", wide(page.address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The help file opens with the system's own viewer of .chm files.
void openHelp(HWND dialog) {
    const HelpLocation help = findHelp(programFolder(), kHelpFileName, "help");
    if (help.chm.empty()) {
        MessageBeep(MB_OK);
        showMessageBox(dialog, MessageKind::Plain, kHelpFileMissing);
        return;
    }
    ShellExecuteW(dialog, L"open", wide(help.chm).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void initAbout(HWND dialog) {
    setText(dialog, IDC_Label25, AboutModel::productLine());
    setText(dialog, IDC_Label26, AboutModel::notice());
    setText(dialog, IDC_Label24, currentHomePage().shown);
    setText(dialog, IDC_Label29, kHelpFileName);
    HFONT base = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW big{};
    GetObjectW(base, sizeof(big), &big);
    big.lfHeight = -20;
    big.lfWeight = FW_BOLD;
    SendDlgItemMessageW(dialog, IDC_Label25, WM_SETFONT, reinterpret_cast<WPARAM>(CreateFontIndirectW(&big)), FALSE);
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
    HWND status = GetDlgItem(dialog, IDC_ComboBox2);
    for (const std::string& item : OptionsModel::statusItems())
        SendMessageW(status, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
    SendMessageW(status, CB_SETCURSEL, WPARAM(d.model.status()), 0);
    SetWindowTextW(layOver(status, IDC_Edit15, {}), windowText(status).c_str());
    setText(dialog, IDC_Label16, d.model.diskSpaceText());
    d.lastParts = d.model.takeLastVersion();
    const int edits[3] = {IDC_Edit6, IDC_Edit8, IDC_Edit10};
    for (int i = 0; i < 3; ++i) {
        setText(dialog, edits[i], d.lastParts[std::size_t(i)]);
        SendDlgItemMessageW(dialog, edits[i], EM_SETLIMITTEXT, WPARAM(kVersionPartLength[i]), 0);
    }
    showVersionRow(dialog, d, false);
    HWND tabs = GetDlgItem(dialog, IDC_PageControl1);
    RECT client;
    GetClientRect(dialog, &client);
    SetWindowPos(tabs, HWND_BOTTOM, 2, 2, client.right - 4, client.bottom - 4, 0);
    for (int i = 0; i < 4; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kTabNames[i]);
        SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    fillStates(dialog, d);
    d.settings.init(dialog);
    initAbout(dialog);
    makeLink(GetDlgItem(dialog, IDC_Edit13));
    SendDlgItemMessageW(dialog, IDC_ListBox1, LB_SETCURSEL, 0, 0);
    showState(dialog, d, 0);
    HWND comment = GetDlgItem(dialog, IDC_Memo1);
    d.commentProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(comment, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(commentProc)));
    bringToForeground(dialog);
    SetFocus(comment);
    onActivated(dialog, d);
    MessageLine line;
    if (d.model.storingTabLine(line)) showMessageLine(dialog, line);
}

// "Replace chosen state": the engine checks the request and tells the user why it refuses;
// an accepted request stores the present state with the restore's note, as OK does.
void requestRestore(HWND dialog, Dialog& d) {
    if (IsDlgButtonChecked(dialog, IDC_CheckBox2) != BST_CHECKED) return;
    const int row = int(SendDlgItemMessageW(dialog, IDC_ListBox1, LB_GETCURSEL, 0, 0));
    const std::string chosen = d.states.chosenForRestore(row);
    if (chosen.empty()) return;
    const std::optional<OptionsChoice> accepted = OptionsModel::requestRestore(d.engine, chosen, readChoice(dialog, d));
    if (!accepted) return;
    d.choice = *accepted;
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initDialog(dialog, *reinterpret_cast<Dialog*>(lParam));
        return FALSE; // the focus is set: the comment box
    }
    Dialog* d = dialogOf(dialog);
    if (!d) return FALSE;
    INT_PTR result = FALSE;
    if (d->settings.handle(dialog, message, wParam, lParam, result)) return result;
    if (message == WM_ACTIVATE) {
        if (LOWORD(wParam) != WA_INACTIVE) onActivated(dialog, *d);
        return FALSE;
    }
    if (message == WM_TIMER && wParam == kTimerFN) {
        countdownTick(dialog, *d);
        return TRUE;
    }
    if (message == WM_CTLCOLORSTATIC) {
        // Labels and check boxes lie on the tab's white page; the links are blue. Read-only
        // edits ask too, and keep the system's grey.
        wchar_t kind[16];
        HWND control = reinterpret_cast<HWND>(lParam);
        GetClassNameW(control, kind, 16);
        if (lstrcmpiW(kind, L"Static") != 0 && lstrcmpiW(kind, L"Button") != 0) return FALSE;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        const int id = GetDlgCtrlID(control);
        if (id == IDC_Label4) {
            // The message line stands on navy: a red that reads there, or white.
            static HBRUSH navy = CreateSolidBrush(RGB(0, 0, 0x80));
            SetTextColor(dc, d->lineRed ? RGB(0xFF, 0x50, 0x50) : RGB(0xFF, 0xFF, 0xFF));
            return reinterpret_cast<INT_PTR>(navy);
        }
        if (id == IDC_Label24 || id == IDC_Label29) SetTextColor(dc, RGB(0, 0, 0xFF));
        if (id == IDC_Edit13) SetTextColor(dc, RGB(0, 0, 0x80));
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    if (message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == GetDlgItem(dialog, IDC_ListBox1)) {
        showStateMenu(dialog, reinterpret_cast<HWND>(wParam), d->states, d->engine.state(), lParam);
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_PageControl1 && header->code == TCN_SELCHANGE)
            showPage(dialog, int(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK: {
        if (!IsWindowEnabled(GetDlgItem(dialog, IDOK))) return TRUE;
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
    case IDC_ComboBox2:
        if (HIWORD(wParam) == CBN_SELCHANGE) statusChosen(dialog, *d);
        return TRUE;
    case IDC_CheckBox5:
        if (HIWORD(wParam) == BN_CLICKED)
            showVersionRow(dialog, *d, IsDlgButtonChecked(dialog, IDC_CheckBox5) == BST_CHECKED);
        return TRUE;
    case IDC_ListBox1:
        if (HIWORD(wParam) == LBN_DBLCLK) openStateArchive(dialog, reinterpret_cast<HWND>(lParam), d->states);
        if (HIWORD(wParam) == LBN_SELCHANGE)
            showState(dialog, *d, int(SendDlgItemMessageW(dialog, IDC_ListBox1, LB_GETCURSEL, 0, 0)));
        else if (HIWORD(wParam) == LBN_SETFOCUS)
            listFocused(dialog, *d);
        return TRUE;
    case IDC_CheckBox2:
        if (HIWORD(wParam) == BN_CLICKED) armRecovery(dialog, *d);
        return TRUE;
    case IDC_Button3: requestRestore(dialog, *d); return TRUE;
    case IDC_Label24:
        if (HIWORD(wParam) == STN_CLICKED) openHomePage(dialog);
        return TRUE;
    case IDC_Label29:
        if (HIWORD(wParam) == STN_CLICKED) openHelp(dialog);
        return TRUE;
    case IDC_Edit13: // the project log window, not modal
        if (HIWORD(wParam) == STN_CLICKED)
            if (ProjectLogWindow* log = ProjectLogWindow::ofRun()) log->show(dialog);
        return TRUE;
    case IDC_Label23:
        if (HIWORD(wParam) == STN_CLICKED) {
            if (const auto number = AboutModel::fixedNumber(d->engine.state())) {
                MessageBeep(MB_OK);
                showMessageBox(dialog, MessageKind::Plain, *number);
            }
        }
        return TRUE;
    default: return FALSE;
    }
}

} // namespace

OptionsChoice runOptionsDialog(HINSTANCE instance, HWND owner, Engine& engine,
                               std::function<void(CardVisibility)> setCardVisibility) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    SettingsPageContext settings;
    settings.showMessageLine = showMessageLine;
    settings.setCardVisibility = std::move(setCardVisibility);
    Dialog d{engine,   OptionsModel(engine.edits(), systemClock()), StatesModel(engine.state()),
             SettingsPage(engine.edits(), settings), {}, {}, nullptr};
    d.choice.projectStatus = d.model.status();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_FOPT), owner, dialogProc, reinterpret_cast<LPARAM>(&d));
    return d.choice;
}

} // namespace kp::win
