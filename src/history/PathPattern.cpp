#include "history/PathPattern.h"

#include "platform/Text.h"
#include "zip/ItemNames.h"

namespace kp {

bool matchesItemPattern(const std::string& itemPath, const std::string& pattern,
                        const std::string& projectName) {
    if (matchesMask(itemPath, pattern)) return true;
    const std::string prefix = projectName + "/";
    return startsWith(itemPath, prefix) &&
           matchesMask(std::string_view(itemPath).substr(prefix.size()), pattern);
}

} // namespace kp
