#include "store/NameValueList.h"

#include <algorithm>

#include "platform/Text.h"

namespace kp {

std::string NameValueList::name(std::size_t i) const {
    const auto pos = m_lines[i].find(m_separator);
    return pos == std::string::npos ? std::string() : m_lines[i].substr(0, pos);
}

std::string NameValueList::valueAt(std::size_t i) const {
    const auto pos = m_lines[i].find(m_separator);
    return pos == std::string::npos ? std::string() : m_lines[i].substr(pos + 1);
}

int NameValueList::indexOfName(const std::string& wanted) const {
    const std::string lw = lowerUtf8(wanted);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto pos = m_lines[i].find(m_separator);
        if (pos != std::string::npos && lowerUtf8(std::string_view(m_lines[i]).substr(0, pos)) == lw)
            return int(i);
    }
    return -1;
}

std::string NameValueList::value(const std::string& wanted) const {
    const int i = indexOfName(wanted);
    return i < 0 ? std::string() : valueAt(std::size_t(i));
}

void NameValueList::setValue(const std::string& wanted, const std::string& value) {
    std::string line = wanted + m_separator + value;
    const int i = indexOfName(wanted);
    if (i < 0) m_lines.push_back(std::move(line));
    else m_lines[std::size_t(i)] = std::move(line);
}

void NameValueList::sort() {
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(m_lines.size());
    for (auto& l : m_lines) keyed.emplace_back(lowerUtf8(l), std::move(l));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i) m_lines[i] = std::move(keyed[i].second);
}

std::string NameValueList::text() const {
    std::string out;
    for (const auto& l : m_lines) out += l + "\r\n";
    return out;
}

} // namespace kp
