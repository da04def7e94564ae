// The project's ignore file (".kpadignore" at the top of a folder project): one pattern a
// line in the form people know from source control. Items it matches are left out of the
// listing exactly as a "#tarnel" folder is. Patterns are compiled once, split into path
// components, and matched component by component without regular expressions.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kp {

inline constexpr const char* kIgnoreFileName = ".kpadignore";

struct IgnoreRule {
    std::string text;                  // the line as written, for reports
    int line = 0;                      // 1-based line in the ignore file
    bool negated = false;              // "!pattern": takes an earlier pattern back
    bool foldersOnly = false;          // "dir/": matches folders only
    bool anchored = false;             // holds a "/" before its end: relative to the top
    std::vector<std::string> segments; // lower-cased components; "**" spans any number
};

// A line that could not be read; it is skipped and the rest still apply.
struct IgnoreLineError {
    int line = 0;
    std::string text;
    std::string message;
};

class IgnoreRules {
public:
    // Reads the ignore file's text. Bad lines go to errors and are left out.
    static IgnoreRules parse(std::string_view fileText);

    bool empty() const { return rules_.empty(); }
    const std::vector<IgnoreLineError>& errors() const { return errors_; }

    // The rule that leaves relativePath out, or nullptr when it stays in. relativePath uses
    // "/" between components, without a leading "/". Only the item itself is judged: the
    // listing never enters an ignored folder, so its contents are never asked about.
    const IgnoreRule* match(std::string_view relativePath, bool isFolder) const;

    // As match, but also judges the item's parent folders: a file inside an ignored folder
    // stays ignored whatever a later "!" line says.
    const IgnoreRule* matchWithParents(std::string_view relativePath, bool isFolder) const;

private:
    std::vector<IgnoreRule> rules_;
    std::vector<IgnoreLineError> errors_;
};

} // namespace kp
