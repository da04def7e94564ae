#include "win/StateActions.h"

#include <shellapi.h>
#include <windowsx.h>

#include "store/Messages.h"
#include "win/ChangesDialog.h"
#include "win/CopyOutDialog.h"
#include "win/MessageBoxes.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

// The row under the pointer becomes the selected one, shown as a click shows it; outside
// the rows (or from the keyboard) the selection stays. Returns the row and where the menu goes.
int rowForMenu(HWND dialog, HWND list, LPARAM at, POINT& where) {
    int row = int(SendMessageW(list, LB_GETCURSEL, 0, 0));
    where = {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (where.x == -1 && where.y == -1) {
        RECT r{4, 4, 4, 4};
        if (row >= 0) SendMessageW(list, LB_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&r));
        where = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(list, &where);
        return row;
    }
    POINT inList = where;
    ScreenToClient(list, &inList);
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(inList.x, inList.y));
    if (HIWORD(hit) == 0 && int(LOWORD(hit)) != row) {
        row = int(LOWORD(hit));
        SendMessageW(list, LB_SETCURSEL, WPARAM(row), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }
    return row;
}

} // namespace

void showStateMenu(HWND dialog, HWND list, const StatesModel& states, const Project& project, LPARAM at) {
    // The states of enclosing folders belong to other projects: nothing to compare here.
    if (states.enclosing() || states.empty()) return;
    POINT where{};
    const int row = rowForMenu(dialog, list, at, where);
    if (row < 0) return;
    const std::string archive = states.archiveAt(row);
    if (archive.empty()) return;
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, IDM_ShowChanges, L"Show changes\u2026");
    AppendMenuW(menu, MF_STRING, IDM_CopyOut, L"Copy files out\u2026");
    const UINT chosen = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                            where.x, where.y, 0, dialog, nullptr));
    DestroyMenu(menu);
    if (chosen == IDM_ShowChanges) runChangesDialog(dialog, project, archive);
    else if (chosen == IDM_CopyOut) runCopyOutDialog(dialog, project, archive);
}

void tellUnreadComment(HWND dialog, const StateComment& comment) {
    if (comment.status == StateComment::Status::Read || !IsWindowVisible(GetDlgItem(dialog, IDC_ListBox1))) return;
    if (comment.status == StateComment::Status::Missing) {
        MessageBeep(MB_OK);
        showMessageBox(dialog, MessageKind::Plain, msg::kZipFileNotFound);
    } else {
        showMessageBox(dialog, MessageKind::Error, comment.failure->text);
    }
}

void openStateArchive(HWND dialog, HWND list, const StatesModel& states) {
    const OpenAction a = states.openAction(int(SendMessageW(list, LB_GETCURSEL, 0, 0)));
    switch (a.kind) {
    case OpenAction::Kind::Nothing: SendMessageW(list, LB_SETCURSEL, 0, 0); break;
    case OpenAction::Kind::Open: {
        std::wstring path = wide(a.archive);
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        ShellExecuteW(dialog, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        break;
    }
    case OpenAction::Kind::Missing:
        MessageBeep(MB_OK);
        showMessageBox(dialog, MessageKind::Plain, msg::kZipFileNotFound);
        break;
    }
}

} // namespace kp::win
