#include "platform/Text.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cwctype>
#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace kp {

namespace {

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 for a malformed one.
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len;
    if (b0 < 0x80) { cp = b0; return 1; }
    if ((b0 & 0xE0) == 0xC0) { len = 2; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; cp = b0 & 0x07; }
    else return 0;
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

#ifdef _WIN32
// The system's own lower-casing of one code point, the same for every user locale.
char32_t lowerCodePoint(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    wchar_t in[2], out[2];
    int n = 1;
    if (cp >= 0x10000) {
        in[0] = wchar_t(0xD800 + ((cp - 0x10000) >> 10));
        in[1] = wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        n = 2;
    } else {
        in[0] = wchar_t(cp);
    }
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, in, n, out, 2, nullptr, nullptr, 0) != n) return cp;
    if (n == 1) return (out[0] >= 0xD800 && out[0] < 0xE000) ? cp : char32_t(out[0]);
    return 0x10000 + ((char32_t(out[0]) - 0xD800) << 10) + (char32_t(out[1]) - 0xDC00);
}

bool isLetterOrDigit(char32_t cp) {
    if (cp >= 0x10000) return false; // the system classifies one UTF-16 unit at a time
    const wchar_t c = wchar_t(cp);
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &c, 1, &type) && (type & (C1_ALPHA | C1_DIGIT));
}
#else
// A locale with full Unicode case tables, independent of the user's LANG.
locale_t unicodeLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C.utf8", locale_t(0));
        return l;
    }();
    return loc;
}

char32_t lowerCodePoint(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (locale_t loc = unicodeLocale()) return char32_t(towlower_l(wint_t(cp), loc));
    return cp;
}

bool isLetterOrDigit(char32_t cp) { return unicodeLocale() && iswalnum_l(wint_t(cp), unicodeLocale()); }
#endif

} // namespace

std::string lowerUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    appendLowerUtf8(out, s);
    return out;
}

void appendLowerUtf8(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += (b >= 'A' && b <= 'Z') ? char(b + 32) : char(b);
            ++i;
            continue;
        }
        char32_t cp;
        const std::size_t len = decodeUtf8(s, i, cp);
        if (len == 0) { // not UTF-8: keep the byte as it is
            out += s[i++];
            continue;
        }
        appendUtf8(out, lowerCodePoint(cp));
        i += len;
    }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) { return lowerUtf8(a) == lowerUtf8(b); }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty()) return true;
    const std::string lt = lowerUtf8(text), lp = lowerUtf8(prefix);
    return lt.compare(0, lp.size(), lp) == 0;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
    const std::string la = lowerUtf8(a), lb = lowerUtf8(b);
    return la < lb ? -1 : (la == lb ? 0 : 1);
}

namespace {

// Whether the lower-cased haystack from byte at on begins with lowerNeedle; ASCII is compared
// without building strings, so a search costs no memory and little time per position.
bool lowerMatchesAt(std::string_view haystack, std::size_t at, std::string_view lowerNeedle) {
    std::size_t k = 0;
    for (std::size_t j = at; k < lowerNeedle.size();) {
        if (j >= haystack.size()) return false;
        const auto c = static_cast<unsigned char>(haystack[j]);
        if (c < 0x80) {
            if (lowerNeedle[k] != ((c >= 'A' && c <= 'Z') ? char(c + 32) : char(c))) return false;
            ++k;
            ++j;
            continue;
        }
        char32_t cp;
        std::size_t len = decodeUtf8(haystack, j, cp);
        if (len == 0) len = 1;
        const std::string part = lowerUtf8(haystack.substr(j, len));
        if (lowerNeedle.compare(k, part.size(), part) != 0) return false;
        k += part.size();
        j += len;
    }
    return true;
}

} // namespace

std::size_t findIgnoringCase(std::string_view haystack, std::string_view needle) {
    const std::string ln = lowerUtf8(needle);
    if (ln.empty()) return 0;
    for (std::size_t i = 0; i < haystack.size();) {
        if (lowerMatchesAt(haystack, i, ln)) return i;
        char32_t cp;
        const std::size_t len = decodeUtf8(haystack, i, cp);
        i += len == 0 ? 1 : len;
    }
    return std::string::npos;
}

std::string cp437ToUtf8(std::string_view s) {
    static constexpr char16_t kHigh[128] = {
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
        0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
        0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
        0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
        0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
        0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
        0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
        0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
        0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
        0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x80) out += char(c);
        else appendUtf8(out, kHigh[c - 0x80]);
    }
    return out;
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        const std::size_t len = decodeUtf8(s, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return std::string(s.substr(b, e - b));
}

std::string trimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::string replaceAll(std::string s, std::string_view from, std::string_view to) {
    if (from.empty()) return s;
    std::size_t pos = s.find(from);
    if (pos == std::string::npos) return s;
    // Built piece by piece: replacing in place moves the rest of the text at every match.
    std::string out;
    out.reserve(s.size());
    std::size_t done = 0;
    for (; pos != std::string::npos; pos = s.find(from, done)) {
        out.append(s, done, pos - done);
        out.append(to);
        done = pos + from.size();
    }
    out.append(s, done, std::string::npos);
    return out;
}

std::string displayText(std::string_view s) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size());
    auto escape = [&](unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            escape(c);
            ++i;
        } else if (c < 0x80) {
            out += char(c);
            ++i;
        } else {
            char32_t cp;
            const std::size_t n = decodeUtf8(s, i, cp);
            if (n == 0) {
                escape(c);
                ++i;
            } else if (cp >= 0x80 && cp < 0xA0) { // C1 controls steer terminals too
                for (std::size_t k = 0; k < n; ++k) escape(static_cast<unsigned char>(s[i + k]));
                i += n;
            } else {
                out.append(s.substr(i, n));
                i += n;
            }
        }
    }
    return out;
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = s.find(sep, start);
        parts.emplace_back(s.substr(start, pos - start));
        if (pos == std::string_view::npos) break;
        start = pos + 1;
    }
    return parts;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool parseInt64(std::string_view s, long long& out) {
    if (s.empty()) return false;
    std::size_t i = 0;
    if (s[0] == '+') i = 1; // from_chars takes "-" but not "+"
    if (i == s.size()) return false;
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size()) return false;
    out = v;
    return true;
}

bool parseInt(std::string_view s, int& out) {
    long long v;
    if (!parseInt64(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
    out = int(v);
    return true;
}

bool isLettersDigitsOr(std::string_view s, std::string_view extra) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        const std::size_t len = decodeUtf8(s, i, cp);
        if (len == 0) return false;
        i += len;
        if (cp < 0x80 && extra.find(char(cp)) != std::string_view::npos) continue;
        if (cp < 0x80 ? !std::isalnum(int(cp)) : !isLetterOrDigit(cp))
            return false;
    }
    return true;
}

bool wildcardMatch(std::string_view mask, std::string_view name) {
    // Iterative, with one backtrack point: linear in practice, never exponential.
    std::size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
    auto same = [](char maskChar, char nameChar) {
        return maskChar == '?' || maskChar == nameChar || (maskChar == '\\' && nameChar == '/');
    };
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && same(mask[m], name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

std::size_t utf8Length(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string utf8Prefix(std::string_view s, std::size_t n) {
    std::size_t count = 0, i = 0;
    for (; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n) break;
            ++count;
        }
    }
    return std::string(s.substr(0, i));
}

} // namespace kp
