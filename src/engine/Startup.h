// The start-up sequence: from the checked parameter to a complete run state and an armed
// timer. It never stores and never shows a message: every problem becomes a flag of the
// run state (plus a beep) that makes the options window open before storing.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Host.h"
#include "engine/RunState.h"
#include "platform/Clock.h"
#include "platform/Result.h"

namespace kp {

struct StartupInput {
    std::string param;     // an absolute path that passed the entry checks
    bool ctrlHeld = false; // the user asked for the options window at start
};

// Sets the project item's names, kind, folder and archive folder from the parameter (an
// archive folder given as the parameter stands for the folder holding it).
void resolveProjectItem(RunState& state, const std::string& param);

// The folder whose lock keeps two runs off one project: the project folder itself, or the
// folder holding a one-file project (whose archive folder it shares).
std::string projectLockFolder(const RunState& state);

// Fills state and returns the timer interval of the first tick (500 ms when the options
// window must open first, else 2000 ms).
int runStartup(RunState& state, const StartupInput& input, const Clock& clock, Host& host);

// The stamp check before the card is shown: false (and the message text in message) when
// the clock stands before the latest archive's time, so no archive may be written.
bool clockWentBack(const RunState& state, std::string& message);

// The date check before the card is shown: false (and the message in message) when the clock
// stands outside the dates that archive names hold and the archive search accepts, so that
// an archive written now would never be found again.
bool clockOutOfRange(const Clock& clock, std::string& message);

// A project log larger than this is not read: a store refuses, rather than run out of memory.
inline constexpr std::uint64_t kMaxLogSize = 256u << 20;

// Reads "_kpad_/project.set" and "_kpad_/project.log" of an archive; empty texts for
// missing members or an archive that cannot be read. With items, also keeps the archive's
// item lines (left empty when it cannot be read). Returns why the archive could not be
// read: Internal with the kit's reason; a log over kMaxLogSize is Refused (kLogTooLarge), with
// the set and items read. With reader, also keeps the archive open there for a save to copy
// from (its directory is then not read again).
inline constexpr const char* kLogTooLarge = "its project log is over 256 MB";
Result<void> readRecords(const std::string& archivePath, std::string& projectSet, std::string& projectLog,
                         std::optional<std::vector<ArchiveLine>>* items = nullptr,
                         std::shared_ptr<const ZipReader>* reader = nullptr);

// Removes ".tmp" twins of this project's archives left by an interrupted run.
void removeStaleTemporaries(const std::string& archiveFolder, const std::string& projectName, const Clock& clock);

} // namespace kp
