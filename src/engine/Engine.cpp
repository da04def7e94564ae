#include "engine/Engine.h"

#include <algorithm>
#include <cassert>
#include <chrono>

#include "store/ArchiveNaming.h"
#include "store/ChangeDetection.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/ArchiveWriter.h"
#include "restore/Recovery.h"
#include "restore/RestoreRequest.h"
#include "engine/RunLimits.h"
#include "engine/StoreJob.h"
#include "store/Layout.h"
#include "store/Trains.h"
#include "zip/KitResult.h"

namespace kp {

namespace {

// "007" reads as 7; anything that is not a number from 0 to 100 is refused.
bool versionNumber(const std::string& text, std::string& out) {
    int v;
    if (!parseInt(trim(text), v) || v < 0 || v > 100) return false;
    out = std::to_string(v);
    return true;
}

// Archive items below a folder the listing could not read are not missing: the project may
// still hold them.
void keepUnreadMissing(const Project& s, std::vector<std::string>& missing) {
    std::vector<std::string> unread;
    for (const UnreadableItem& u : s.unreadable) unread.push_back(u.path.substr(std::min(u.path.size(), s.projectPath.size())));
    std::erase_if(missing, [&](const std::string& name) {
        for (const std::string& u : unread)
            if (name == u || (u.ends_with("/") && name.starts_with(u)) || name.starts_with(u + "/")) return true;
        return false;
    });
}

std::string mismatchReport(const std::vector<Mismatch>& lines) {
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < lines.size() && i < kMismatchesShown; ++i)
        shown.push_back(displayText(lines[i].path) + "   CRC:" + lines[i].crc);
    return msg::checksumMismatch(shown, lines.size() > kMismatchesShown);
}

} // namespace

Engine::Engine(Host& host, const Clock& clock) : m_host(host), m_clock(clock) {}

namespace {

bool allowed(Phase from, Phase to) {
    using enum Phase;
    switch (to) {
    case Starting: return false;
    case Waiting: return from == Starting || from == Options || from == Preparing;
    case Options: return from == Waiting || from == Written;
    case Preparing: return from == Waiting;
    case Writing: return from == Preparing || from == Writing;
    case Written: return from == Writing;
    case Restoring: return from == Written;
    case Closing: return from != Done; // from Writing only once the writer has ended
    case Done: return from != Writing && from != Done;
    }
    return false;
}

} // namespace

void Engine::enter(Phase next) {
    assert(allowed(m_phase, next));
    (void)allowed;
    m_phase = next;
}

void Engine::settle(RunOutcome result, std::optional<Failure> failure) {
    if (result == RunOutcome::Refused && m_result == RunOutcome::Failed) return;
    m_result = result;
    m_failure = std::move(failure);
}

void Engine::askToClose() {
    if (m_phase != Phase::Done) enter(Phase::Closing);
    m_host.requestClose();
}

Engine::~Engine() {
    if (m_writer.joinable()) m_writer.join();
}

void Engine::start(const StartupInput& input) {
    m_interval = runStartup(m_state, input, m_clock, m_host);
    if (!m_state.unfinishedRestore.empty()) {
        m_host.beep();
        m_host.showMessage(MessageKind::Notice, m_state.unfinishedRestore);
    }
    enter(Phase::Waiting);
    m_host.armTimer(m_interval);
}

void Engine::shown() {
    std::string message;
    if (!clockOutOfRange(m_clock, message) && !clockWentBack(m_state, message)) return;
    m_host.beep();
    m_host.stopTimer();
    m_state.storeRequested = false;
    settle(RunOutcome::Refused, Failure{FailureKind::Refused, message, {}});
    m_host.showMessage(MessageKind::Plain, message);
    askToClose();
}

void Engine::userInterrupt(Interrupt how) {
    // While the options window is due anyway, Ctrl waits for it; a click still opens it.
    if (!m_state.interruptible || m_phase != Phase::Waiting) return;
    if (how == Interrupt::CtrlKey && m_state.showOptions) return;
    openOptionsWindow();
}

