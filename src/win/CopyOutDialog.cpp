#include "win/CopyOutDialog.h"

#include <shlobj.h>

#include <vector>

#include "engine/CopyOutModel.h"
#include "win/ListView.h"
#include "win/MessageBoxes.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

struct CopyOut {
    CopyOutModel model;
    std::vector<bool> chosen; // by the model's row, kept while the filter hides rows
    bool filling = false;
};

CopyOut* copyOutOf(HWND dialog) { return reinterpret_cast<CopyOut*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

std::string itemText(HWND dialog, int id) { return narrow(windowText(GetDlgItem(dialog, id))); }

std::vector<std::string> chosenPaths(const CopyOut& c) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < c.chosen.size(); ++i)
        if (c.chosen[i]) paths.push_back(c.model.rows()[i].path);
    return paths;
}

void updateButton(HWND dialog, const CopyOut& c) {
    EnableWindow(GetDlgItem(dialog, IDC_CopyButton),
                 CopyOutModel::copyEnabled(itemText(dialog, IDC_CopyFolder), chosenPaths(c).size()));
}

void fillRows(HWND dialog, CopyOut& c) {
    HWND list = GetDlgItem(dialog, IDC_CopyFiles);
    const std::string filter = itemText(dialog, IDC_CopyFilter);
    c.filling = true;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const auto& rows = c.model.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!CopyOutModel::rowShown(rows[i], filter)) continue;
        const int row = addRow(list, {rows[i].path, rows[i].size}, LPARAM(i));
        ListView_SetCheckState(list, row, c.chosen[i] ? TRUE : FALSE);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    c.filling = false;
}

void initCopyOut(HWND dialog, CopyOut& c) {
    SetWindowTextW(dialog, wide(c.model.caption()).c_str());
    SendDlgItemMessageW(dialog, IDC_CopyFilter, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Filter: part of a path"));
    HWND list = GetDlgItem(dialog, IDC_CopyFiles);
    const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    addColumn(list, 0, L"Path", 480);
    addColumn(list, 1, L"Size (bytes)", 105, true);
    SendDlgItemMessageW(dialog, IDC_CopyProgress, PBM_SETRANGE32, 0, 100);
    if (!c.model.load()) SetDlgItemTextW(dialog, IDC_CopyStatus, wide(c.model.loadError()).c_str());
    c.chosen.assign(c.model.rows().size(), false);
    fillRows(dialog, c);
    updateButton(dialog, c);
}

int CALLBACK startIn(HWND browser, UINT message, LPARAM, LPARAM folder) {
    if (message == BFFM_INITIALIZED && folder) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, folder);
    return 0;
}

void chooseFolder(HWND dialog) {
    const std::wstring current = windowText(GetDlgItem(dialog, IDC_CopyFolder));
    BROWSEINFOW browse{};
    browse.hwndOwner = dialog;
    browse.lpszTitle = L"Copy files to";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = startIn;
    browse.lParam = current.empty() ? 0 : reinterpret_cast<LPARAM>(current.c_str());
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse)) {
        wchar_t folder[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(chosen, folder)) SetDlgItemTextW(dialog, IDC_CopyFolder, folder);
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

// Copies the chosen files; true when every one was copied.
bool copyChosen(HWND dialog, CopyOut& c) {
    const std::vector<std::string> paths = chosenPaths(c);
    const std::string folder = itemText(dialog, IDC_CopyFolder);
    if (!CopyOutModel::copyEnabled(folder, paths.size())) return false;
    HWND progress = GetDlgItem(dialog, IDC_CopyProgress);
    const bool overwrite = IsDlgButtonChecked(dialog, IDC_CopyOverwrite) == BST_CHECKED;
    const CopyResult result = c.model.copy(paths, folder, overwrite, [progress](const CopyProgress& p) {
        SendMessageW(progress, PBM_SETPOS, WPARAM(CopyOutModel::percent(p)), 0);
        UpdateWindow(progress);
    });
    if (!result.existing.empty()) {
        showMessageBox(dialog, MessageKind::Plain, CopyOutModel::existingText(result.existing));
        return false;
    }
    if (!result.ok()) {
        showMessageBox(dialog, MessageKind::Error, result.errorText());
        return false;
    }
    SetDlgItemTextW(dialog, IDC_CopyStatus, wide(CopyOutModel::copiedText(result, folder)).c_str());
    return true;
}

// A row's tick changed (by click or Space): the choice follows it.
void rowChanged(HWND dialog, CopyOut& c, const NMLISTVIEW& change) {
    if (c.filling || !(change.uChanged & LVIF_STATE) || change.iItem < 0) return;
    if (((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0) return;
    HWND list = GetDlgItem(dialog, IDC_CopyFiles);
    const auto model = std::size_t(rowData(list, change.iItem));
    if (model < c.chosen.size()) c.chosen[model] = ListView_GetCheckState(list, change.iItem) != 0;
    updateButton(dialog, c);
}

INT_PTR CALLBACK copyOutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initCopyOut(dialog, *reinterpret_cast<CopyOut*>(lParam));
        return TRUE;
    }
    CopyOut* c = copyOutOf(dialog);
    if (!c) return FALSE;
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_CopyFiles && header->code == LVN_ITEMCHANGED)
            rowChanged(dialog, *c, *reinterpret_cast<const NMLISTVIEW*>(lParam));
        return FALSE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_CopyFilter:
        if (HIWORD(wParam) == EN_CHANGE) fillRows(dialog, *c);
        return TRUE;
    case IDC_CopyFolder:
        if (HIWORD(wParam) == EN_CHANGE) updateButton(dialog, *c);
        return TRUE;
    case IDC_CopyChooseFolder: chooseFolder(dialog); return TRUE;
    case IDOK: // Return: Copy, when it may be pressed
    case IDC_CopyButton:
        if (IsWindowEnabled(GetDlgItem(dialog, IDC_CopyButton)) && copyChosen(dialog, *c)) EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

} // namespace

void runCopyOutDialog(HWND owner, const Project& project, const std::string& archive) {
    CopyOut c{CopyOutModel(project, archive), {}, false};
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_COPYOUT), owner, copyOutProc,
                    reinterpret_cast<LPARAM>(&c));
}

} // namespace kp::win
