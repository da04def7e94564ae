// Runs whole runs of the engine on temporary projects with an injected clock.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "engine/Engine.h"
#include "hosts/LoopHost.h"
#include "support/TempDir.h"

namespace kp::test {

class TestHost : public LoopHost {
public:
    struct Message {
        MessageKind kind;
        std::string text;
    };
    std::vector<Message> messages;
    int beeps = 0;
    int optionsShown = 0;
    // Each showing of the options window takes the next answer; OK with no comment when none is left.
    std::deque<OptionsChoice> answers;
    std::function<void(const RunState&)> onOptions;
    Engine* engine = nullptr; // the run being hosted, for requests made from the options window

    void beep() override { ++beeps; }
    void showMessage(MessageKind kind, const std::string& text) override { messages.push_back({kind, text}); }
    OptionsChoice openOptions(const RunState& state) override;
};

OptionsChoice okWith(const std::string& comment = "", int status = -1);

class EngineTest : public ::testing::Test {
protected:
    EngineTest();
    ~EngineTest() override;

    // One whole run of the project (a path relative to the temp folder) at the clock's time.
    RunOutcome runOnce(const std::string& project, TestHost& host, bool ctrlHeld = false);
    RunOutcome runOnce(const std::string& project) {
        TestHost host;
        return runOnce(project, host);
    }
    void at(int year, int month, int day, int hour, int minute);
    std::vector<std::string> archives(const std::string& archiveFolder) const; // file names, sorted
    std::vector<std::string> items(const std::string& archivePath) const;       // item names in order
    std::string member(const std::string& archivePath, const std::string& name) const;

    TempDir m_dir;
    FixedClock m_clock{0};
    std::string m_lastArchive;
    RunState m_lastState;
    bool m_lastIncomplete = false;
    std::optional<Failure> m_lastFailure;
    std::function<void(Engine&)> m_beforeRun;

private:
    std::string m_savedConfig;
};

} // namespace kp::test
