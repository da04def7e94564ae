#include "engine/SettingsModel.h"

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/HiddenFolder.h"
#include "platform/Text.h"
#include "store/SettingsFile.h"

namespace kp {

SettingsModel::SettingsModel(RunEdits edits, std::vector<CommentLanguage> languages)
    : m_edits(edits), m_s(edits.state()), m_languages(std::move(languages)) {
    const SettingsValues& v = m_s.values;
    m_layoutEdited = v.commentLayout;
    // The box shows the saved language: a run switches it on at start-up, so it is the one
    // active now. A saved language the desktop does not offer is kept as an item of its own,
    // so that the box never shows another than the one Save would keep.
    auto same = [&](const CommentLanguage& c) { return equalsIgnoringCase(c.layout, v.commentLayout); };
    auto it = std::find_if(m_languages.begin(), m_languages.end(), same);
    if (it == m_languages.end()) {
        std::string name = commentLanguageName(v.commentLayout);
        if (name.empty()) name = "Layout " + v.commentLayout;
        m_languages.push_back({v.commentLayout, name});
        it = m_languages.end() - 1;
    }
    m_selectedLanguage = int(it - m_languages.begin());

    // The ranges the up-downs have at creation; the neighbour rules narrow them as the user
    // steps.
    m_upDown[Standard] = {v.trainLength[0], 1, 18, true};
    m_upDown[Important] = {v.trainLength[1], 2, 19, true};
    m_upDown[Valuable] = {v.trainLength[2], 3, 20, true};
    m_upDown[Capacity] = {v.capacityFactor, 1, 5, true};
    m_showWindow = v.showWindow == 1;
    m_showArchiveFolder = v.showArchiveFolder == 1;
    settingChange();
}

std::vector<std::string> SettingsModel::languageItems() const {
    std::vector<std::string> items;
    for (const auto& l : m_languages) items.push_back("    " + l.name);
    return items;
}

void SettingsModel::chooseLanguage(int index) {
    if (index < 0 || index >= int(m_languages.size())) return;
    m_selectedLanguage = index;
    m_layoutEdited = m_languages[std::size_t(index)].layout;
    settingChange();
}

bool SettingsModel::step(Value v, Step direction) {
    UpDown& self = m_upDown[v];
    if (!self.enabled) return false;
    const bool up = direction == Step::Up;
    const int next = self.position + (up ? 1 : -1);
    UpDown& standard = m_upDown[Standard];
    UpDown& important = m_upDown[Important];
    UpDown& valuable = m_upDown[Valuable];
    switch (v) {
    case Standard:
        standard.max = important.position - 1;
        if (up) {
            // No room left for L important between the two others.
            if (next >= important.position - 1 && important.position == valuable.position - 1)
                important.enabled = false;
        } else {
            important.enabled = true;
        }
        break;
    case Important:
        important.min = standard.position + 1;
        important.max = valuable.position - 1;
        if (up) {
            if (next == valuable.max - 1) valuable.enabled = false;
            standard.enabled = true;
        } else {
            if (next == standard.min + 1) standard.enabled = false;
            valuable.enabled = true;
        }
        break;
    case Valuable:
        valuable.min = important.position + 1;
        if (up) {
            important.enabled = true;
        } else if (next == valuable.min && important.position == standard.position + 1) {
            important.enabled = false;
        }
        break;
    case Capacity: break;
    }
    const int before = self.position;
    self.position = std::clamp(next, self.min, self.max);
    if (self.position != before) settingChange();
    return self.position != before;
}

std::string SettingsModel::displayText(Value v) const {
    const std::string number = std::to_string(m_upDown[v].position);
    if (v == Capacity) return " " + number;
    return std::string(number.size() < 5 ? 5 - number.size() : 0, ' ') + number;
}

void SettingsModel::setShowWindow(bool on) {
    m_showWindow = on;
    settingChange();
}

void SettingsModel::setShowArchiveFolder(bool on) {
    m_showArchiveFolder = on;
    settingChange();
}

void SettingsModel::settingChange() {
    const SettingsValues& v = m_s.values;
    auto mark = [&](std::size_t at, bool differs) { m_marks[at] = differs ? 's' : ' '; };
    mark(0, m_layoutEdited != v.commentLayout);
    mark(1, int(m_showArchiveFolder) != v.showArchiveFolder);
    mark(2, int(m_showWindow) != v.showWindow);
    mark(3, m_upDown[Standard].position != v.trainLength[0]);
    mark(4, m_upDown[Important].position != v.trainLength[1]);
    mark(5, m_upDown[Valuable].position != v.trainLength[2]);
    mark(6, m_upDown[Capacity].position != v.capacityFactor);
    m_saveEnabled = m_marks.find('s') != std::string::npos || m_s.settingsMistaken;
}

SettingsSaveResult SettingsModel::save() {
    SettingsSaveResult r;
    SettingsValues edited = m_s.values;
    edited.commentLayout = m_layoutEdited;
    edited.trainLength[0] = m_upDown[Standard].position;
    edited.trainLength[1] = m_upDown[Important].position;
    edited.trainLength[2] = m_upDown[Valuable].position;
    edited.capacityFactor = m_upDown[Capacity].position;
    edited.showWindow = m_showWindow ? 1 : 0;
    edited.showArchiveFolder = m_showArchiveFolder ? 1 : 0;
    const int showWindow = edited.showWindow;
    if (showWindow != m_s.values.showWindow) {
        if (showWindow == 0) {
            r.visibilityMessage = kShowWindowUnchecked;
            r.cardVisibility = CardVisibility::FadeOut;
        } else {
            r.cardVisibility = CardVisibility::Shown;
        }
    }
    m_edits.applySettings(edited);
    const SettingsValues& v = m_s.values;
    // A file manager that cannot learn of the hidden folder is no reason to stop a Save.
    setFolderHidden(m_s.archiveFolder, v.showArchiveFolder == 0);

    // Without a home folder there is no place for the settings; never the file system's root.
    if (m_s.appDataFolder.empty()) {
        r.failure = Failure{FailureKind::Refused, "Can't save the settings: there is no folder for them (HOME is not set)."};
        m_saveEnabled = true;
        return r;
    }
    const std::string path = settingsFilePath(m_s.appDataFolder);
    // A file that exists but cannot be read may hold the user's settings: the first Save says
    // so, and only a second one replaces it.
    if (const std::string problem = settingsFileProblem(path); !problem.empty() && !m_replaceUnreadable) {
        r.failure = Failure{FailureKind::Refused, msg::settingsSaveWouldReplace(path, problem), path};
        m_replaceUnreadable = true;
        m_saveEnabled = true;
        return r;
    }
    if (Result<void> saved = writeSettingsFile(path, v, m_s.userName); !saved) {
        r.failure = Failure{FailureKind::WriteFailed,
                            "Can't save the settings in \"" + path + "\":\r\n" + saved.failure().text, path};
        m_saveEnabled = true;
        return r;
    }
    r.hideMessageLine = m_s.settingsMistaken || !m_s.settingsFileProblem.empty();
    m_edits.settingsSaved();
    m_replaceUnreadable = false;
    m_saveEnabled = false;
    return r;
}

std::optional<std::string> SettingsModel::hiddenMessage() const {
    if (m_upDown[Standard].position != 3 || m_upDown[Important].position != 5 || m_upDown[Valuable].position != 7)
        return std::nullopt;
    // Kept enciphered, so that it is found by the positions and not by reading the program.
    static const unsigned char kText[] = {
#include "engine/HiddenMessage.inc"
    };
    static const char kKey[] = "kestrel";
    std::string text;
    for (std::size_t i = 0; i < sizeof kText; ++i) text += char(kText[i] ^ kKey[i % (sizeof kKey - 1)]);
    return text;
}

} // namespace kp
