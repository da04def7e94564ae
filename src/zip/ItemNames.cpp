#include "zip/ItemNames.h"

#include "platform/Text.h"
#include "zip/ZipFormat.h"

namespace kp {

namespace {

bool hasPart(std::string_view name, std::string_view part) {
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == part) return true;
        start = end + 1;
    }
    return false;
}

bool hasDriveLetter(std::string_view name) {
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// Code page 437's glyphs for the codes 0x01-0x1F, and for 0x7F.
constexpr const char* kLowGlyphs[32] = {"",  "☺", "☻", "♥", "♦", "♣", "♠", "•", "◘", "○", "◙",
                                        "♂", "♀", "♪", "♫", "☼", "►", "◄", "↕", "‼", "¶", "§",
                                        "▬", "↨", "↑", "↓", "→", "←", "∟", "↔", "▲", "▼"};
constexpr const char* kGlyph7F = "⌂";

} // namespace

std::string dosNameToUtf8(std::string_view raw) {
    std::string out;
    out.reserve(raw.size() + 8);
    std::size_t runStart = 0;
    const auto flushRun = [&](std::size_t end) { out += cp437ToUtf8(raw.substr(runStart, end - runStart)); };
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == 0 || (c >= 0x20 && c != 0x7F)) continue;
        flushRun(i);
        out += c == 0x7F ? kGlyph7F : kLowGlyphs[c];
        runStart = i + 1;
    }
    flushRun(raw.size());
    return out;
}

std::string nameCharacterProblem(std::string_view name) {
    for (unsigned char c : name) {
        if (c == 0) return "its name contains a NUL byte";
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
            return "its name contains a control character";
    }
    return {};
}

std::string writableNameProblem(std::string_view name) {
    if (name.empty() || name == "/") return "the name is empty";
    if (name.size() > 0xFFFF) return "the name is longer than 65,535 bytes";
    if (auto problem = nameCharacterProblem(name); !problem.empty()) return problem;
    if (name.front() == '/') return "the name is an absolute path";
    if (hasDriveLetter(name)) return "the name begins with a drive letter";
    const std::string_view body = itemPath(name);
    if (hasPart(body, "")) return "the name has an empty part";
    if (hasPart(body, ".") || hasPart(body, "..")) return "the name has a \".\" or \"..\" part";
    return {};
}

std::uint16_t nameEncodingFlag(std::string_view name) {
    return isValidUtf8(name) ? zipformat::kFlagUtf8 : 0;
}

std::string extractionProblem(const ZipItem& item) {
    const std::string_view name = item.fileName;
    if (name.empty()) return "its name is empty";
    if (name.front() == '/') return "its name is an absolute path";
    if (hasDriveLetter(name)) return "its name begins with a drive letter";
    if (hasPart(name, "..")) return "its name has a \"..\" part that leads out of the target folder";
    // "a//b", "a/./b" and "." name no file of their own: written out they would land on
    // another item's place or on the target folder itself.
    const std::string_view body = itemPath(name);
    if (hasPart(body, "") || hasPart(body, ".")) return "its name has an empty or \".\" part";
    if (item.isSymbolicLink()) return "it is a symbolic link";
    if (item.isFolder() && item.uncompressedSize > 0)
        return "it is a folder, yet it holds " + std::to_string(item.uncompressedSize) + " bytes of data";
    return {};
}

std::string_view itemPath(std::string_view name) {
    if (!name.empty() && name.back() == '/') name.remove_suffix(1);
    return name;
}

bool matchesMask(std::string_view name, std::string_view mask) { return wildcardMatch(mask, name); }

} // namespace kp
