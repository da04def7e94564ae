// Choosing items of a state by pattern, as the archive masks do: '*' matches any run of
// characters, "/" included, '?' one byte, and "\" stands for "/".
#pragma once
#include <string>

namespace kp {

// True when the pattern matches the item's path whole, or its path without the project's
// name in front ("docs/*.txt" and "Site/docs/*.txt" choose the same files of "Site").
bool matchesItemPattern(const std::string& itemPath, const std::string& pattern,
                        const std::string& projectName);

} // namespace kp
