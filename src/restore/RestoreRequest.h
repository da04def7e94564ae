// Asking for a stored state to be put back. The request changes nothing on disk: it checks
// that no project file is held open by another program and that the chosen archive is
// intact and safe to extract, then arranges that this run first stores the present state
// (with a note in its comment) and replaces the project's files only after that new
// archive has passed its check.
#pragma once
#include <string>
#include <vector>

#include "app/Host.h"
#include "app/RunState.h"

namespace kp {

// Relative paths of the project's files that another program has open.
std::vector<std::string> busyProjectFiles(const RunState& state);

// Why the chosen archive must not be restored, or empty: an item whose data does not match
// its CRC, or one that would land outside the project. Throws ArchiveError when the archive
// cannot be read at all.
std::string restoreProblem(const RunState& state, const std::string& archivePath);

// Runs the checks, tells the user through host when one refuses, and on success records the
// request in the run state. currentComment is the comment typed so far; the note goes before it.
bool requestRestore(RunState& state, const std::string& archivePath, const std::string& currentComment, Host& host);

// The note that the new state's comment begins with.
std::string restoreNote(const std::string& archiveFileName);

} // namespace kp
