// Runs the desktop program's windows on the offscreen platform against temporary projects,
// with an injected clock and every message box answered by the seam.
#pragma once
#include <QApplication>
#include <QLabel>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "support/TempDir.h"
#include "ui/DesktopRun.h"
#include "ui/MessageBox.h"

namespace kp::test {

class UiFixture {
public:
    UiFixture();
    ~UiFixture();

    // A project "Site" with two files, and optionally its first state stored already.
    std::string makeSite(bool stored = false);
    void at(int year, int month, int day, int hour, int minute, int second = 10);
    // Stores the project's present state with kpad at a local time ("2010-12-03 15:10:00"),
    // with a comment, as an earlier run would have.
    void storeState(const std::string& project, const std::string& when, const std::string& comment = "");

    // Starts a run of the project; its timers run ten times faster than the program's.
    ui::DesktopRun& start(const std::string& project, bool ctrlHeld = false);
    ui::DesktopRun& run() { return *m_run; }
    bool finished() const { return m_finished; }
    // Waits until the card has faded out (the run ended).
    bool waitFinished(int ms = 15000);

    // Each dialog the options window shows runs this (once per showing, in order).
    void onOptions(std::function<void(ui::OptionsWindow&)> step) { m_optionSteps.push_back(std::move(step)); }

    // The user's setting.ini, and writing it with this UserPreferences value before a run.
    std::string settingsFile() const;
    void userPreferences(const std::string& prefs);

    std::vector<std::string> archives() const; // file names in Site/#tarnel, sorted
    std::string comment(const std::string& archiveFileName) const;

    std::vector<ui::MessageBox::Shown> messages;
    TempDir dir;
    FixedClock clock{0};

    template <typename T> static T* find(QWidget* root, const char* objectName) {
        return root->findChild<T*>(QString::fromLatin1(objectName));
    }

    // The value a screen reader reads from a label: its name when it has none of its own,
    // else its description.
    static QString heard(QLabel* label);
    // The labels under root, by object name, whose value a screen reader would not read
    // as shown.
    static QStringList unreadValues(QWidget* root);

private:
    std::unique_ptr<ui::DesktopRun> m_run;
    std::vector<std::function<void(ui::OptionsWindow&)>> m_optionSteps;
    std::size_t m_nextStep = 0;
    bool m_finished = false;
    std::string m_savedConfig;
};

} // namespace kp::test
