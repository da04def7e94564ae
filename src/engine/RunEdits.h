// The door through which the windows' models change a run: each edit is a value the user
// chose, checked and applied here, so that no window writes the run state itself. The
// engine hands one out (Engine::edits()); a model holds it together with the read-only
// state it shows.
#pragma once
#include <string>
#include <vector>

#include "engine/RunState.h"

namespace kp {

class RunEdits {
public:
    explicit RunEdits(RunState& state) : m_s(&state) {}

    const RunState& state() const { return *m_s; }

    // The options window opens: the first time in a run, the run's version parts become the
    // last version's, cut to what the version edits hold (kVersionPartLength). Returns the
    // run's version parts.
    std::vector<std::string> takeLastVersion();
    // A status chosen in the status box; a chosen status other than "default" answers the
    // request for one. False (nothing changed) for an index outside the four statuses.
    bool chooseStatus(int index);
    // The Settings tab's Save: the edited values take effect in this run at once.
    void applySettings(const SettingsValues& edited);
    // setting.ini was written: the warning about mistaken or unreadable settings is answered.
    void settingsSaved();
    // The project log window's Save: the next store carries this text (CR LF line ends) on.
    // The caller then writes it into the newest archive.
    void setLatestLog(std::string text);

private:
    RunState* m_s;
};

} // namespace kp
