// The report list views of the state windows: columns and rows of text.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "win/Text.h"

namespace kp::win {

inline void addColumn(HWND list, int index, const wchar_t* caption, int width, bool rightAligned = false) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(caption);
    SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(index), reinterpret_cast<LPARAM>(&column));
}

// Appends a row; data is kept with it (the row's index in the model).
inline int addRow(HWND list, const std::vector<std::string>& cells, LPARAM data) {
    const int at = int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::wstring text = wide(cells.empty() ? std::string() : cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = at;
    item.pszText = text.data();
    item.lParam = data;
    const int row = int(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (std::size_t c = 1; c < cells.size(); ++c) {
        std::wstring cell = wide(cells[c]);
        LVITEMW sub{};
        sub.iSubItem = int(c);
        sub.pszText = cell.data();
        SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&sub));
    }
    return row;
}

inline LPARAM rowData(HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam;
}

} // namespace kp::win
