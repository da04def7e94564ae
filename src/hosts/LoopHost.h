// A host without windows: a small event loop that delivers the run's timer ticks, the
// writer's posted results and close requests to the engine in one thread. kpad, the
// headless desktop program and the tests build on it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "engine/Engine.h"
#include "engine/Host.h"

namespace kp {

class LoopHost : public Host {
public:
    // instantTimers: ticks fire at once instead of after their interval (no card to click).
    explicit LoopHost(bool instantTimers = true) : m_instantTimers(instantTimers) {}

    void armTimer(int ms) override;
    void stopTimer() override;
    void post(std::function<void()> fn) override;
    void requestClose() override;

    // Runs the started engine until its close query lets the run end.
    void run(Engine& engine);

private:
    using Clock = std::chrono::steady_clock;
    bool m_instantTimers;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_posted;
    std::optional<Clock::time_point> m_timer;
    bool m_closeRequested = false;
};

} // namespace kp
