// What the "Show changes…" window shows: the differences between a stored state and the
// project as it is now, as rows of text, their summary, and which rows a filter keeps.
// Read-only towards the project and its archives.
#pragma once
#include <string>
#include <vector>

#include "history/StateDiff.h"
#include "store/Project.h"

namespace kp {

struct ChangeRow {
    std::string change; // "added", "deleted" or "modified"
    std::string path;   // the item's name, as stored
    std::string size;   // in bytes; "old → new" when modified; empty for a folder
};

class ChangesModel {
public:
    ChangesModel(const Project& project, std::string archive);

    std::string caption() const; // "Changes since NAME.zip"
    // Compares the state with the project on disk (reads the present files that changed time).
    void load();
    const std::vector<ChangeRow>& rows() const { return m_rows; }
    // The line under the list: the error when a side could not be read, else the counts.
    std::string summaryText() const;
    // A filter with a wildcard is a pattern over the path, as kpad takes it; any other text
    // keeps the rows whose path contains it, ignoring case. An empty filter keeps every row.
    bool rowShown(const ChangeRow& row, const std::string& filter) const;

    static ChangeRow rowOf(const StateChange& change);

private:
    const Project& m_project;
    std::string m_archive;
    StateDiff m_diff = std::vector<StateChange>{};
    std::vector<ChangeRow> m_rows;
};

} // namespace kp
