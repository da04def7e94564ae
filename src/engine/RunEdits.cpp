#include "engine/RunEdits.h"

#include <utility>

#include "engine/RunLimits.h"
#include "platform/Text.h"
#include "store/Settings.h"

namespace kp {

std::vector<std::string> RunEdits::takeLastVersion() {
    // Once a run: later openings show the parts of the last OK, whichever front end asks.
    if (std::exchange(m_s->lastVersionTaken, true)) return {m_s->versionPart1, m_s->versionPart2, m_s->versionPart3};
    std::vector<std::string> parts = split(m_s->archives.lastVersion, '.');
    parts.resize(3);
    m_s->versionPart1 = utf8Prefix(parts[0], kVersionPartLength[0]);
    m_s->versionPart2 = utf8Prefix(parts[1], kVersionPartLength[1]);
    m_s->versionPart3 = utf8Prefix(parts[2], kVersionPartLength[2]);
    return {m_s->versionPart1, m_s->versionPart2, m_s->versionPart3};
}

bool RunEdits::chooseStatus(int index) {
    if (index < 0 || index > 3) return false;
    m_s->values.projectStatus = index;
    if (index > 0) m_s->statusRequested = false;
    return true;
}

void RunEdits::applySettings(const SettingsValues& edited) {
    SettingsValues& v = m_s->values;
    v.commentLayout = edited.commentLayout;
    for (int i = 0; i < 3; ++i) v.trainLength[i] = edited.trainLength[i];
    v.capacityFactor = edited.capacityFactor;
    v.showWindow = edited.showWindow;
    v.showArchiveFolder = edited.showArchiveFolder;
}

void RunEdits::settingsSaved() {
    m_s->settingsMistaken = false;
    m_s->settingsFileProblem.clear();
}

void RunEdits::setLatestLog(std::string text) {
    m_s->latestLogText = std::move(text);
    // The text is saved into the newest archive next, which replaces that file: on Windows no
    // file can take the name of one still open, so the run lets go of start-up's reader.
    m_s->primaryReader.reset();
}

} // namespace kp
