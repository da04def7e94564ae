#include "store/IgnoreRules.h"

#include "platform/Text.h"

namespace kp {

namespace {

// Where the bracket expression opening at pattern[open] ends (its "]"), or npos when unclosed.
std::size_t bracketEnd(std::string_view pattern, std::size_t open) {
    std::size_t i = open + 1;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) ++i;
    if (i < pattern.size() && pattern[i] == ']') ++i; // a leading "]" is a member
    for (; i < pattern.size(); ++i) {
        if (pattern[i] == '\\' && i + 1 < pattern.size()) ++i;
        else if (pattern[i] == ']') return i;
    }
    return std::string_view::npos;
}

bool bracketMatches(std::string_view set, char c) {
    bool negated = false;
    std::size_t i = 0;
    if (i < set.size() && (set[i] == '!' || set[i] == '^')) { negated = true; ++i; }
    bool found = false;
    while (i < set.size()) {
        char low = set[i];
        if (low == '\\' && i + 1 < set.size()) low = set[++i];
        ++i;
        char high = low;
        if (i + 1 < set.size() && set[i] == '-') {
            high = set[i + 1];
            if (high == '\\' && i + 2 < set.size()) { high = set[i + 2]; ++i; }
            i += 2;
        }
        if (c >= low && c <= high) found = true;
    }
    return found != negated;
}

// Matches one path component against one pattern component: "*", "?", "[...]", "\x".
bool globMatches(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()) {
            char c = pattern[p];
            if (c == '*') { starP = p++; starN = n; continue; }
            if (c == '?') { ++p; ++n; continue; }
            if (c == '[') {
                std::size_t end = bracketEnd(pattern, p);
                if (bracketMatches(pattern.substr(p + 1, end - p - 1), name[n])) {
                    p = end + 1; ++n; continue;
                }
            } else {
                if (c == '\\' && p + 1 < pattern.size()) c = pattern[++p];
                if (c == name[n]) { ++p; ++n; continue; }
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP + 1;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool segmentsMatch(const std::vector<std::string>& segs, std::size_t s,
                   const std::vector<std::string_view>& parts, std::size_t i) {
    for (; s < segs.size(); ++s, ++i) {
        if (segs[s] == "**") {
            // A closing "/**" holds what is inside, never the folder itself.
            if (s + 1 == segs.size()) return i < parts.size();
            for (std::size_t k = i; k <= parts.size(); ++k)
                if (segmentsMatch(segs, s + 1, parts, k)) return true;
            return false;
        }
        if (i >= parts.size() || !globMatches(segs[s], parts[i])) return false;
    }
    return i == parts.size();
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > start) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// Trailing spaces are dropped unless escaped with "\".
std::string_view trimTrailingSpaces(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
        std::size_t backslashes = 0;
        for (std::size_t i = line.size() - 1; i > 0 && line[i - 1] == '\\'; --i) ++backslashes;
        if (backslashes % 2 == 1) break;
        line.remove_suffix(1);
    }
    return line;
}

bool hasUnclosedBracket(std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') { ++i; continue; }
        if (pattern[i] == '[') {
            std::size_t end = bracketEnd(pattern, i);
            if (end == std::string_view::npos) return true;
            i = end;
        }
    }
    return false;
}

} // namespace

IgnoreRules IgnoreRules::parse(std::string_view fileText) {
    IgnoreRules result;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t end = fileText.find('\n', start);
        if (end == std::string_view::npos) end = fileText.size();
        std::string_view raw = fileText.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        std::string_view line = trimTrailingSpaces(raw);
        if (line.empty() || line.front() == '#') continue;

        IgnoreRule rule;
        rule.text = std::string(line);
        rule.line = lineNumber;
        if (line.front() == '!') { rule.negated = true; line.remove_prefix(1); }
        else if (line.front() == '\\' && line.size() > 1 && (line[1] == '#' || line[1] == '!'))
            line.remove_prefix(1);
        if (!line.empty() && line.back() == '/') { rule.foldersOnly = true; line.remove_suffix(1); }
        if (line.empty()) continue;
        if (hasUnclosedBracket(line)) {
            result.errors_.push_back({lineNumber, std::string(raw), "unclosed \"[\""});
            continue;
        }
        rule.anchored = line.find('/') != std::string_view::npos;
        std::string lowered = lowerUtf8(line);
        for (auto part : splitPath(lowered)) {
            // "a/**/**/b" means the same as "a/**/b"; merging keeps matching linear.
            if (part == "**" && !rule.segments.empty() && rule.segments.back() == "**") continue;
            rule.segments.emplace_back(part);
        }
        if (rule.segments.empty()) continue;
        result.rules_.push_back(std::move(rule));
    }
    return result;
}

const IgnoreRule* IgnoreRules::match(std::string_view relativePath, bool isFolder) const {
    if (rules_.empty()) return nullptr;
    std::string lowered = lowerUtf8(relativePath);
    auto parts = splitPath(lowered);
    if (parts.empty()) return nullptr;
    for (auto it = rules_.rbegin(); it != rules_.rend(); ++it) {
        const IgnoreRule& rule = *it;
        if (rule.foldersOnly && !isFolder) continue;
        bool hit = rule.anchored ? segmentsMatch(rule.segments, 0, parts, 0)
                                 : globMatches(rule.segments.front(), parts.back());
        if (hit) return rule.negated ? nullptr : &rule;
    }
    return nullptr;
}

const IgnoreRule* IgnoreRules::matchWithParents(std::string_view relativePath, bool isFolder) const {
    std::size_t slash = relativePath.find('/');
    while (slash != std::string_view::npos && slash + 1 < relativePath.size()) {
        if (const IgnoreRule* rule = match(relativePath.substr(0, slash), true)) return rule;
        slash = relativePath.find('/', slash + 1);
    }
    return match(relativePath, isFolder);
}

} // namespace kp
