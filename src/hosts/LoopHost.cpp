#include "hosts/LoopHost.h"

#include <stdexcept>

namespace kp {

void LoopHost::armTimer(int ms) {
    std::lock_guard lock(m_mutex);
    m_timer = Clock::now() + std::chrono::milliseconds(m_instantTimers ? 0 : ms);
    m_wake.notify_all();
}

void LoopHost::stopTimer() {
    std::lock_guard lock(m_mutex);
    m_timer.reset();
}

void LoopHost::post(std::function<void()> fn) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back(std::move(fn));
    m_wake.notify_all();
}

void LoopHost::requestClose() {
    std::lock_guard lock(m_mutex);
    m_closeRequested = true;
    m_wake.notify_all();
}

void LoopHost::run(Engine& engine) {
    engine.shown();
    for (;;) {
        std::function<void()> work;
        bool tick = false, close = false;
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                if (m_closeRequested) {
                    m_closeRequested = false;
                    close = true;
                    break;
                }
                if (!m_posted.empty()) {
                    work = std::move(m_posted.front());
                    m_posted.pop_front();
                    break;
                }
                if (m_timer && Clock::now() >= *m_timer) {
                    m_timer.reset();
                    tick = true;
                    break;
                }
                if (!m_timer && !engine.writerRunning())
                    throw std::logic_error("the run stalled: no timer, no writer and no close request");
                if (m_timer) m_wake.wait_until(lock, *m_timer);
                else m_wake.wait(lock);
            }
        }
        if (close) {
            if (engine.closeQuery()) return;
        } else if (work) {
            work();
        } else if (tick) {
            engine.timerTick();
        }
    }
}

} // namespace kp
