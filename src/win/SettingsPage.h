// The options window's Settings page: the comment language, the train lengths with their
// up-downs, the capacity factor and the two visibility boxes, held aside until Save writes
// them into setting.ini. The rules of the values live in SettingsModel; the page shows them
// and passes on what the user did.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "engine/CardModel.h"
#include "engine/OptionsModel.h"
#include "engine/SettingsModel.h"

namespace kp::win {

struct SettingsPageContext {
    std::function<void(HWND dialog, const MessageLine&)> showMessageLine; // the Storing page's line
    std::function<void(CardVisibility)> setCardVisibility;
};

class SettingsPage {
public:
    SettingsPage(RunEdits edits, SettingsPageContext context);

    // The page's controls, shown and hidden with its tab.
    static const std::vector<int>& controls();
    void init(HWND dialog);
    // One of the dialog's messages: true when it was the page's (result then holds the
    // dialog procedure's answer).
    bool handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

private:
    void step(HWND dialog, SettingsModel::Value v, Step direction);
    void moveTo(HWND dialog, SettingsModel::Value v, int position);
    static LRESULT CALLBACK upDownProc(HWND upDown, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR value,
                                       DWORD_PTR page);
    void refresh(HWND dialog);
    void save(HWND dialog);

    SettingsModel m_model;
    SettingsPageContext m_context;
};

} // namespace kp::win
