// One run of the program as an object advanced by events: start-up, the card being shown,
// the user asking for the options window, timer ticks, the writer finishing and the close
// query. The desktop program, kpad and the tests deliver these events through their Host;
// all of them arrive in one (user-interface) thread, the writer's results by Host::post.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/Host.h"
#include "engine/RunEdits.h"
#include "engine/RunLimits.h"
#include "engine/RunState.h"
#include "engine/Startup.h"
#include "platform/Clock.h"
#include "platform/Result.h"

namespace kp {

struct WriterResult;
struct ChangeResult;
struct Selection;
struct WriterJob;
class ZipArchive;

enum class RunOutcome {
    Running,
    Stored,    // a new archive was written, checked and kept
    Same,      // nothing changed since the primary archive
    Cancelled, // the user chose not to store
    Refused,   // a size limit, the clock, a name clash or missing write access stopped the store
    Failed,    // the archive could not be written, or its check failed
};

// Where a run is. Every change of phase goes through Engine::enter, which holds the table
// of the changes allowed:
//
//   Starting -> Waiting                       start-up armed the first tick
//   Waiting  -> Options -> Waiting            Ctrl, a click, or a tick that is to ask first
//   Waiting  -> Preparing -> Writing          a tick chose what to store; the writer runs
//   Preparing -> Waiting                      the project is the same: one more tick shows it
//   Writing  -> Writing                       written again without copying, or as a full state
//   Writing  -> Written                       the writer ended; the close query takes it from here
//   Written  -> Options                       the check failed: the user may store again
//   Written  -> Restoring -> Done             the present state is kept, the chosen one put back
//   any but Done -> Closing                   nothing more to store: the run asks to close
//                                             (from Writing once the writer has ended)
//   any but Writing -> Done                   the close query let the run end
//
// outcome() is Running until Done, then the result the run settled on (settle()).
enum class Phase {
    Starting,
    Waiting,   // the timer is armed: its tick opens the options window, stores or closes
    Options,   // the options window is open
    Preparing, // a tick chooses what to store and checks that it may be written
    Writing,   // the writer thread writes the new archive and checks it
    Written,   // the archive is on disk, not yet kept: the close query reports and keeps it
    Restoring, // the project's files are being replaced from the chosen state
    Closing,   // nothing more is stored; the run asked to close
    Done,
};

class Engine {
public:
    Engine(Host& host, const Clock& clock);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The run as the windows show it. They change it only through edits(), the restore
    // request and the options choice, each a value the engine checks and applies.
    const RunState& state() const { return m_state; }
    RunEdits edits() { return RunEdits(m_state); }
    // A seam for tests that set up a situation start-up would find (a folder without write
    // access, full trains) without making it on disk.
    RunState& stateForTesting() { return m_state; }

    void start(const StartupInput& input); // builds the run state and arms the first tick
    void shown();                          // the card is shown: refuses a clock that went back
    enum class Interrupt { CtrlKey, Click };
    void userInterrupt(Interrupt how);     // Ctrl or a click on the card before the first tick
    void timerTick();
    bool closeQuery();                     // true when the run may end now
    bool writerRunning() const { return m_phase == Phase::Writing; }
    Phase phase() const { return m_phase; }

    // A seam for tests: runs on the writer thread between writing the archive and checking it.
    void setAfterWriteForTesting(std::function<void()> fn) { m_afterWrite = std::move(fn); }

    // The Tools tab's "Replace chosen state" (and kpad restore): checks that no project file is
    // busy and that the chosen state is intact, tells the user through the host when not, and
    // on success arranges the restore and puts its note before currentComment.
    bool requestRestore(const std::string& archive, const std::string& currentComment);

    RunOutcome outcome() const;
    // Why the run was refused or failed (its last refusal or failure); none after a store.
    const std::optional<Failure>& failure() const { return m_failure; }
    // A store (or "the same") that could not read some files or folders of the project.
    bool incomplete() const { return m_incomplete; }
    const std::string& storedArchive() const { return m_storedArchive; }
    // The version-part check of the options window's OK: a BadInput failure ("Check value
    // for part N of version ...") naming the lowest wrong part.
    static Result<void> checkVersion(const OptionsChoice& choice);

private:
    void enter(Phase next);
    // The run's result so far: a later one replaces an earlier one, but a refusal never
    // hides a failure.
    void settle(RunOutcome result, std::optional<Failure> failure = std::nullopt);
    void askToClose();
    void openOptionsWindow();
    Result<void> applyChoice(const OptionsChoice& choice); // a failure: the version parts are wrong
    void nameNewArchive();
    void refuse(const std::string& message);
    void fail(const Failure& failure);
    std::optional<ChangeResult> compareWithPrimary();
    std::optional<Selection> selectItems();
    bool canWriteNewArchive();
    void startWriter(WriterJob job, std::uint64_t fileBytes);
    void writerDone(const WriterResult& result);
    void storeAgainWithoutCopying(const std::vector<std::string>& badCopies);
    void storeFullInstead();
    void startStoring();
    bool reportFailedCheck();
    void reportUnreadable();
    bool recover();
    Result<void> checkedBlocker(const std::string& archive) const; // restoreBlocker with today's free space
    Result<void> reopenChosenArchive(ZipArchive& zip) const;

    Host& m_host;
    const Clock& m_clock;
    RunState m_state;
    int m_interval = kFirstTickMs;
    Phase m_phase = Phase::Starting;
    RunOutcome m_result = RunOutcome::Cancelled; // what the run comes to when it is Done
    std::optional<Failure> m_failure;            // why, when it is refused or failed
    std::thread m_writer;
    std::optional<Failure> m_writerFailure; // why the writer could not write or check the archive
    std::string m_storedArchive;
    std::function<void()> m_afterWrite;
    bool m_incomplete = false;
    std::vector<UnreadableFile> m_unreadableFiles; // left out by the writer
    // What the store in progress holds, so that it can be written again within the run.
    std::optional<Selection> m_selection;
    SplitSelection m_split;
};

} // namespace kp
