// The engine's host in the desktop program: Qt timers drive the run, the writer's reports
// are marshalled to the user-interface thread, messages are message boxes and the options
// step is the modal options window.
#pragma once
#include <QObject>
#include <QTimer>

#include "engine/Engine.h"
#include "engine/Host.h"

namespace kp::ui {

class ProgressCard;
class OptionsWindow;

class QtHost : public QObject, public Host {
    Q_OBJECT
public:
    QtHost();

    void attach(Engine& engine, ProgressCard& card, OptionsWindow& options);

    void beep() override;
    void showMessage(MessageKind kind, const std::string& text) override;
    OptionsChoice openOptions(const RunState& state) override;
    void armTimer(int ms) override;
    void stopTimer() override;
    void post(std::function<void()> fn) override;
    void progress(ProgressScope scope, int percent) override;
    void repaint(const RunState& state) override;
    void requestClose() override;

    // Tests: the interval the run asked for last, and a factor that shortens every interval.
    int lastInterval() const { return m_lastInterval; }
    void setTimerScale(double scale) { m_timerScale = scale; }
    bool timerActive() const { return m_timer.isActive(); }

private:
    Engine* m_engine = nullptr;
    ProgressCard* m_card = nullptr;
    OptionsWindow* m_options = nullptr;
    QTimer m_timer; // Timer1
    int m_lastInterval = 0;
    double m_timerScale = 1.0;
};

} // namespace kp::ui
