// The host of a run without windows: messages go to stderr, the options window is replaced
// by the choices given on the command line, and progress is one line on a terminal: files
// and bytes stored, the rate and the time left.
#pragma once
#include <chrono>
#include <optional>
#include <string>

#include "hosts/LoopHost.h"
#include "platform/Result.h"

namespace kp {

class ConsoleHost : public LoopHost {
public:
    explicit ConsoleHost(OptionsChoice choice) : m_choice(std::move(choice)) {}

    void showMessage(MessageKind kind, const std::string& text) override;
    OptionsChoice openOptions(const RunState& state) override;
    void writerProgress(const WriterFigures& figures) override;
    void repaint(const RunState& state) override;

    // The stored state to put back (a full path or a file name of one of the project's
    // states); the options step then makes the restore request.
    void setRestoreArchive(const std::string& archive) { m_restoreArchive = archive; }

    // Print what the card would show (the desktop program without a display).
    void setShowCard(bool show) { m_showCard = show; }

private:
    void waitForNextMinute();
    OptionsChoice m_choice;
    int m_optionsShown = 0;
    bool m_barShown = false;
    std::size_t m_lineLength = 0;
    std::optional<std::chrono::steady_clock::time_point> m_writerStart;
    bool m_showCard = false;
    std::string m_lastCard;
    std::string m_restoreArchive;
};

// "1234/8000 files  12.3/101.0 MB  45.6 MB/s  0:02 left": the rate and the time left once
// some of the bytes are stored.
std::string progressLine(const WriterFigures& figures, double seconds);

// kpad's exit status: 0 done (nothing failed), 2 bad input, 3 done but incomplete (some files
// or folders could not be read), 1 every other refusal or failure.
int exitCode(std::optional<FailureKind> failure);

// Checks the parameter, takes the project's run lock and runs one whole run. Prints the
// refusals of the parameter as warnings. Returns the exit code.
// askFirst: the options step comes before storing (kpad always applies its choices there).
int runProject(const std::string& param, ConsoleHost& host, bool askFirst);

} // namespace kp
