#include "win/ChangesDialog.h"

#include "engine/ChangesModel.h"
#include "win/ListView.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

struct Changes {
    ChangesModel model;
};

Changes* changesOf(HWND dialog) { return reinterpret_cast<Changes*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void fillRows(HWND dialog, const Changes& c) {
    HWND list = GetDlgItem(dialog, IDC_ChangesList);
    const std::string filter = narrow(windowText(GetDlgItem(dialog, IDC_ChangesFilter)));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const auto& rows = c.model.rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (c.model.rowShown(rows[i], filter)) addRow(list, {rows[i].change, rows[i].path, rows[i].size}, LPARAM(i));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void initChanges(HWND dialog, Changes& c) {
    SetWindowTextW(dialog, wide(c.model.caption()).c_str());
    SendDlgItemMessageW(dialog, IDC_ChangesFilter, EM_SETCUEBANNER, TRUE,
                        reinterpret_cast<LPARAM>(L"Filter: part of a path, or a pattern such as docs/*.txt"));
    HWND list = GetDlgItem(dialog, IDC_ChangesList);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    addColumn(list, 0, L"Change", 90);
    addColumn(list, 1, L"Path", 390);
    addColumn(list, 2, L"Size (bytes)", 105, true);
    HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    c.model.load();
    SetCursor(before);
    fillRows(dialog, c);
    SetDlgItemTextW(dialog, IDC_ChangesSummary, wide(c.model.summaryText()).c_str());
}

INT_PTR CALLBACK changesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initChanges(dialog, *reinterpret_cast<Changes*>(lParam));
        return TRUE;
    }
    Changes* c = changesOf(dialog);
    if (!c || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_ChangesFilter:
        if (HIWORD(wParam) == EN_CHANGE) fillRows(dialog, *c);
        return TRUE;
    case IDOK:
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

} // namespace

void runChangesDialog(HWND owner, const Project& project, const std::string& archive) {
    Changes c{ChangesModel(project, archive)};
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CHANGES), owner, changesProc,
                    reinterpret_cast<LPARAM>(&c));
}

} // namespace kp::win