Result<void> Engine::checkVersion(const OptionsChoice& c) {
    // The lowest wrong part is named. A part longer than its edit holds (typed for kpad) is
    // refused, never cut to fit.
    const std::string part[3] = {trim(c.versionPart1), trim(c.versionPart2), trim(c.versionPart3)};
    const auto tooLong = [&](int i) { return utf8Length(part[i]) > kVersionPartLength[i]; };
    const auto wrong = [&](const std::string& what) {
        return Failure{FailureKind::BadInput, msg::versionPartInvalid(what), {}};
    };
    std::string number;
    if (tooLong(0) || !versionNumber(part[0], number)) return wrong(msg::kVersionPart1);
    if (tooLong(1) || !versionNumber(part[1], number)) return wrong(msg::kVersionPart2);
    if (tooLong(2)) return wrong(msg::versionPart3TooLong(kVersionPartLength[2]));
    if (!part[2].empty() && !isLettersDigitsOr(part[2], "-_")) return wrong(msg::kVersionPart3);
    return {};
}

Result<void> Engine::applyChoice(const OptionsChoice& c) {
    RunState& s = m_state;
    if (c.projectStatus >= 0 && c.projectStatus <= 3) {
        s.values.projectStatus = c.projectStatus;
        if (c.projectStatus > 0) s.statusRequested = false;
    }
    if (!c.ok) {
        s.storeRequested = false;
        return {};
    }
    Result<void> version = checkVersion(c);
    if (version) {
        versionNumber(c.versionPart1, s.versionPart1);
        versionNumber(c.versionPart2, s.versionPart2);
        s.versionPart3 = trim(c.versionPart3);
    }
    s.statusTrainLength = statusTrainLength(s.values, s.values.projectStatus);
    s.archiveComment = c.comment;
    s.addVersion = c.addVersion;
    s.storeRequested = true;
    // An accepted OK comes after the wait for a new minute: the window's OK is disabled
    // while its countdown runs, and kpad waits before it answers.
    s.timeRepeated = false;
    return version;
}

void Engine::nameNewArchive() {
    RunState& s = m_state;
    const std::string suffix = chooseSuffix(s.addVersion, s.versionPart1, s.versionPart2, s.versionPart3,
                                            s.archiveComment, !s.archives.storedStates.empty());
    const ArchiveName name = BuildArchiveName(s.archiveFolder, s.projectName(), suffix, m_clock);
    s.newArchiveName = name.path;
    s.datePos = name.datePos;
}

void Engine::openOptionsWindow() {
    RunState& s = m_state;
    m_host.stopTimer();
    enter(Phase::Options);
    for (;;) {
        const OptionsChoice choice = m_host.openOptions(s);
        const Result<void> applied = applyChoice(choice);
        if (applied && choice.ok && !choice.restoreArchive.empty() &&
            !requestRestore(choice.restoreArchive, choice.comment))
            s.storeRequested = false;
        if (s.storeRequested) nameNewArchive();
        if (applied) break;
        // A bad version part keeps the window open with the previous parts.
        m_host.beep();
        m_host.showMessage(MessageKind::Plain, applied.failure().text);
    }
    s.showOptions = false;
    enter(Phase::Waiting);
    m_host.repaint(s);
    m_interval = kAfterOptionsTickMs;
    m_host.armTimer(m_interval);
}

void Engine::refuse(const std::string& message) {
    m_host.beep();
    m_host.showMessage(MessageKind::Plain, message);
    m_state.storeRequested = false;
    settle(RunOutcome::Refused, Failure{FailureKind::Refused, message, {}});
    m_host.repaint(m_state);
}

void Engine::fail(const Failure& failure) {
    m_host.beep();
    m_host.showMessage(MessageKind::Error, failure.text);
    m_state.storeRequested = false;
    settle(RunOutcome::Failed, failure);
}

void Engine::timerTick() {
    RunState& s = m_state;
    // A tick that a message box's own event loop lets through while a store is prepared, or
    // one after the run asked to close, finds nothing to do.
    if (m_phase != Phase::Waiting) return;
    m_host.stopTimer();
    s.interruptible = false;
    if (s.showOptions) {
        openOptionsWindow();
        return;
    }
    if (!s.storeRequested) return askToClose();
    enter(Phase::Preparing);
    std::optional<Selection> selection = selectItems();
    if (!selection) return; // the project is the same
    const SplitSelection split = splitSelection(s, selection->items);
    for (const std::string& refusal : sizeRefusals(s, split.files, s.canWrite, s.freeDiskSpace)) refuse(refusal);
    if (s.logTooLarge && s.storeRequested) refuse(msg::logTooLarge(fileNamePart(s.latestArchiveName)));
    if (!s.storeRequested) return askToClose();
    m_selection = std::move(selection);
    m_split = split;
    if (canWriteNewArchive()) startStoring();
    else askToClose();
}

