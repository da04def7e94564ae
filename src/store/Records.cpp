#include "store/Records.h"

#include <utility>
#include <vector>

#include "platform/Text.h"

namespace kp {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr std::size_t kWrapColumn = 77;

const char* const kMarkHeading = "<heading>";
const char* const kMarkProjectName = "<project name>";
const char* const kMarkCurrentArchive = "<current archive>";
const char* const kMarkSettings = "<settings>";
const char* const kMarkComment = "<comment>";
const char* const kMarkPrimary = "<primary archive with full copy of the project>";
const char* const kMarkMissing = "<missing item(s) relatively to the primary archive>";

std::string section(const char* mark, const std::string& body) {
    return std::string(mark) + kCrLf + body + kCrLf + kCrLf;
}

std::string normaliseLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += kCrLf;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

bool isBreakChar(char c) {
    return c == ' ' || c == '-' || c == '\t';
}
bool isQuote(char c) {
    return c == '\'' || c == '"';
}
bool startsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// Where a line starting at `from` may be cut: just after the last break character within
// the first 77 characters, or, when a single word is longer than that, after the first
// break character that follows it. Break characters inside quotes never count, so quoted
// text stays whole. npos when the rest cannot be broken.
std::size_t cutPosition(const std::string& line, std::size_t from) {
    std::size_t column = 0, lastWithin = std::string::npos;
    char quote = 0;
    for (std::size_t i = from; i < line.size(); ++i) {
        const char c = line[i];
        if (startsCharacter(c)) ++column;
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (isQuote(c)) {
            quote = c;
        } else if (isBreakChar(c)) {
            if (column <= kWrapColumn) {
                lastWithin = i + 1;
            } else {
                return lastWithin; // no break character within the columns: the line stays whole
            }
        }
        if (column > kWrapColumn && lastWithin != std::string::npos) return lastWithin;
    }
    // A quote that never closes keeps the rest whole, but the line may still break before it.
    return column > kWrapColumn ? lastWithin : std::string::npos;
}

void wrapLine(const std::string& line, std::vector<std::string>& out) {
    std::size_t start = 0;
    while (utf8Length(std::string_view(line).substr(start)) > kWrapColumn) {
        const std::size_t cut = cutPosition(line, start);
        if (cut == std::string::npos || cut >= line.size()) break;
        out.push_back(line.substr(start, cut - start));
        start = cut;
        while (start < line.size() && isBreakChar(line[start]))
            ++start;
        if (start == line.size()) return;
    }
    out.push_back(line.substr(start));
}

std::string repeated(char c, std::size_t n) {
    return std::string(n, c);
}

// Removes the first occurrence of needle, compared ignoring case. The matched stretch is
// found by lower-casing, whose byte length may differ from the original's, so the end is
// looked for character by character.
// Where the first occurrence of needle (ignoring case) begins and ends in text; both npos
// when there is none. Lower-casing may change byte lengths, so the end is looked for
// character by character.
std::pair<std::size_t, std::size_t> firstIgnoringCase(const std::string& text, const std::string& needle) {
    const std::size_t pos = findIgnoringCase(text, needle);
    if (pos == std::string::npos) return {pos, pos};
    const std::string target = lowerUtf8(needle);
    for (std::size_t end = pos + 1; end <= text.size() && end - pos <= 4 * target.size() + 4; ++end) {
        if (end < text.size() && !startsCharacter(text[end])) continue;
        if (lowerUtf8(std::string_view(text).substr(pos, end - pos)) == target) return {pos, end};
    }
    return {std::string::npos, std::string::npos};
}

std::string logEntry(const std::string& archiveName, const std::string& comment) {
    const std::string layout = replaceAll(wrapComment77(comment), kCrLf, "\r\n  ");
    return std::string(kCrLf) + kCrLf + "  [ " + archiveName + " ]" + kCrLf + kCrLf + "  " + layout + kCrLf +
           kCrLf + repeated('-', 80);
}

} // namespace

std::string ComposeProjectSet(const ProjectSetFields& f) {
    std::string text =
        section(kMarkHeading, "This file contains the data for the backup assistant Kestrelpad");
    text += section(kMarkProjectName, f.projectName);
    text += section(kMarkCurrentArchive, f.archiveName);
    if (f.projectStatus != 0) text += section(kMarkSettings, "ps:" + std::to_string(f.projectStatus));
    if (f.kind == ArchiveKind::Full) {
        text += section(kMarkComment, f.comment);
        return text;
    }
    text += section(kMarkPrimary, f.primaryArchive);
    // The missing paths already end in CR LF each; the section closes with two empty lines.
    if (!f.missingText.empty()) text += std::string(kMarkMissing) + kCrLf + f.missingText + kCrLf + kCrLf;
    return text;
}

