// An ordered list of "name<sep>value" lines: the settings lists ("=") and the program's
// other name-value lists. The name is the text before the first separator, the value the
// text after it; names are looked up ignoring case.
#pragma once
#include <string>
#include <vector>

namespace kp {

class NameValueList {
public:
    explicit NameValueList(char separator = '=') : m_separator(separator) {}

    char separator() const { return m_separator; }
    void setSeparator(char sep) { m_separator = sep; }

    std::size_t count() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::string& line(std::size_t i) const { return m_lines[i]; }
    const std::vector<std::string>& lines() const { return m_lines; }
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    void setLine(std::size_t i, std::string line) { m_lines[i] = std::move(line); }
    void remove(std::size_t i) { m_lines.erase(m_lines.begin() + std::ptrdiff_t(i)); }
    void clear() { m_lines.clear(); }

    // Text before the first separator; empty when the line has none.
    std::string name(std::size_t i) const;
    // Text after the first separator; empty when the line has none.
    std::string valueAt(std::size_t i) const;
    int indexOfName(const std::string& name) const; // -1 when absent
    std::string value(const std::string& name) const;
    // Replaces the value of the named line, or appends "name<sep>value".
    void setValue(const std::string& name, const std::string& value);

    // Ascending in the list's case-insensitive text order (lower-cased texts byte by byte).
    void sort();
    // The lines joined by CR LF, each line followed by one (as a text of a list).
    std::string text() const;

private:
    char m_separator;
    std::vector<std::string> m_lines;
};

} // namespace kp
