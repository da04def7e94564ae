// What the Tools tab shows of the stored states and when its restore controls may be used,
// decided here so that the tab only shows these values and passes on what the user did.
//
// Rows are counted as the list shows them: row 0 is the newest state. The run state keeps
// its lists oldest first, so row r is the list's entry count - 1 - r.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "engine/RunState.h"

namespace kp {

// A key about to move the list's selection (the tab asks before the list moves it).
enum class ListKey { Other, Up, Down };

// Path and position of the selected state.
struct StateView {
    std::string archive;    // full path of its archive; empty for an empty list
    std::string folderText; // the archive's folder, shortened to kFolderWidth characters
    std::string folderHint; // the whole folder when it had to be shortened, else empty
    std::string position;   // 1 = newest; "0" for an empty list
};

// What the tab's controls become after " Activate project recovery" changed.
struct Arming {
    bool checked = false;        // the box (a tick on an empty or widened list does not hold)
    bool replaceEnabled = false; // "Replace chosen state"
    bool commentEnabled = true;  // the comment view is out of use while armed
    bool focusList = true;       // disarmed: the focus goes back to the list
};

// What a double click on the list does.
struct OpenAction {
    enum class Kind { Nothing, Open, Missing }; // Missing: tell the user the archive has gone
    Kind kind = Kind::Nothing;
    std::string archive;
};

struct StateComment {
    enum class Status { Read, Missing, Unreadable };
    Status status = Status::Read;
    std::string text;  // lines joined by "\n"
    std::optional<Failure> failure; // when Unreadable: the archive kit's text
};

class StatesModel {
public:
    static constexpr int kFolderWidth = 60;

    explicit StatesModel(const RunState& state) : m_s(state) {}

    // " Add parent directories": the states of every enclosing folder project as well.
    void showEnclosing(bool on) { m_enclosing = on; }
    bool enclosing() const { return m_enclosing; }

    bool empty() const { return shown().empty(); }
    // The list's lines: archive file names, newest first, or the one placeholder line.
    std::vector<std::string> items() const;
    std::string countText() const { return std::to_string(shown().size()); }

    // The row that Up or Down is about to select (other keys leave the row).
    int rowAfterKey(int row, ListKey key) const;
    // The row a press in the list selects; rowAtPoint is -1 for a press below the last line,
    // which selects the oldest state.
    int rowForPress(int rowAtPoint) const;
    StateView view(int row) const;
    // The archive of the row, or empty for the placeholder or a row out of range.
    std::string archiveAt(int row) const;

    // Reads only the archive's end record, which the comment follows: quick for any state.
    static StateComment readComment(const std::string& archive);
    // A double click on the row opens its archive with the desktop's program for it.
    OpenAction openAction(int row) const;

    // Recovery may be activated when the window allows it and the project's own states are
    // listed: the row of a widened list names a state of another project.
    bool recoveryAllowed(bool windowAllows) const { return windowAllows && !m_enclosing && !empty(); }
    Arming arm(bool checked, bool windowAllows) const;
    // The list takes the focus: choosing a state comes first, then arming, so the list
    // taking the focus disarms.
    Arming listFocused(bool windowAllows) const { return arm(false, windowAllows); }
    // The state a restore request names: the row's entry of the project's own states, or
    // empty when the list shown is not that one.
    std::string chosenForRestore(int row) const;

private:
    const std::vector<std::string>& shown() const {
        return m_enclosing ? m_s.archives.enclosingStates : m_s.archives.storedStates;
    }

    const RunState& m_s;
    bool m_enclosing = false;
};

} // namespace kp