// Hands the chosen selection to the writer.
void Engine::startStoring() {
    const RunState& s = m_state;
    std::uint64_t fileBytes = 0;
    for (std::size_t i : m_split.files) fileBytes += std::uint64_t(std::max<std::int64_t>(s.projectFiles[i].size, 0));
    startWriter(composeWriterJob(s, *m_selection, m_split), fileBytes);
}

// What the new state holds: what changed since the primary archive, or everything. Empty
// when nothing changed and nothing else asks for a new state.
std::optional<Selection> Engine::selectItems() {
    RunState& s = m_state;
    Selection selection;
    std::optional<ChangeResult> changes;
    if (!s.archives.storedStates.empty()) changes = compareWithPrimary();
    auto same = [&] {
        s.projectUnchanged = true;
        s.storeRequested = false;
        settle(RunOutcome::Same);
        enter(Phase::Waiting);
        m_host.repaint(s);
        m_host.armTimer(m_interval); // the card shows the text for one more tick, then the run ends
        return std::nullopt;
    };
    if (changes) {
        const bool mayBeSame = s.storeRequested && s.restoreArchive.empty();
        if (mayBeSame && changes->changed.empty()) return same();
        keepUnreadMissing(s, changes->missing);
        if (writesRelativeArchive(s)) {
            selection.full = false;
            for (const auto& name : changes->missing) selection.missingText += name + "\r\n";
            if (mayBeSame &&
                sameAsLatestRelative(s, *changes, selection.missingText, fileNamesIgnoreCase(s.projectPath)))
                return same();
            selection.items = std::move(changes->changed);
        }
    }
    if (selection.full)
        for (std::size_t i = 0; i < s.projectFiles.size(); ++i) selection.items.push_back(i);
    return selection;
}

bool Engine::canWriteNewArchive() {
    RunState& s = m_state;
    if (const Result<void> made = makeFolderKeepingParentTime(s.archiveFolder); !made) {
        fail({FailureKind::WriteFailed, msg::archiveFolderNotCreated(s.archiveFolder, made.failure().text),
              made.failure().detail});
        return false;
    }
    // A file of the new name is a stored state of its own (one the archive search ignored,
    // such as a state dated in the future): it is never replaced.
    if (pathExists(s.newArchiveName)) {
        refuse(msg::archiveExists(fileNamePart(s.newArchiveName)));
        return false;
    }
    return true;
}

void Engine::startWriter(WriterJob job, std::uint64_t fileBytes) {
    m_state.primaryReader.reset(); // the job holds it while it needs it
    m_state.checksumMismatches.clear();
    m_host.repaint(m_state);
    enter(Phase::Writing);
    if (m_writer.joinable()) m_writer.join();
    // The kit reports each item's end (folders and the bookkeeping members, which it writes
    // first, included) and the whole archive's share of its bytes, in percent.
    const std::size_t leadingItems = job.folders.size() + kBookkeepingItems;
    WriterFigures totals;
    totals.files = job.files.size();
    totals.bytes = fileBytes;
    m_writer = std::thread([this, job = std::move(job), leadingItems, totals]() mutable {
        // The kit reports every step of every item; the user interface needs a few a second.
        auto lastPost = std::make_shared<std::atomic<long long>>(0);
        auto itemsDone = std::make_shared<std::atomic<std::size_t>>(0);
        auto archivePercent = std::make_shared<std::atomic<int>>(0);
        const auto figures = [=] {
            WriterFigures f = totals;
            const std::size_t items = itemsDone->load();
            f.filesDone = std::min(totals.files, items > leadingItems ? items - leadingItems : 0);
            f.bytesDone = totals.bytes * std::uint64_t(std::clamp(archivePercent->load(), 0, 100)) / 100;
            return f;
        };
        const ProgressCallback progress = [this, lastPost, itemsDone, archivePercent,
                                           figures](ProgressScope scope, int percent) {
            if (scope == ProgressScope::Item && percent >= 100) ++*itemsDone;
            if (scope == ProgressScope::Archive) *archivePercent = percent;
            const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
            const bool last = scope == ProgressScope::Archive && percent >= 100;
            if (!last && now - lastPost->load() < kProgressIntervalMs) return;
            lastPost->store(now);
            m_host.post([this, scope, percent, f = figures()] {
                m_host.progress(scope, percent);
                m_host.writerProgress(f);
            });
        };
        const auto afterWrite = [this, figures] {
            WriterFigures f = figures();
            f.bytesDone = f.bytes;
            f.written = true;
            m_host.post([this, f] { m_host.writerProgress(f); });
            if (m_afterWrite) m_afterWrite();
        };
        WriterResult result = writeAndCheck(std::move(job), m_clock, progress, afterWrite);
        m_host.post([this, result = std::move(result)] { writerDone(result); });
    });
}