std::string ComposeZipComment(const std::string& comment, const std::string& archiveName) {
    return comment + kCrLf + "[ " + archiveName + " ]";
}

std::string projectLogHeading(const std::string& projectName) {
    return repeated('=', 80) + kCrLf + kCrLf + "  History of the project \"" + projectName + "\"" + kCrLf +
           kCrLf + repeated('=', 80);
}

std::string ComposeProjectLog(const std::string& latestLogText, const std::string& projectName,
                              const std::string& archiveName, const std::string& comment) {
    const std::string heading = projectLogHeading(projectName);
    const std::string entry = logEntry(archiveName, comment);
    // Built in one piece: the previous log may be large, and every temporary copy of it counts.
    const auto [from, to] = firstIgnoringCase(latestLogText, heading);
    std::string log;
    log.reserve(heading.size() + entry.size() + latestLogText.size());
    log += heading;
    log += entry;
    if (from == std::string::npos) {
        log += latestLogText;
    } else {
        log.append(latestLogText, 0, from);
        log.append(latestLogText, to, std::string::npos);
    }
    return log;
}

std::string relativeArchiveName(const std::string& archiveFolder, const std::string& fullPath) {
    const std::string prefix = archiveFolder + "/";
    if (fullPath.size() > prefix.size() && equalsIgnoringCase(fullPath.substr(0, prefix.size()), prefix))
        return fullPath.substr(prefix.size());
    return fullPath;
}

std::string wrapComment77(const std::string& text) {
    const std::vector<std::string> lines = split(normaliseLineBreaks(text), '\n');
    std::vector<std::string> wrapped;
    for (std::string line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        wrapLine(line, wrapped);
    }
    std::string out;
    for (std::size_t i = 0; i < wrapped.size(); ++i) {
        if (i > 0) out += kCrLf;
        out += wrapped[i];
    }
    return out;
}

std::string projectSetSettingsText(const std::string& text) {
    // The settings section, when present, comes right after the current archive and before
    // the comment or the primary archive; a "<settings>" line further down is user text.
    const std::string settingsMark = std::string(kCrLf) + kCrLf + kMarkSettings + kCrLf;
    const std::size_t settings = text.find(settingsMark);
    if (settings == std::string::npos) return {};
    for (const char* later : {kMarkComment, kMarkPrimary}) {
        const std::size_t pos = text.find(std::string(kCrLf) + kCrLf + later + kCrLf);
        if (pos != std::string::npos && pos < settings) return {};
    }
    const std::size_t begin = settings + settingsMark.size();
    const std::size_t end = text.find(std::string(kCrLf) + kCrLf, begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

} // namespace kp

namespace kp {

RelativeRecord projectSetRelativeRecord(const std::string& text) {
    RelativeRecord r;
    // Sections begin after an empty line: a project name ending in the mark is no section.
    const std::string primaryMark = std::string(kCrLf) + kCrLf + kMarkPrimary + kCrLf;
    const std::size_t primary = text.find(primaryMark);
    if (primary == std::string::npos) return r;
    // A full state's comment section comes first: a comment that imitates the primary
    // section is the user's text, never a relation to another archive.
    const std::size_t comment = text.find(std::string(kCrLf) + kCrLf + kMarkComment + kCrLf);
    if (comment != std::string::npos && comment < primary) return r;
    const std::size_t nameBegin = primary + primaryMark.size();
    const std::size_t nameEnd = text.find(kCrLf, nameBegin);
    if (nameEnd == std::string::npos) return r;
    r.primaryArchive = text.substr(nameBegin, nameEnd - nameBegin);
    // The missing section is the last one: its paths, each ending in CR LF, then CR LF CR LF.
    const std::string missingMark = std::string(kCrLf) + kCrLf + kMarkMissing + kCrLf;
    const std::size_t missing = text.find(missingMark, nameEnd);
    const std::size_t begin = missing + missingMark.size();
    if (missing != std::string::npos && text.ends_with("\r\n\r\n") && text.size() >= begin + 4)
        r.missingText = text.substr(begin, text.size() - 4 - begin);
    return r;
}

} // namespace kp
