// What the Settings tab shows and what its controls do: the comment language, the three
// train lengths with their neighbour rules, the capacity factor, the two visibility boxes,
// which settings differ from the saved ones, and Save. The values edited here are held
// aside until Save; closing the options window neither saves nor drops them, so a later
// showing in the same run starts with them.
#pragma once
#include <optional>
#include <string>

#include "platform/Result.h"
#include <vector>

#include "engine/CardModel.h"
#include "engine/CommentLanguages.h"
#include "engine/RunEdits.h"

namespace kp {

// One up-down: its position and the bounds it keeps the position within.
struct UpDown {
    int position = 1;
    int min = 1;
    int max = 1;
    bool enabled = true;
};

enum class Step { Up, Down };

struct SettingsSaveResult {
    // Shown before the card fades out, when " Show window" was unticked.
    std::string visibilityMessage;
    std::optional<CardVisibility> cardVisibility; // how the card is to be shown now; none: leave it
    bool hideMessageLine = false; // the mistaken-settings warning has been answered
    // Why setting.ini was not written: Refused (no folder for it, or a first Save that would
    // replace an unreadable file) or WriteFailed; none when it was.
    std::optional<Failure> failure;
    bool written() const { return !failure; }
};

inline constexpr const char* kShowWindowUnchecked =
    " \"Show window\" is unchecked.\r\n Now the option window may be opened only\r\n at the start of the "
    "program by pressing the key \"Ctrl\".";

class SettingsModel {
public:
    enum Value { Standard, Important, Valuable, Capacity };

    // languages: the comment languages the desktop offers (commentLanguages()).
    SettingsModel(RunEdits edits, std::vector<CommentLanguage> languages);

    // The comment-language box: its items ("    " + name) and the one shown at first, the
    // saved language (added to the items when the desktop does not offer it).
    std::vector<std::string> languageItems() const;
    int selectedLanguage() const { return m_selectedLanguage; }
    void chooseLanguage(int index);
    const std::string& commentLayoutEdited() const { return m_layoutEdited; }

    const UpDown& upDown(Value v) const { return m_upDown[v]; }
    // One step of an up-down (its arrows, an arrow key or a wheel notch). The neighbour rules
    // set the bounds first, so L standard < L important < L valuable always holds, and a
    // step that would leave the bounds leaves the value where it is. A disabled up-down
    // does not step. Returns whether the position changed.
    bool step(Value v, Step direction);
    // What the display edits show: a train length right-aligned in five characters, the
    // capacity factor after one blank.
    std::string displayText(Value v) const;

    bool showWindowEdited() const { return m_showWindow; }
    bool showArchiveFolderEdited() const { return m_showArchiveFolder; }
    void setShowWindow(bool on);
    void setShowArchiveFolder(bool on);

    // Ten characters, "s" where an edited setting differs from the saved one: 1 comment
    // language, 2 archive folder visibility, 3 progress window visibility, 4-6 the train
    // lengths, 7 the capacity factor; 8-10 always blank.
    const std::string& changeMarks() const { return m_marks; }
    // Save is usable while something differs, or while mistaken settings wait to be saved.
    bool saveEnabled() const { return m_saveEnabled; }

    // Takes the edited values into the run (train lengths and capacity at once, the card's
    // and the archive folder's visibility at once, the comment language from the next run)
    // and writes setting.ini. On a failed write Save stays usable.
    SettingsSaveResult save();

    // The blank label's message, when the train lengths stand at its positions.
    std::optional<std::string> hiddenMessage() const;

private:
    void settingChange();

    RunEdits m_edits;
    const RunState& m_s;
    std::vector<CommentLanguage> m_languages;
    int m_selectedLanguage = 0;
    std::string m_layoutEdited;
    UpDown m_upDown[4];
    bool m_showWindow = true;
    bool m_showArchiveFolder = true;
    std::string m_marks = std::string(10, ' ');
    bool m_saveEnabled = false;
    bool m_replaceUnreadable = false; // the user was told that Save replaces an unreadable file
};

} // namespace kp
