// INI profile files ("[Section]" lines and "Key=Value" lines), read with CR LF or LF line ends.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kp {

class IniFile {
public:
    // Reads path, a regular file of at most kMaxSize bytes; false when it cannot be read (the
    // object then stays empty).
    static constexpr std::size_t kMaxSize = 16u << 20;
    bool load(const std::string& path);
    void parse(const std::string& text);

    // The value of key in section, both compared ignoring ASCII case, trimmed of blanks.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    void setValue(const std::string& section, const std::string& key, const std::string& value);

    std::string text() const; // CR LF line ends, sections in the order they were made
    bool save(const std::string& path) const; // atomically

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> m_sections;
};

} // namespace kp
