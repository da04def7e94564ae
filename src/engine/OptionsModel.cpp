#include "engine/OptionsModel.h"

#include <cstdio>

#include "engine/Engine.h"
#include "platform/Text.h"
#include "store/Messages.h"
#include "store/Settings.h"

namespace kp {

namespace {

MessageLine redLine(const std::string& text) { return {text, true, true}; }

// The line has room for one problem of the ignore file; kpad list --ignored names them all.
std::string ignoreFileLine(const std::vector<IgnoreLineError>& errors) {
    const IgnoreLineError& first = errors.front();
    std::string text = msg::ignoreLineLeftOut(first.line, first.message, first.text);
    if (errors.size() > 1) text += msg::andMoreIgnoreLines(errors.size() - 1);
    return text;
}

} // namespace

std::string OptionsModel::caption() const { return "   " + m_s.projectName() + " - Kestrelpad"; }

std::vector<std::string> OptionsModel::statusItems() {
    std::vector<std::string> items;
    for (const char* name : kStatusNames) items.push_back(std::string("  ") + name);
    return items;
}

std::vector<std::string> OptionsModel::takeLastVersion() {
    return m_edits.takeLastVersion();
}

std::vector<std::string> OptionsModel::versionParts() const {
    return {m_s.versionPart1, m_s.versionPart2, m_s.versionPart3};
}

Activation OptionsModel::activate() const {
    Activation a;
    if (!m_s.canWrite) {
        a.line = redLine(msg::kNoWritePrivilege);
        a.okEnabled = a.recoveryEnabled = false;
        a.replaceDisabled = true;
        return a;
    }
    if (m_s.timeRepeated && !m_waitOver) {
        a.lineChanged = false;
        a.okEnabled = a.recoveryEnabled = false;
        a.replaceDisabled = true;
        a.countdown = true;
        return a;
    }
    if (!m_s.statusRequested) {
        // Mistaken settings are why the window opened: their line stays whenever it becomes active.
        if (!storingTabLine(a.line)) a.line = {"  ", false, false};
        return a;
    }
    a.line = redLine(msg::kSetStatus);
    a.focusStatus = true;
    return a;
}

bool OptionsModel::storingTabLine(MessageLine& line) const {
    if (!m_s.settingsFileProblem.empty()) line = redLine(msg::settingsUnreadable(m_s.settingsFileProblem));
    else if (m_s.settingsMistaken) line = redLine(msg::kSettingsMistaken);
    else if (!m_s.ignoreFileErrors.empty()) line = redLine(ignoreFileLine(m_s.ignoreFileErrors));
    else return false;
    return true;
}

MessageLine OptionsModel::chooseStatus(int index) {
    if (!m_edits.chooseStatus(index)) return {};
    if (index == 0) return redLine(msg::kSetStatus);
    return {"", false, false};
}

CountdownTick OptionsModel::countdownTick() {
    CountdownTick t;
    const int remaining = 60 - m_clock.localNow().second;
    if (remaining == 60) {
        m_waitOver = true;
        t.finished = true;
        return t;
    }
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.2d", remaining);
    t.line = {std::string("* * *  Archive time is repeated. Wait for ") + digits + "  sec  * * *", true, false};
    return t;
}

VersionRow OptionsModel::versionRow(bool addVersion) {
    if (addVersion) return {"new v.", false, true, false};
    return {"last  v.", true, false, true};
}

std::string OptionsModel::okProblem(const OptionsChoice& choice) {
    const Result<void> version = Engine::checkVersion(choice);
    return version ? std::string() : version.failure().text;
}

std::string OptionsModel::storedComment(const std::string& boxText) {
    return replaceAll(replaceAll(boxText, "\r\n", "\n"), "\n", "\r\n");
}

std::string OptionsModel::shownComment(const std::string& stored) { return replaceAll(stored, "\r\n", "\n"); }

std::optional<OptionsChoice> OptionsModel::requestRestore(Engine& engine, const std::string& chosen,
                                                          const OptionsChoice& typed) {
    if (!engine.requestRestore(chosen, typed.comment)) return std::nullopt;
    OptionsChoice c = typed;
    c.comment = engine.state().archiveComment;
    c.addVersion = false;
    c.ok = true;
    return c;
}

} // namespace kp
