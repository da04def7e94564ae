// Reading back what a state's "_kpad_/project.set" says about how the state is made: a
// full archive stands alone; a relative archive names its primary archive (relative to the
// archive folder) and lists the primary's items that the project no longer had.
#pragma once
#include <string>
#include <string_view>
#include <unordered_set>

namespace kp {

class StateRecord {
public:
    // A text without a primary archive section (or no text at all) is a full state.
    static StateRecord parse(std::string_view projectSetText);

    bool isRelative() const { return !m_primary.empty(); }
    const std::string& primaryArchive() const { return m_primary; }
    // Whether the primary's item of this name was gone when the relative state was stored.
    bool isMissing(const std::string& itemName) const;

private:
    std::string m_primary;
    std::string m_missingSection; // CR LF, then the missing section's lines as written
    std::unordered_set<std::string> m_missing;
};

} // namespace kp
