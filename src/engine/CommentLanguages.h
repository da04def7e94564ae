// The comment languages the Settings tab offers: the desktop's input languages (XKB layout
// names such as "us" or "de(nodeadkeys)") as the layout identifiers the settings string
// keeps ("00000407"), with their language names.
#pragma once
#include <string>
#include <vector>

namespace kp {

struct CommentLanguage {
    std::string layout; // eight upper-case hexadecimal digits
    std::string name;   // "German (Germany)"
};

// The identifier a run always accepts, present in every list.
inline constexpr const char* kUsEnglishLayout = "00000409";

// One entry per language, in the desktop's order, followed by US English when the desktop
// lacks it. Entries of a list may themselves be comma-separated lists; variants ("(...)",
// "+..." or ":..." after the name) do not count, and unknown names are left out. A language
// whose identifier the start-up check would refuse (it must read as a decimal number, so
// 0000040C, French, is refused) is left out too: saving it could only bring back the
// mistaken-settings warning at every start.
std::vector<CommentLanguage> commentLanguages(const std::vector<std::string>& desktopLayouts);

// The same from the system's loaded keyboard layouts (Windows): each entry's identifier is
// the language of a layout ("%08X" of its low 16 bits) and its name the system's name of
// that language, or "" to take the table's. Kept in order, each language once, and only
// those a run keeps, followed by US English when missing.
std::vector<CommentLanguage> commentLanguagesOfLayouts(const std::vector<CommentLanguage>& loaded);

// The language name of an identifier, or "" when the table does not know it.
std::string commentLanguageName(const std::string& layout);

} // namespace kp
