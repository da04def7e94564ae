#include "win/SettingsPage.h"

#include <commctrl.h>

#include "win/KeyboardLayouts.h"
#include "win/MessageBoxes.h"
#include "win/Overlay.h"
#include "win/Text.h"
#include "win/resource.h"

namespace kp::win {

namespace {

// Per value: the edit that holds it and the focus, the edit laid over it that shows it,
// and its up-down; in the order of SettingsModel::Value.
struct ValueControls {
    int edit, display, upDown;
};
constexpr ValueControls kValues[4] = {
    {IDC_Edit1, IDC_Edit7, IDC_UpDown1},
    {IDC_Edit3, IDC_Edit9, IDC_UpDown2},
    {IDC_Edit5, IDC_Edit11, IDC_UpDown3},
    {IDC_Edit4, IDC_Edit12, IDC_UpDown4},
};
// The column captions move the focus to their column's value.
constexpr int kColumnCaptions[3] = {IDC_Label10, IDC_Label11, IDC_Label8};

int valueOfControl(int id) {
    for (int v = 0; v < 4; ++v)
        if (kValues[v].edit == id || kValues[v].upDown == id) return v;
    return -1;
}

void setText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, wide(text).c_str());
}

} // namespace

SettingsPage::SettingsPage(RunEdits edits, SettingsPageContext context)
    : m_model(edits, commentLanguagesOfLayouts(loadedKeyboardLayouts())), m_context(std::move(context)) {}

const std::vector<int>& SettingsPage::controls() {
    static const std::vector<int> ids = {
        IDC_Label2,  IDC_ComboBox1, IDC_Label9,    IDC_Label10, IDC_Label11, IDC_Label8,
        IDC_Label5,  IDC_Edit1,     IDC_UpDown1,   IDC_Edit3,   IDC_UpDown2, IDC_Edit5,
        IDC_UpDown3, IDC_Label7,    IDC_Edit2,     IDC_Label12, IDC_Label13, IDC_Edit4,
        IDC_UpDown4, IDC_CheckBox4, IDC_CheckBox3, IDC_Label19, IDC_Button2};
    return ids;
}

