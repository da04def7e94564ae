#include "engine/CommentLanguages.h"

#include <algorithm>
#include <cctype>

#include "platform/Text.h"
#include "store/Settings.h"

namespace kp {

namespace {

struct KnownLayout {
    const char* xkb;
    const char* layout;
    const char* name;
};

// XKB layout names and the identifiers of the same languages.
constexpr KnownLayout kKnown[] = {
    {"us", "00000409", "English (United States)"},
    {"gb", "00000809", "English (United Kingdom)"},
    {"ie", "00001809", "English (Ireland)"},
    {"de", "00000407", "German (Germany)"},
    {"ch", "00000807", "German (Switzerland)"},
    {"at", "00000C07", "German (Austria)"},
    {"fr", "0000040C", "French (France)"},
    {"be", "0000080C", "French (Belgium)"},
    {"ca", "00000C0C", "French (Canada)"},
    {"es", "00000C0A", "Spanish (Spain)"},
    {"latam", "0000080A", "Spanish (Mexico)"},
    {"it", "00000410", "Italian (Italy)"},
    {"pt", "00000816", "Portuguese (Portugal)"},
    {"br", "00000416", "Portuguese (Brazil)"},
    {"nl", "00000413", "Dutch (Netherlands)"},
    {"dk", "00000406", "Danish (Denmark)"},
    {"no", "00000414", "Norwegian, Bokmal (Norway)"},
    {"se", "0000041D", "Swedish (Sweden)"},
    {"fi", "0000040B", "Finnish (Finland)"},
    {"is", "0000040F", "Icelandic (Iceland)"},
    {"pl", "00000415", "Polish (Poland)"},
    {"cz", "00000405", "Czech (Czech Republic)"},
    {"sk", "0000041B", "Slovak (Slovakia)"},
    {"hu", "0000040E", "Hungarian (Hungary)"},
    {"ro", "00000418", "Romanian (Romania)"},
    {"bg", "00000402", "Bulgarian (Bulgaria)"},
    {"si", "00000424", "Slovenian (Slovenia)"},
    {"hr", "0000041A", "Croatian (Croatia)"},
    {"lt", "00000427", "Lithuanian (Lithuania)"},
    {"lv", "00000426", "Latvian (Latvia)"},
    {"ee", "00000425", "Estonian (Estonia)"},
    {"ru", "00000419", "Russian (Russia)"},
    {"ua", "00000422", "Ukrainian (Ukraine)"},
    {"by", "00000423", "Belarusian (Belarus)"},
    {"gr", "00000408", "Greek (Greece)"},
    {"tr", "0000041F", "Turkish (Turkey)"},
    {"il", "0000040D", "Hebrew (Israel)"},
    {"ara", "00000401", "Arabic (Saudi Arabia)"},
    {"ir", "00000429", "Persian (Iran)"},
    {"pk", "00000420", "Urdu (Pakistan)"},
    {"in", "00000439", "Hindi (India)"},
    {"ge", "00000437", "Georgian (Georgia)"},
    {"th", "0000041E", "Thai (Thailand)"},
    {"vn", "0000042A", "Vietnamese (Vietnam)"},
    {"jp", "00000411", "Japanese (Japan)"},
    {"kr", "00000412", "Korean (Korea)"},
    {"cn", "00000804", "Chinese (Simplified, PRC)"},
    {"tw", "00000404", "Chinese (Traditional, Taiwan)"},
};

// The start-up check of cL, asked of the same rule kpad settings applies.
bool keptByARun(const std::string& layout) {
    SettingsValues v;
    return applyUserSettings("cL:" + layout, v).empty();
}

std::string baseName(std::string name) {
    const auto cut = name.find_first_of("(+:");
    if (cut != std::string::npos) name.resize(cut);
    return lowerUtf8(trim(name));
}

void addKept(std::vector<CommentLanguage>& out, const CommentLanguage& language) {
    if (!keptByARun(language.layout)) return;
    if (std::any_of(out.begin(), out.end(), [&](const CommentLanguage& c) { return equalsIgnoringCase(c.layout, language.layout); }))
        return;
    out.push_back(language);
}

} // namespace

std::vector<CommentLanguage> commentLanguages(const std::vector<std::string>& desktopLayouts) {
    std::vector<CommentLanguage> out;
    auto add = [&](const KnownLayout& k) { addKept(out, {k.layout, k.name}); };
    for (const std::string& entry : desktopLayouts) {
        for (const std::string& part : split(entry, ',')) {
            const std::string name = baseName(part);
            for (const KnownLayout& k : kKnown)
                if (name == k.xkb) add(k);
        }
    }
    add(kKnown[0]);
    return out;
}

std::vector<CommentLanguage> commentLanguagesOfLayouts(const std::vector<CommentLanguage>& loaded) {
    std::vector<CommentLanguage> out;
    for (CommentLanguage language : loaded) {
        for (char& c : language.layout) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (language.name.empty()) language.name = commentLanguageName(language.layout);
        if (language.name.empty()) language.name = "Layout " + language.layout;
        addKept(out, language);
    }
    addKept(out, {kKnown[0].layout, kKnown[0].name});
    return out;
}

std::string commentLanguageName(const std::string& layout) {
    for (const KnownLayout& k : kKnown)
        if (equalsIgnoringCase(layout, k.layout)) return k.name;
    return {};
}

} // namespace kp
