#include "win/WinHost.h"

#include "win/Card.h"
#include "win/MessageBoxes.h"
#include "win/OptionsDialog.h"

namespace kp::win {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kPosted = WM_APP + 1; // lParam: a std::function<void()>* to run and delete
const wchar_t kOwnerClass[] = L"KestrelpadOwner";

} // namespace

WinHost::WinHost(HINSTANCE instance) : m_instance(instance) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kOwnerClass;
    RegisterClassW(&wc);
    // Not a message-only window: it owns the card, which keeps the card off the taskbar.
    m_window = CreateWindowExW(0, kOwnerClass, L"Kestrelpad", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
}

WinHost::~WinHost() {
    if (m_window) DestroyWindow(m_window);
}

LRESULT CALLBACK WinHost::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<WinHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_TIMER && wParam == kTimer1) {
        KillTimer(window, kTimer1); // one tick per arming
        if (self->m_engine) self->m_engine->timerTick();
        return 0;
    }
    if (message == kPosted) {
        auto* fn = reinterpret_cast<std::function<void()>*>(lParam);
        (*fn)();
        delete fn;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WinHost::beep() { MessageBeep(MB_OK); }

void WinHost::showMessage(MessageKind kind, const std::string& text) {
    HWND owner = GetActiveWindow();
    showMessageBox(owner, kind, text);
}

OptionsChoice WinHost::openOptions(const RunState&) {
    return runOptionsDialog(m_instance, m_window, *m_engine, [this](CardVisibility visibility) {
        if (m_card) m_card->setVisibility(visibility);
    });
}

void WinHost::armTimer(int ms) { SetTimer(m_window, kTimer1, UINT(ms), nullptr); }

void WinHost::stopTimer() { KillTimer(m_window, kTimer1); }

void WinHost::post(std::function<void()> fn) {
    // Called from the writer thread: the function runs in the user-interface thread.
    PostMessageW(m_window, kPosted, 0, reinterpret_cast<LPARAM>(new std::function<void()>(std::move(fn))));
}

void WinHost::progress(ProgressScope scope, int percent) {
    if (m_card) m_card->setProgress(scope, percent);
}

void WinHost::repaint(const RunState&) {
    if (m_card) m_card->refresh();
}

void WinHost::requestClose() {
    if (m_card) m_card->requestClose();
}

} // namespace kp::win
