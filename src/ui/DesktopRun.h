// One run of the desktop program: the host, the engine and the three windows, made in the
// order a run needs them (the card first, whose making runs the start-up sequence, then
// the options window and the project log window).
#pragma once
#include <memory>
#include <string>

#include "engine/Engine.h"
#include "ui/OptionsWindow.h"
#include "ui/ProgressCard.h"
#include "ui/ProjectLogWindow.h"
#include "ui/QtHost.h"
#include "ui/WheelToArrowKeys.h"

namespace kp::ui {

class DesktopRun {
public:
    explicit DesktopRun(const Clock& clock);
    ~DesktopRun();

    // Starts the run of a checked parameter and shows the card as the settings ask.
    void start(const std::string& param, bool ctrlHeld);

    Engine& engine() { return m_engine; }
    QtHost& host() { return m_host; }
    ProgressCard& card() { return *m_card; }
    OptionsWindow& options() { return *m_options; }
    ProjectLogWindow& logWindow() { return *m_log; }

private:
    const Clock& m_clock;
    QtHost m_host;
    WheelToArrowKeys m_wheel; // for every window of the run
    Engine m_engine;
    std::unique_ptr<ProgressCard> m_card;
    std::unique_ptr<ProjectLogWindow> m_log;
    std::unique_ptr<OptionsWindow> m_options;
};

} // namespace kp::ui
