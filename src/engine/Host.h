// How a run talks to the outside. The desktop program, kpad and the tests each implement
// this; the engine never shows anything itself.
#pragma once
#include <functional>
#include <string>

#include "zip/Progress.h"

namespace kp {

struct RunState;

enum class MessageKind {
    Warning, // a refusal of the parameter: titled "Warning"
    Plain,   // a plain dialog titled "Kestrelpad", after a beep
    Notice,  // a warning box whose text begins with "Kestrelpad message"
    BusyFiles, // the Notice that files are busy, answered Yes: the user closes them and says so
    Error,   // an error the run could not handle (a damaged archive, a failed write)
};

// What the user decided in the options window.
struct OptionsChoice {
    bool ok = false;           // OK (store) or Cancel
    std::string comment;
    int projectStatus = -1;    // -1 keeps the status
    bool addVersion = false;
    std::string versionPart1, versionPart2, versionPart3; // as typed; validated by the engine
    // A stored state to put back after storing the present one (a full path or the file name
    // of one of the project's states); empty when the window made its request already.
    std::string restoreArchive;
};

// The writer's work in files and bytes: what the new archive is to hold, and how much of it
// is stored so far.
struct WriterFigures {
    std::size_t files = 0, filesDone = 0;
    std::uint64_t bytes = 0, bytesDone = 0;
    bool written = false; // the archive is complete; its check follows
};

class Host {
public:
    virtual ~Host() = default;

    virtual void beep() {}
    virtual void showMessage(MessageKind kind, const std::string& text) = 0;
    // Shows the options window modally and returns what the user chose. The engine applies
    // the choice (and may call this again, e.g. after a bad version part).
    virtual OptionsChoice openOptions(const RunState& state) = 0;
    // Arms the run's timer: one tick after ms milliseconds (a new arming replaces the old one).
    virtual void armTimer(int ms) = 0;
    virtual void stopTimer() = 0;
    // Runs fn in the user-interface thread (called from the writer thread).
    virtual void post(std::function<void()> fn) = 0;
    // Progress of the whole archive and of the current item, 0..100 (user-interface thread).
    virtual void progress(ProgressScope, int) {}
    // The same progress in files and bytes, delivered along with progress().
    virtual void writerProgress(const WriterFigures&) {}
    virtual void repaint(const RunState&) {}
    // Asks for the window to close; the host then calls Engine::closeQuery.
    virtual void requestClose() = 0;
};

} // namespace kp
