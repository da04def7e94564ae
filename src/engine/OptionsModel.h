// What the options window shows and which of its controls may be used, decided here so
// that every front end shows the same run the same way. The window shows these values and
// passes on what the user did; it decides nothing itself.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "engine/Host.h"
#include "engine/RunEdits.h"
#include "platform/Clock.h"

namespace kp {

class Engine;

// The message line below the version row.
struct MessageLine {
    std::string text;
    bool visible = false;
    bool red = false; // else the window-text colour
    bool operator==(const MessageLine&) const = default;
};

// What the window looks like each time it becomes active.
struct Activation {
    MessageLine line;
    bool lineChanged = true;      // false: keep the line as it is (the countdown writes it)
    bool okEnabled = true;
    bool recoveryEnabled = true;  // the Tools tab's "Activate project recovery" box
    bool replaceDisabled = false; // "Replace chosen state" disabled; never enabled from here
    bool countdown = false;       // the repeated-minute countdown runs
    bool focusStatus = false;     // the status box takes the focus
};

struct CountdownTick {
    MessageLine line;
    bool finished = false; // a new minute began: OK and recovery usable again
};

struct VersionRow {
    std::string caption; // "new v." or "last  v."
    bool grey = false;
    bool editsEnabled = false;
    bool resetParts = false; // the edits go back to the run's version parts
};

class OptionsModel {
public:
    OptionsModel(RunEdits edits, const Clock& clock) : m_edits(edits), m_s(edits.state()), m_clock(clock) {}

    std::string caption() const; // "   Site - Kestrelpad"
    static std::vector<std::string> statusItems(); // "  default", ...
    int status() const { return m_s.values.projectStatus; }
    const std::string& diskSpaceText() const { return m_s.diskSpaceText; }
    // The window is made: the run's version parts become the last version's, which the
    // version edits show at first.
    std::vector<std::string> takeLastVersion();
    // The run's version parts: the last version's, or those of the last OK accepted. The
    // edits go back to them when " Add new version" is unticked.
    std::vector<std::string> versionParts() const;

    Activation activate() const;
    // The Storing tab came into view: the mistaken-settings line, or nothing to change.
    bool storingTabLine(MessageLine& line) const;
    // The user chose a status in the status box.
    MessageLine chooseStatus(int index);
    CountdownTick countdownTick();
    static VersionRow versionRow(bool addVersion);

    // The check of OK: empty when the version parts are valid, else the whole message
    // ("Check value for ...") to show while the window stays open.
    static std::string okProblem(const OptionsChoice& choice);

    // The comment as it is stored, its lines joined by CR LF, from the comment box's text
    // (lines joined by LF, or by CR LF already); and back, as the box shows it.
    static std::string storedComment(const std::string& boxText);
    static std::string shownComment(const std::string& stored);

    // The Tools tab's "Replace chosen state": the engine checks the request and tells the
    // user itself why it refuses (busy files, a damaged state); nothing then, and the window
    // stays open. An accepted request closes the window as OK does, storing the present state
    // with the restore's note before the comment typed, and without a new version.
    static std::optional<OptionsChoice> requestRestore(Engine& engine, const std::string& chosen,
                                                       const OptionsChoice& typed);

private:
    RunEdits m_edits;
    const RunState& m_s;
    const Clock& m_clock;
    bool m_waitOver = false; // the repeated minute's countdown ran out while the window is up
};

} // namespace kp