// Reads the primary archive and compares the project with it. A primary that cannot be read
// is reported, and the state is then stored as a full archive: a damaged archive must not
// keep the project from being backed up.
std::optional<ChangeResult> Engine::compareWithPrimary() {
    RunState& s = m_state;
    const std::string primary = s.archives.storedStates.back();
    if (!s.primaryItems) {
        Result<std::vector<ArchiveLine>> read = primaryArchiveLines(primary);
        if (!read) {
            m_host.beep();
            m_host.showMessage(MessageKind::Error,
                               msg::primaryUnreadable(fileNamePart(primary), read.failure().text, s.storeRequested));
            if (stampAndSuffix(s.newArchiveName, s.datePos).size() == 11) { // a plain name: make it a change archive
                const ArchiveName name = BuildArchiveName(s.archiveFolder, s.projectName(), "c", m_clock);
                s.newArchiveName = name.path;
            }
            return std::nullopt;
        }
        s.primaryItems = std::move(read.value());
    }
    return detectChanges(*s.primaryItems, s.projectFiles, s.projectPath.size(), fileNamesIgnoreCase(s.projectPath));
}

void Engine::writerDone(const WriterResult& result) {
    if (m_writer.joinable()) m_writer.join();
    if (result.ok() && !result.badCopies.empty()) return storeAgainWithoutCopying(result.badCopies);
    if (result.ok() && m_selection && !m_selection->full &&
        !stillTheSameFile(m_state.primaryArchiveFile, m_state.archives.storedStates.back()))
        return storeFullInstead();
    enter(Phase::Written);
    m_state.checksumMismatches = result.mismatches;
    m_unreadableFiles = result.unreadable;
    m_writerFailure = result.failure;
    m_host.requestClose();
}

// Data copied from the primary archive is not what the files hold: the archive is damaged
// (or holds other bytes under the same sizes and CRCs). The files themselves are fine, so
// the state is written again at once from them alone; the user learns which files the
// archive could not give back, and no busy program is blamed.
void Engine::storeAgainWithoutCopying(const std::vector<std::string>& badCopies) {
    RunState& s = m_state;
    removeFile(s.newArchiveName);
    s.primaryDataDamaged = true;
    std::vector<std::string> shown;
    for (const std::string& file : badCopies) shown.push_back(displayText(file));
    m_host.beep();
    m_host.showMessage(MessageKind::Notice, msg::archiveDamaged(fileNamePart(s.archives.storedStates.back()), shown));
    startStoring();
}

// A relative state is readable only with its primary archive. When that archive vanished or
// was replaced while this one was written, the relative archive goes and a full one is stored.
void Engine::storeFullInstead() {
    RunState& s = m_state;
    removeFile(s.newArchiveName);
    s.primaryDataDamaged = true; // nothing is copied from a file that is no longer the one read
    m_host.beep();
    m_host.showMessage(MessageKind::Notice, msg::primaryChanged(fileNamePart(s.archives.storedStates.back())));
    const ArchiveName name = BuildArchiveName(s.archiveFolder, s.projectName(), "c", m_clock);
    s.newArchiveName = name.path;
    s.datePos = name.datePos;
    m_selection = Selection{};
    for (std::size_t i = 0; i < s.projectFiles.size(); ++i) m_selection->items.push_back(i);
    m_split = splitSelection(s, m_selection->items);
    for (const std::string& refusal : sizeRefusals(s, m_split.files, s.canWrite, s.freeDiskSpace)) refuse(refusal);
    if (s.storeRequested && canWriteNewArchive()) startStoring();
    else askToClose();
}

