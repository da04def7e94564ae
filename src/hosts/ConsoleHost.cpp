#include "hosts/ConsoleHost.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include "engine/EntryChecks.h"
#include "engine/Startup.h"
#include "platform/FileSystem.h"
#include "platform/RunLock.h"
#include "platform/Text.h"
#include "store/SettingsFile.h"

namespace kp {

namespace {

bool onTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

// Messages quote names and comments from the project and its archives; their control bytes
// (ESC, BEL, C1) are shown as "\xHH" so that they can't act on a terminal, line breaks kept.
std::string shown(const std::string& text) {
    const std::vector<std::string> lines = split(forTerminal(text), '\n');
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i)
        out += (i > 0 ? "\n" : "") + displayText(lines[i]);
    return out;
}

void printMessage(const char* prefix, const std::string& text) {
    std::fprintf(stderr, "%s%s\n", prefix, shown(text).c_str());
}

} // namespace

void ConsoleHost::showMessage(MessageKind kind, const std::string& text) {
    if (m_barShown) {
        std::fputs("\n", stderr);
        m_barShown = false;
        m_lineLength = 0;
    }
    printMessage(kind == MessageKind::Warning ? "Warning: " : "", text);
}

void ConsoleHost::waitForNextMinute() {
    const bool terminal = onTerminal();
    for (;;) {
        const int second = systemClock().localNow().second;
        if (second == 0) break;
        if (terminal) std::fprintf(stderr, "\rArchive time is repeated. Wait for %02d sec ", 60 - second);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    if (terminal) std::fputs("\r                                            \r", stderr);
}

// Answers as the options window would be answered with OK and the command line's choices;
// a second showing (after a failed check) is answered with Cancel, so a script never loops.
OptionsChoice ConsoleHost::openOptions(const RunState& state) {
    if (++m_optionsShown > 1) return OptionsChoice{};
    // The options window's message lines, as the window would show them.
    if (!state.canWrite) {
        printMessage("", msg::noWritePrivilege(state.archiveFolder));
        return OptionsChoice{};
    }
    if (!state.settingsFileProblem.empty())
        printMessage("Warning: ", msg::settingsUnreadable(state.settingsFileProblem) + "\r\n" +
                                      settingsFilePath(state.appDataFolder));
    else if (state.settingsMistaken)
        printMessage("Warning: ", msg::kSettingsMistaken);
    if (state.statusRequested && m_choice.projectStatus <= 0)
        printMessage("Warning: ",
                     std::string(msg::kSetStatus) + "\r\n(the trains are full: kpad store --status)");
    if (state.timeRepeated) waitForNextMinute();
    OptionsChoice choice = m_choice;
    choice.restoreArchive = m_restoreArchive;
    return choice;
}

int exitCode(std::optional<FailureKind> failure) {
    if (!failure) return 0;
    switch (*failure) {
    case FailureKind::BadInput: return 2;
    case FailureKind::Incomplete: return 3;
    case FailureKind::Refused:
    case FailureKind::WriteFailed:
    case FailureKind::CheckFailed:
    case FailureKind::RestoreFailed:
    case FailureKind::Internal: return 1;
    }
    return 1;
}

std::string progressLine(const WriterFigures& f, double seconds) {
    const auto megabytes = [](std::uint64_t bytes) { return double(bytes) / 1e6; };
    char line[160];
    int n = std::snprintf(line, sizeof line, "%zu/%zu files  %.1f/%.1f MB", f.filesDone, f.files,
                          megabytes(f.bytesDone), megabytes(f.bytes));
    if (f.written) {
        std::snprintf(line + n, sizeof line - std::size_t(n), "  %.1f s", seconds);
    } else if (seconds >= 0.2 && f.bytesDone > 0) {
        const double rate = double(f.bytesDone) / seconds;
        const long long left = std::llround(double(f.bytes - f.bytesDone) / rate);
        std::snprintf(line + n, sizeof line - std::size_t(n), "  %.1f MB/s  %lld:%02lld left", rate / 1e6,
                      left / 60, left % 60);
    }
    return line;
}

void ConsoleHost::writerProgress(const WriterFigures& figures) {
    if (!onTerminal()) return;
    const auto now = std::chrono::steady_clock::now();
    if (!m_writerStart) m_writerStart = now;
    const double seconds = std::chrono::duration<double>(now - *m_writerStart).count();
    std::string line = progressLine(figures, seconds);
    const std::size_t length = line.size();
    if (length < m_lineLength)
        line += std::string(m_lineLength - length, ' '); // clear what the last line left
    m_lineLength = length;
    std::fprintf(stderr, "\r%s", line.c_str());
    m_barShown = !figures.written;
    if (figures.written) {
        std::fputs("\n", stderr);
        m_writerStart.reset();
        m_lineLength = 0;
    }
}

void ConsoleHost::repaint(const RunState& state) {
    if (!m_showCard) return;
    const std::string card = std::string(kProductTitle) + " | " + state.projectName() + " | " +
                             cardDateLabel(state) + " | " + cardStatusLabel(state) + " | " +
                             state.diskSpaceText;
    if (card == m_lastCard) return;
    m_lastCard = card;
    std::fprintf(stderr, "%s\n", shown(card).c_str());
}

namespace {

// After the archive's name, so that scripts reading the first line still find it there.
void printIgnoredCount(const RunState& s) {
    if (s.ignoredItems > 0) std::puts(msg::itemsIgnored(s.ignoredItems).c_str());
}

} // namespace

int runProject(const std::string& param, ConsoleHost& host, bool askFirst) {
    const EntryCheck check = checkEntry(param);
    for (const auto& w : check.warnings)
        printMessage("Warning: ", w);
    if (!check.ok()) return 1;

    Engine engine(host, systemClock());
    RunState probe;
    resolveProjectItem(probe, check.param);
    RunLock lock;
    if (!lock.tryLock(projectLockFolder(probe))) {
        printMessage("", msg::kProjectBusy);
        return 1;
    }
    StartupInput input;
    input.param = check.param;
    input.ctrlHeld = askFirst;
    engine.start(input);
    // A mistake in the ignore file never stops a store: the line is named and left out.
    for (const IgnoreLineError& e : engine.state().ignoreFileErrors)
        printMessage("Warning: ", msg::ignoreLineLeftOut(e.line, e.message, e.text));
    host.repaint(engine.state());
    host.run(engine);

    const std::optional<FailureKind> incomplete =
        engine.incomplete() ? std::optional(FailureKind::Incomplete) : std::nullopt;
    switch (engine.outcome()) {
    case RunOutcome::Stored:
        std::puts(shown(engine.storedArchive()).c_str());
        printIgnoredCount(engine.state());
        return exitCode(incomplete);
    case RunOutcome::Same:
        std::puts(msg::kSameProject);
        printIgnoredCount(engine.state());
        return exitCode(incomplete);
    default:
        // A run that ends without storing is a refusal even when nothing failed (kpad's
        // options step answered Cancel after a failed check).
        return exitCode(engine.failure() ? engine.failure()->kind : FailureKind::Refused);
    }
}

} // namespace kp
