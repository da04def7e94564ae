#include "platform/HiddenFolder.h"

#include <algorithm>
#include <cerrno>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace kp {

bool setFolderHidden(const std::string& folderIn, bool hidden) {
    const std::string folder = withoutTrailingSlash(folderIn);
    const std::string listPath = folderPart(folder) + ".hidden";
    const std::string name = fileNamePart(folder);

    std::string text;
    const bool exists = readRegularFile(listPath, 1u << 20, text);
    if (!exists && errno != ENOENT) return false; // not ours to replace: a FIFO, or far too large
    if (!exists && !hidden) return true;

    std::vector<std::string> names;
    for (auto& line : split(text, '\n'))
        if (!line.empty()) names.push_back(line);
    const bool listed = std::find(names.begin(), names.end(), name) != names.end();
    if (hidden == listed) return true;

    if (hidden) names.push_back(name);
    else names.erase(std::remove(names.begin(), names.end(), name), names.end());
    if (names.empty()) return removeFile(listPath);

    std::string out;
    for (const auto& n : names) out += n + "\n";
    return writeFileAtomically(listPath, out);
}

} // namespace kp