// A store that failed its check is withdrawn: the user hears why, the new archive goes, a
// requested restore is dropped, and the options window opens so the user can store again.
bool Engine::reportFailedCheck() {
    RunState& s = m_state;
    if (!m_writerFailure && s.checksumMismatches.empty()) return false;
    if (m_writerFailure) {
        const std::string text = msg::archiveNotCreated(fileNamePart(s.newArchiveName), m_writerFailure->text);
        m_host.beep();
        m_host.showMessage(MessageKind::Error, text);
        settle(RunOutcome::Failed, Failure{m_writerFailure->kind, text, m_writerFailure->text});
    } else {
        const std::string text = mismatchReport(s.checksumMismatches);
        m_host.showMessage(MessageKind::Notice, text);
        settle(RunOutcome::Failed, Failure{FailureKind::CheckFailed, text, s.newArchiveName});
    }
    m_writerFailure.reset();
    s.checksumMismatches.clear();
    s.storeRequested = false;
    removeFile(s.newArchiveName);
    s.restoreArchive.clear();
    openOptionsWindow();
    return true;
}

// Whatever was stored, the user learns which files and folders it lacks, and why.
void Engine::reportUnreadable() {
    const RunState& s = m_state;
    std::vector<std::string> lines;
    for (const UnreadableItem& u : s.unreadable) lines.push_back(displayText(u.path) + "   " + errorText(u.error));
    for (const UnreadableFile& f : m_unreadableFiles)
        lines.push_back(displayText(s.projectPath + f.path) + "   " + f.reason);
    if (lines.empty()) return;
    m_incomplete = true;
    m_host.beep();
    m_host.showMessage(MessageKind::Notice, msg::unreadableItems(lines));
}

bool Engine::closeQuery() {
    RunState& s = m_state;
    if (m_phase == Phase::Writing) return false; // the writer's end closes the window again
    if (m_phase == Phase::Done) return true;
    if (!s.storeRequested) {
        if (m_result == RunOutcome::Same) reportUnreadable();
        enter(Phase::Done);
        return true;
    }
    s.interruptible = false;
    if (m_phase != Phase::Written) {
        // Closed before anything was stored (the window closed early): nothing was written,
        // so nothing may be restored over the project and no archive may be thinned.
        s.storeRequested = false;
        s.restoreArchive.clear();
        enter(Phase::Done);
        return true;
    }
    if (reportFailedCheck()) return false;

    m_storedArchive = s.newArchiveName;
    settle(RunOutcome::Stored);
    reportUnreadable();
    if (!s.restoreArchive.empty() && !recover()) {
        enter(Phase::Done);
        return true;
    }
    const ThinOutcome thinned = ThinArchives(s.archives.projectArchives, s.newArchiveName, s.datePos,
                                             s.statusTrainLength, s.values.capacityFactor, s.archiveFolder);
    if (!thinned.keptBecauseCopyFailed.empty()) {
        std::vector<std::string> names;
        for (const auto& path : thinned.keptBecauseCopyFailed) names.push_back(fileNamePart(path));
        m_host.beep();
        m_host.showMessage(MessageKind::Notice, msg::repositoryCopyFailed(names));
    }
    enter(Phase::Done);
    return true;
}

