#include "history/StateRecord.h"

namespace kp {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kMarkComment = "\r\n<comment>\r\n";
constexpr std::string_view kMarkPrimary = "\r\n<primary archive with full copy of the project>\r\n";
constexpr std::string_view kMarkMissing = "\r\n<missing item(s) relatively to the primary archive>\r\n";

std::string_view lineAt(std::string_view text, std::size_t begin) {
    const std::size_t end = text.find(kCrLf, begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

} // namespace

StateRecord StateRecord::parse(std::string_view text) {
    StateRecord record;
    // A full state's comment comes before anything the user typed, so a comment that
    // imitates the primary section never makes a full state look relative.
    const std::size_t primary = text.find(kMarkPrimary);
    const std::size_t comment = text.find(kMarkComment);
    if (primary == std::string_view::npos || (comment != std::string_view::npos && comment < primary))
        return record;
    record.m_primary = std::string(lineAt(text, primary + kMarkPrimary.size()));
    const std::size_t missing = text.find(kMarkMissing, primary);
    if (missing == std::string_view::npos) return record;
    const std::string_view section = text.substr(missing + kMarkMissing.size());
    record.m_missingSection = std::string(kCrLf) + std::string(section);
    for (std::size_t at = 0; at < section.size();) {
        const std::string_view line = lineAt(section, at);
        if (line.empty()) break; // the section ends with empty lines
        record.m_missing.emplace(line);
        at += line.size() + kCrLf.size();
    }
    return record;
}

bool StateRecord::isMissing(const std::string& itemName) const {
    if (m_missing.count(itemName)) return true;
    // The list is one name per CR LF line, so a name holding a line break spans lines of
    // its own; it is found as a whole run of lines instead.
    if (itemName.find_first_of("\r\n") == std::string::npos) return false;
    return m_missingSection.find(std::string(kCrLf) + itemName + std::string(kCrLf)) != std::string::npos;
}

} // namespace kp