void SettingsPage::init(HWND dialog) {
    HWND language = GetDlgItem(dialog, IDC_ComboBox1);
    for (const std::string& item : m_model.languageItems())
        SendMessageW(language, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
    SendMessageW(language, CB_SETCURSEL, WPARAM(m_model.selectedLanguage()), 0);
    HWND shown = layOver(language, IDC_Edit14, {true, false, false});
    SetWindowTextW(shown, windowText(language).c_str());
    for (int v = 0; v < 4; ++v) {
        const bool capacity = v == SettingsModel::Capacity;
        layOver(GetDlgItem(dialog, kValues[v].edit), kValues[v].display, {true, !capacity, true});
    }
    for (int v = 0; v < 4; ++v)
        SetWindowSubclass(GetDlgItem(dialog, kValues[v].upDown), upDownProc, UINT_PTR(v), reinterpret_cast<DWORD_PTR>(this));
    setText(dialog, IDC_Edit2, " 0.5 L");
    CheckDlgButton(dialog, IDC_CheckBox4, m_model.showWindowEdited() ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CheckBox3, m_model.showArchiveFolderEdited() ? BST_CHECKED : BST_UNCHECKED);
    refresh(dialog);
}

void SettingsPage::refresh(HWND dialog) {
    for (int i = 0; i < 4; ++i) {
        const auto v = SettingsModel::Value(i);
        const UpDown& u = m_model.upDown(v);
        HWND edit = GetDlgItem(dialog, kValues[i].edit);
        SetWindowTextW(edit, std::to_wstring(u.position).c_str());
        SetDlgItemTextW(edit, kValues[i].display, wide(m_model.displayText(v)).c_str());
        HWND upDown = GetDlgItem(dialog, kValues[i].upDown);
        SendMessageW(upDown, UDM_SETRANGE32, WPARAM(u.min), LPARAM(u.max));
        SendMessageW(upDown, UDM_SETPOS32, 0, LPARAM(u.position));
        EnableWindow(upDown, u.enabled);
    }
    HWND save = GetDlgItem(dialog, IDC_Button2);
    // A disabled Save would leave the keyboard nowhere: the focus goes back to the page's first control.
    if (!m_model.saveEnabled() && GetFocus() == save) SetFocus(GetDlgItem(dialog, IDC_ComboBox1));
    EnableWindow(save, m_model.saveEnabled());
}

void SettingsPage::step(HWND dialog, SettingsModel::Value v, Step direction) {
    SetFocus(GetDlgItem(dialog, kValues[v].edit));
    m_model.step(v, direction);
    refresh(dialog);
}

// An up-down's position set by a message (another program's: an accessibility tool's or the
// test driver's) moves its value by the model's steps, so the same bounds hold as for the
// arrows; the up-down then shows where the value stopped.
LRESULT CALLBACK SettingsPage::upDownProc(HWND upDown, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR value,
                                          DWORD_PTR page) {
    auto* self = reinterpret_cast<SettingsPage*>(page);
    const auto v = SettingsModel::Value(value);
    if (message != UDM_SETPOS32 || int(lParam) == self->m_model.upDown(v).position)
        return DefSubclassProc(upDown, message, wParam, lParam);
    const int before = self->m_model.upDown(v).position;
    self->moveTo(GetParent(upDown), v, int(lParam));
    return before;
}

void SettingsPage::moveTo(HWND dialog, SettingsModel::Value v, int position) {
    for (int now = m_model.upDown(v).position; now != position; now = m_model.upDown(v).position)
        if (!m_model.step(v, position > now ? Step::Up : Step::Down)) break;
    refresh(dialog);
}

void SettingsPage::save(HWND dialog) {
    const SettingsSaveResult r = m_model.save();
    if (!r.visibilityMessage.empty()) showMessageBox(dialog, MessageKind::Plain, r.visibilityMessage);
    if (r.cardVisibility && m_context.setCardVisibility) m_context.setCardVisibility(*r.cardVisibility);
    if (!r.written()) {
        MessageBeep(MB_OK);
        showMessageBox(dialog, MessageKind::Error, r.failure->text);
    }
    if (r.hideMessageLine && m_context.showMessageLine)
        m_context.showMessageLine(dialog, {"  ", false, false});
    refresh(dialog);
}

bool SettingsPage::handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    result = TRUE;
    if (message == kStepValue) {
        const int v = valueOfControl(int(wParam));
        if (v < 0) return false;
        step(dialog, SettingsModel::Value(v), lParam ? Step::Up : Step::Down);
        return true;
    }
    if (message == WM_CTLCOLORSTATIC) {
        // The value edits are read-only but look like any edit: their overlays show the values.
        if (valueOfControl(GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) < 0) return false;
        result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        return true;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        const int v = valueOfControl(int(header->idFrom));
        if (v < 0 || header->code != UDN_DELTAPOS) return false;
        // The model steps the value within its neighbours' bounds; the up-down's own change
        // is refused and follows the model's position.
        const auto* delta = reinterpret_cast<const NMUPDOWN*>(lParam);
        step(dialog, SettingsModel::Value(v), delta->iDelta > 0 ? Step::Up : Step::Down);
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return true;
    }
    if (message != WM_COMMAND) return false;
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    switch (id) {
    case IDC_ComboBox1:
        if (code == CBN_SELCHANGE) {
            const int index = int(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
            SetDlgItemTextW(GetDlgItem(dialog, id), IDC_Edit14, windowText(GetDlgItem(dialog, id)).c_str());
            m_model.chooseLanguage(index);
            refresh(dialog);
        }
        return true;
    case IDC_CheckBox4:
    case IDC_CheckBox3:
        if (code == BN_CLICKED) {
            const bool on = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
            if (id == IDC_CheckBox4)
                m_model.setShowWindow(on);
            else
                m_model.setShowArchiveFolder(on);
            refresh(dialog);
        }
        return true;
    case IDC_Button2:
        save(dialog);
        return true;
    case IDC_Label19:
        if (code == STN_CLICKED)
            if (const auto text = m_model.hiddenMessage()) showMessageBox(dialog, MessageKind::Plain, *text);
        return true;
    default:
        break;
    }
    for (int column = 0; column < 3; ++column) {
        if (id != kColumnCaptions[column]) continue;
        if (code == STN_CLICKED) SetFocus(GetDlgItem(dialog, kValues[column].edit));
        return true;
    }
    return false;
}

} // namespace kp::win
