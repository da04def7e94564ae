#include "store/ArchiveNames.h"

#include <algorithm>

#include "platform/Text.h"

namespace kp {

namespace {

constexpr int kEarliestYymmdd = 80802; // 2 August 2008: no archive can be older

bool allDigits(const std::string& s, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

int number(const std::string& s, std::size_t from, std::size_t count) {
    int n = 0;
    for (std::size_t i = from; i < from + count; ++i)
        n = n * 10 + (s[i] - '0');
    return n;
}

// "-yymmdd.hhnn" with a real date no later than today and a time up to 24:00.
bool hasValidStamp(const std::string& t, int todayYymmdd) {
    if (t.size() < 12 || t[0] != '-' || t[7] != '.') return false;
    if (!allDigits(t, 1, 6) || !allDigits(t, 8, 4)) return false;
    const int yymmdd = number(t, 1, 6), mm = number(t, 3, 2), dd = number(t, 5, 2);
    const int hhnn = number(t, 8, 4), hh = number(t, 8, 2), nn = number(t, 10, 2);
    return yymmdd >= kEarliestYymmdd && yymmdd <= todayYymmdd && mm >= 1 && mm <= 12 && dd >= 1 && dd <= 31 &&
           hhnn <= 2400 && hh <= 24 && nn <= 59;
}

bool isVersionNumber(const std::string& text) {
    const std::vector<std::string> parts = split(text, '.');
    if (parts.size() != 2 && parts.size() != 3) return false;
    for (std::size_t i = 0; i < 2; ++i) {
        int v = 0;
        if (!parseInt(trim(parts[i]), v) || v == -1) return false;
    }
    return true;
}

// The suffix after the stamp: none, "c", or "c-v." and a version of two or three parts.
bool hasValidSuffix(const std::string& t) {
    if (t.size() < 4 || !equalsIgnoringCase(t.substr(t.size() - 4), ".zip")) return false;
    const std::string s = t.substr(0, t.size() - 4);
    if (s.size() >= 13 && s[12] != 'c' && s[12] != 'C') return false;
    if (s.size() == 14 || s.size() == 15) return false;
    if (s.size() >= 16) return equalsIgnoringCase(s.substr(13, 3), "-v.") && isVersionNumber(s.substr(16));
    return true;
}

} // namespace

int yymmddOf(int year, int month, int day) {
    return (year % 100) * 10000 + month * 100 + day;
}

bool isValidArchiveTail(const std::string& tail, int todayYymmdd) {
    return hasValidStamp(tail, todayYymmdd) && hasValidSuffix(tail);
}

bool isFullArchiveTail(const std::string& tail) {
    return tail.size() >= 13 && (tail[12] == 'c' || tail[12] == 'C');
}

std::string versionOfTail(const std::string& tail) {
    if (tail.size() < 20 || !equalsIgnoringCase(tail.substr(13, 3), "-v.")) return {};
    std::string text = tail.substr(16);
    if (endsWith(lowerUtf8(text), ".zip")) text.resize(text.size() - 4);
    const std::vector<std::string> parts = split(text, '.');
    if (parts.size() != 2 && parts.size() != 3) return {};
    return parts[0] + "." + parts[1] + "." + (parts.size() == 3 ? parts[2] : std::string());
}

void ValidateArchiveNames(std::vector<ArchiveRef>& lines, int todayYymmdd) {
    std::erase_if(lines, [&](const ArchiveRef& r) { return !isValidArchiveTail(r.tail, todayYymmdd); });
    // The list's order is that of the whole line "tail TAB head"; TAB sorts below every printable
    // character of a name, so comparing tail first and head second gives the same order.
    std::stable_sort(lines.begin(), lines.end(), [](const ArchiveRef& a, const ArchiveRef& b) {
        const int byTail = compareIgnoringCase(a.tail, b.tail);
        return byTail != 0 ? byTail < 0 : compareIgnoringCase(a.head, b.head) < 0;
    });
}

} // namespace kp
