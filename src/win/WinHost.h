// The engine's host in the Windows program: a hidden window owns the run's timer (Timer1),
// receives the writer's reports in the user-interface thread and owns the card, so that the
// card gets no taskbar button.
#pragma once
#include <windows.h>

#include "engine/Engine.h"
#include "engine/Host.h"

namespace kp::win {

class Card;

class WinHost : public Host {
public:
    explicit WinHost(HINSTANCE instance);
    ~WinHost() override;

    void attach(Engine& engine) { m_engine = &engine; }
    void setCard(Card& card) { m_card = &card; }
    HWND ownerWindow() const { return m_window; }

    void beep() override;
    void showMessage(MessageKind kind, const std::string& text) override;
    OptionsChoice openOptions(const RunState& state) override;
    void armTimer(int ms) override;
    void stopTimer() override;
    void post(std::function<void()> fn) override;
    void progress(ProgressScope scope, int percent) override;
    void repaint(const RunState& state) override;
    void requestClose() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_instance;
    HWND m_window = nullptr;
    Engine* m_engine = nullptr;
    Card* m_card = nullptr;
};

} // namespace kp::win
