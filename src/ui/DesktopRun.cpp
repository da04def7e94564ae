#include "ui/DesktopRun.h"

namespace kp::ui {

DesktopRun::DesktopRun(const Clock& clock) : m_clock(clock), m_engine(m_host, clock) {}

DesktopRun::~DesktopRun() = default;

void DesktopRun::start(const std::string& param, bool ctrlHeld) {
    StartupInput input;
    input.param = param;
    input.ctrlHeld = ctrlHeld;
    m_engine.start(input);
    m_card = std::make_unique<ProgressCard>(m_engine);
    m_log = std::make_unique<ProjectLogWindow>(m_engine, m_clock);
    OptionsContext context{m_engine, m_clock, m_log.get(),
                           [this](CardVisibility v) { m_card->setWindowVisibility(v); }};
    m_options = std::make_unique<OptionsWindow>(std::move(context));
    m_host.attach(m_engine, *m_card, *m_options);
    const CardVisibility visibility = startVisibility(m_engine.state().values.showWindow);
    m_card->setWindowVisibility(visibility);
    if (visibility == CardVisibility::Hidden) m_engine.shown(); // a hidden card is never shown
}

} // namespace kp::ui
