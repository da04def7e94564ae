// Text helpers. All text is UTF-8; "ignoring case" means Unicode lower-casing, so
// "Проект" and "проект" are equal, and sorting "in case-insensitive order" compares the
// lower-cased texts byte by byte.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kp {

std::string lowerUtf8(std::string_view s);
// The same, appended to out (no string of its own: for keys of many names in one buffer).
void appendLowerUtf8(std::string& out, std::string_view s);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
int compareIgnoringCase(std::string_view a, std::string_view b); // <0, 0, >0
// Position of the first occurrence of needle in haystack ignoring case, or npos.
std::size_t findIgnoringCase(std::string_view haystack, std::string_view needle);

// Decodes DOS OEM code page 437 (names of archives made without the UTF-8 flag).
std::string cp437ToUtf8(std::string_view s);
bool isValidUtf8(std::string_view s);

// The text made safe to show: control characters (TAB, CR and LF included, C1 too), DEL and bytes
// that are not valid UTF-8 become "\xHH", so a file name can neither garble a terminal nor
// pass for two lines.
std::string displayText(std::string_view s);

// Blanks and control characters (codes up to 32) at both ends, as the program trims texts.
std::string trim(std::string_view s);
std::string trimBlanks(std::string_view s); // only " " at both ends
std::string replaceAll(std::string s, std::string_view from, std::string_view to);
std::vector<std::string> split(std::string_view s, char sep);
bool startsWith(std::string_view s, std::string_view prefix);
bool endsWith(std::string_view s, std::string_view suffix);

// Integer reading with the program's strictness: optional sign, decimal digits, nothing else.
bool parseInt64(std::string_view s, long long& out);
bool parseInt(std::string_view s, int& out);

// True when every character is a Unicode letter or digit, or one of extra (ASCII).
bool isLettersDigitsOr(std::string_view s, std::string_view extra);

// Wildcard match, case-sensitive: "*" any run of characters ("/" included), "?" one byte,
// and "\" in the mask stands for "/" (masks of archive items may be written either way).
bool wildcardMatch(std::string_view mask, std::string_view name);

// Counts UTF-8 characters (code points): the program's length limits count characters, not bytes.
std::size_t utf8Length(std::string_view s);
// The first n characters of a UTF-8 text (never cuts a character in half).
std::string utf8Prefix(std::string_view s, std::size_t n);

} // namespace kp
