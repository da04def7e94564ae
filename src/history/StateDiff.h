// What changed between two states of the project, or between a stored state and the
// present: files and folders added and deleted, and files modified. A file is modified when
// its size differs, or its content does as far as it can be told cheaply: two stored items
// compare by CRC; a present file whose time differs from its stored item's is read for its
// CRC, so a file that was only touched is not a change.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "history/ProjectState.h"

namespace kp {

enum class ChangeKind { Added, Deleted, Modified };

struct StateChange {
    ChangeKind kind = ChangeKind::Modified;
    std::string path; // item name; a folder's ends in "/" (folders are only added or deleted)
    bool isFolder = false;
    std::uint64_t oldSize = 0; // in the older state; 0 when added
    std::uint64_t newSize = 0; // in the newer state; 0 when deleted
};

// The changes sorted by path, or why a state could not be read (see readStoredState).
using StateDiff = Result<std::vector<StateChange>>;

// from is the older side, to the newer one (the present, when to.folder is set).
std::vector<StateChange> compareStates(const ProjectState& from, const ProjectState& to);

// A stored state (a full path among the project's states) against the project on disk.
StateDiff diffWithPresent(const Project& project, const std::string& archive);
// Two stored states: from the older to the newer.
StateDiff diffBetween(const Project& project, const std::string& fromArchive, const std::string& toArchive);

struct DiffSummary {
    std::size_t added = 0, deleted = 0, modified = 0;
    std::uint64_t addedBytes = 0, deletedBytes = 0;
    std::int64_t modifiedDelta = 0; // bytes the modified files grew by (negative: shrank)
};
DiffSummary summarize(const std::vector<StateChange>& changes);

} // namespace kp
