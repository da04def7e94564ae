// A state of the project as a whole: every file and folder it held, with size, time and
// CRC, read from the archives' directories alone. A relative state is read together with
// its primary archive: the primary's items, less those the state lists as missing, with the
// state's own items in place of older ones. The present state is the project on disk,
// listed as a run lists it.
//
// These functions serve kpad and the Tools tab alike: plain structs in and out, and what
// went wrong as a Failure.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DosTime.h"
#include "platform/Result.h"
#include "store/Project.h"

namespace kp {

class ZipArchive;
class StateRecord;

struct StateEntry {
    std::string path; // item name, beginning with the project's name ("Site/docs/a.txt"); folders end in "/"
    bool isFolder = false;
    std::uint64_t size = 0;
    DosDateTime dosTime = 0;
    std::uint32_t crc32 = 0;
    bool hasCrc = false; // stored items carry one; a present file's is computed only when needed
    std::string archive; // the archive that holds the data (full path); empty for the present
};

struct ProjectState {
    std::string archive;             // the state's own archive (full path); empty for the present
    std::string primary;             // a relative state's primary archive; empty otherwise
    std::string folder;              // the present: the folder the paths start from ("/work/")
    std::vector<StateEntry> entries; // sorted by path (bytes), bookkeeping items left out
};

// Every stored state of the project (archive folder and repository), oldest first, full paths.
std::vector<std::string> projectStates(const Project& project);

// The state an argument names: a full path or a file name among the project's states.
// Empty when it names none.
std::string findState(const Project& project, const std::string& nameOrPath);

// The stored state whole. Internal when the archive or its primary cannot be read; Refused
// when the primary it names is not among the project's archives, or when it is named as a
// full state but its record names a primary.
Result<ProjectState> readStoredState(const Project& project, const std::string& archive);
// The same, leaving the state's own archive open in zip, for a caller that reads its data next.
Result<ProjectState> readStoredState(const Project& project, const std::string& archive, ZipArchive& zip);

// The full path of the primary archive that the relative state archive names (as its record
// writes it); Refused when it is not a full archive of the project.
Result<std::string> primaryArchiveOf(const Project& project, const std::string& archive, const std::string& named);

// Why a state archive named as a full one ("c" after its time) must not be used, or empty: its
// record names a primary archive, so it holds only what changed since that one. Extracted
// alone it would give an incomplete project; read with that primary, a state its name denies.
// diff, extract and restore all refuse it with this text ("the archive ...", no final stop).
std::string fullNameProblem(const Project& project, const std::string& archive, const StateRecord& record);
// The same check on an open archive: Refused with that text, or Internal when the record
// cannot be read.
Result<void> checkFullName(const Project& project, const std::string& archive, const ZipArchive& zip);

// Opens a stored state's archive for reading. The kit takes a path where nothing exists for
// a new, empty archive; a state that vanished must be a failure instead (Internal), not an
// empty state.
Result<void> openStoredArchive(ZipArchive& zip, const std::string& archive);

// The project as it is now, listed with the exclusions of a run (the archive folders).
ProjectState presentState(const Project& project);

} // namespace kp
