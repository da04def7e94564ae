// What the project log window shows and does: the newest archive's project.log as this run
// knows it, its guarded heading, Export to a text file and Save back into the newest archive.
// The window's text uses LF line breaks; the log itself keeps CR LF.
#pragma once
#include <string>

#include "engine/RunEdits.h"
#include "platform/Clock.h"

namespace kp {

class ProjectLogModel {
public:
    ProjectLogModel(RunEdits edits, const Clock& clock) : m_edits(edits), m_s(edits.state()), m_clock(clock) {}

    // The log's five-line heading cannot be edited: an edit is allowed only when the first
    // character it changes lies on the sixth line or later (line index 5). A line break
    // that ends the fifth line belongs to the heading too.
    static constexpr int kGuardedLines = 5;
    static bool editableLine(int lineIndex) { return lineIndex >= kGuardedLines; }

    // The run's latest log text as the window shows it.
    std::string shownText() const;
    // A showing of the window starts from the last saved text: true when the window's text
    // differs from it (an edit that was not saved) and must be replaced.
    bool replaceOnShow(const std::string& windowText) const { return windowText != shownText(); }

    // Export: ".txt" is appended unless the name's extension, in any case, is ".txt"
    // already ("history" -> "history.txt", "notes.log" -> "notes.log.txt").
    static std::string exportFileName(const std::string& chosen);
    // The window's lines, each ended by CR LF.
    static std::string exportText(const std::string& windowText);
    // Writes the file (under exportFileName(chosen)); false with error set on failure.
    static bool exportTo(const std::string& chosen, const std::string& windowText, std::string& error);

    // Save: the run's latest log text takes the window's text, so the next store carries
    // the edited history on; then, when the project has an archive, the newest archive's
    // "_kpad_/project.log" is replaced by it. The archive is rewritten completely aside and
    // renamed over the old one, so a failure leaves it as it was; false with error set then.
    bool save(const std::string& windowText, std::string& error);

private:
    RunEdits m_edits;
    const RunState& m_s;
    const Clock& m_clock;
};

} // namespace kp
