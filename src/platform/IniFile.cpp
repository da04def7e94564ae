#include "platform/IniFile.h"

#include <strings.h>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace kp {

namespace {
bool sameKey(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }
} // namespace

bool IniFile::load(const std::string& path) {
    std::string text;
    if (!readRegularFile(path, kMaxSize, text)) return false;
    parse(text);
    return true;
}

void IniFile::parse(const std::string& text) {
    m_sections.clear();
    Section* current = nullptr;
    for (std::string line : split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t.front() == '[' && t.back() == ']') {
            m_sections.push_back({trim(t.substr(1, t.size() - 2)), {}});
            current = &m_sections.back();
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos || !current) continue;
        current->entries.emplace_back(trim(line.substr(0, eq)), line.substr(eq + 1));
    }
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const {
    for (const auto& s : m_sections) {
        if (!sameKey(s.name, section)) continue;
        for (const auto& [k, v] : s.entries)
            if (sameKey(k, key)) return trimBlanks(v);
    }
    return std::nullopt;
}

// The entry value() reads is the one changed: a file holding a section twice (edited by hand,
// or two files joined) must give back what was saved, never an older value of the first.
void IniFile::setValue(const std::string& section, const std::string& key, const std::string& value) {
    Section* target = nullptr;
    for (auto& s : m_sections) {
        if (!sameKey(s.name, section)) continue;
        for (auto& [k, v] : s.entries)
            if (sameKey(k, key)) {
                v = value;
                return;
            }
        if (!target) target = &s;
    }
    if (!target) {
        m_sections.push_back({section, {}});
        target = &m_sections.back();
    }
    target->entries.emplace_back(key, value);
}

std::string IniFile::text() const {
    std::string out;
    for (const auto& s : m_sections) {
        out += "[" + s.name + "]\r\n";
        for (const auto& [k, v] : s.entries) out += k + "=" + v + "\r\n";
        out += "\r\n";
    }
    return out;
}

bool IniFile::save(const std::string& path) const { return writeFileAtomically(path, text()); }

} // namespace kp