// Replaces the project's files from the chosen archive. Storing the present state may have
// taken minutes: right before anything is deleted, the chosen archive is opened again and
// must be the very file the request checked, still fit to restore, and no project file may
// have become busy. Otherwise nothing is deleted. When extraction fails midway the run ends
// without thinning, and the user learns which archive holds the state from before.
bool Engine::recover() {
    RunState& s = m_state;
    const auto refused = [&](const std::string& text, MessageKind kind = MessageKind::Notice) {
        settle(RunOutcome::Failed, Failure{FailureKind::RestoreFailed, text, s.restoreArchive});
        m_host.beep();
        m_host.showMessage(kind, text);
        return false;
    };
    ZipArchive zip;
    if (const Result<void> reopened = reopenChosenArchive(zip); !reopened)
        return refused(msg::restoreRefused(fileNamePart(s.restoreArchive), reopened.failure().text,
                                           fileNamePart(s.newArchiveName)));
    std::vector<std::string> busy = busyProjectFiles(s);
    for (std::string& path : busy) path = displayText(path);
    if (!busy.empty()) return refused(msg::busyFiles(busy), MessageKind::BusyFiles);

    enter(Phase::Restoring);
    s.restoringText = restoringCaption(s, s.restoreArchive);
    m_host.repaint(s);
    const Result<void> recovered = recoverProject(s, zip, s.newArchiveName);
    if (recovered) return true;
    const std::string& error = recovered.failure().text;
    const std::string text = msg::restoreFailed(fileNamePart(s.restoreArchive), error, s.newArchiveName);
    settle(RunOutcome::Failed, Failure{FailureKind::RestoreFailed, text, error});
    m_host.beep();
    m_host.showMessage(MessageKind::Error, text);
    return false;
}

// Opens the chosen archive into zip for the restore; Refused (or Internal, when it cannot be
// read) with why it must not be restored.
// The file is looked at before and after opening it: both times it must be the file the
// request accepted, so what zip holds open is that file, whatever happens to the name later.
Result<void> Engine::reopenChosenArchive(ZipArchive& zip) const {
    const RunState& s = m_state;
    const auto changed = [&] {
        return Failure{FailureKind::Refused, pathExists(s.restoreArchive) ? msg::kChosenArchiveReplaced : msg::kChosenArchiveGone,
                       s.restoreArchive};
    };
    if (!stillTheSameFile(s.restoreArchiveFile, s.restoreArchive)) return changed();
    if (Result<void> opened = openArchive(zip, s.restoreArchive); !opened) return opened;
    if (!stillTheSameFile(s.restoreArchiveFile, s.restoreArchive)) return changed();
    if (std::string problem = itemsProblem(s, zip); !problem.empty())
        return Failure{FailureKind::Refused, std::move(problem), s.restoreArchive};
    return restoreBlocker(s, zip, freeDiskSpace(s.projectPath));
}

bool Engine::requestRestore(const std::string& archive, const std::string& currentComment) {
    RunState& s = m_state;
    std::string chosen;
    for (const auto& stored : s.archives.storedStates)
        if (stored == archive || fileNamePart(stored) == archive) chosen = stored;
    if (chosen.empty()) {
        m_host.showMessage(MessageKind::Plain, msg::notAStoredState(archive, s.projectName()));
        return false;
    }
    std::vector<std::string> busy = busyProjectFiles(s);
    for (std::string& path : busy) path = displayText(path);
    if (!busy.empty()) {
        m_host.showMessage(MessageKind::BusyFiles, msg::busyFiles(busy));
        return false;
    }
    // Taken before the checks: the restore later extracts only this very file.
    const std::optional<FileInfo> chosenFile = statPath(chosen);
    // An archive that cannot be read is told as the kit tells it; one that reads but fails
    // its checks is called corrupt.
    if (const Result<void> intact = restoreProblem(s, chosen); !intact) {
        if (intact.failure().kind == FailureKind::Refused)
            m_host.showMessage(MessageKind::Notice, msg::archiveCorrupt(fileNamePart(chosen)));
        else
            m_host.showMessage(MessageKind::Error, intact.failure().text);
        return false;
    }
    if (const Result<void> fits = checkedBlocker(chosen); !fits) {
        m_host.showMessage(MessageKind::Notice, msg::restoreRefused(fileNamePart(chosen), fits.failure().text));
        return false;
    }
    s.archiveComment = msg::restoreNote(fileNamePart(chosen)) + currentComment;
    s.addVersion = false;
    s.restoreArchive = chosen;
    s.restoreArchiveFile = chosenFile;
    s.storeRequested = true;
    return true;
}

Result<void> Engine::checkedBlocker(const std::string& archive) const {
    return restoreBlocker(m_state, archive, freeDiskSpace(m_state.projectPath));
}

RunOutcome Engine::outcome() const { return m_phase == Phase::Done ? m_result : RunOutcome::Running; }

} // namespace kp
