#include "win/WheelToArrowKeys.h"

#include <windows.h>

namespace kp::win {

namespace {

HHOOK hook = nullptr;
int pending = 0; // wheel units not yet a whole notch (fine-grained wheels and touchpads)

LRESULT CALLBACK wheelHook(int code, WPARAM removing, LPARAM lParam) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && removing == PM_REMOVE && msg->message == WM_MOUSEWHEEL) {
        const int delta = GET_WHEEL_DELTA_WPARAM(msg->wParam);
        if ((delta > 0) != (pending > 0)) pending = 0;
        pending += delta;
        HWND target = GetFocus();
        if (!target || (pending < WHEEL_DELTA && pending > -WHEEL_DELTA)) {
            msg->message = WM_NULL; // part of a notch, or nothing to type into
        } else {
            const bool up = pending > 0;
            pending += up ? -WHEEL_DELTA : WHEEL_DELTA;
            // The message is dispatched as the key press; its release follows it.
            msg->hwnd = target;
            msg->message = WM_KEYDOWN;
            msg->wParam = up ? VK_UP : VK_DOWN;
            msg->lParam = 0;
            PostMessageW(target, WM_KEYUP, msg->wParam, LPARAM(0xC0000001));
        }
    }
    return CallNextHookEx(hook, code, removing, lParam);
}

} // namespace

void installWheelToArrowKeys() {
    if (!hook) hook = SetWindowsHookExW(WH_GETMESSAGE, wheelHook, nullptr, GetCurrentThreadId());
}

} // namespace kp::win
