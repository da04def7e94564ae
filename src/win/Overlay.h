// A borderless read-only edit laid over another control's text (a value edit, a drop-down
// list's field), as the options window shows its choices. It never takes the focus: clicks
// go through to the control below, which keeps the focus; its text is grey while that
// control lacks the focus, when asked. The control below also passes its Up and Down arrow
// keys to the dialog as kStepValue (wParam its identifier, lParam 1 for up).
#pragma once
#include <windows.h>

namespace kp::win {

inline constexpr UINT kStepValue = WM_APP + 20;

struct OverlayStyle {
    bool greyWithoutFocus = false;
    bool rightAligned = false;
    bool arrowKeysStep = false;
};

// Lays an overlay with the identifier id over `under`'s text area; returns it.
HWND layOver(HWND under, int id, OverlayStyle style);

} // namespace kp::win
