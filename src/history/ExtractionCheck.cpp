#include "history/ExtractionCheck.h"

#include <unordered_map>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ItemNames.h"

namespace kp {

namespace {

std::string partProblem(const std::string& part, std::size_t maxName) {
    if (part.size() > maxName) return "the name " + displayText(part) + " is too long for this file system";
    if (!isNameAllowedHere(part)) return "the name " + displayText(part) + " is not allowed on this system";
    return {};
}

} // namespace

std::string extractionCheck(const std::vector<ItemToWrite>& items, std::size_t maxName) {
    std::unordered_map<std::string, const ZipItem*> files; // path -> the file item written there
    std::unordered_set<std::string> folders;               // every folder some item needs
    std::unordered_set<std::string> named;
    files.reserve(items.size());
    named.reserve(items.size());
    for (const ItemToWrite& i : items) {
        const ZipItem& item = *i.item;
        if (const std::string why = extractionProblem(item); !why.empty()) return displayText(item.fileName) + ": " + why;
        if (const std::string why = i.zip->readProblem(item.fileName); !why.empty())
            return displayText(item.fileName) + ": " + why;
        const std::string path = withoutTrailingSlash(item.fileName);
        if (!named.insert(path).second) return displayText(path) + ": the state names it twice";
        // A folder already needed has had its names checked, and its own folders are known:
        // only the item's last name is new (a state's items come folder by folder).
        const std::size_t slash = path.rfind('/');
        const bool knownFolder = slash != std::string::npos && folders.count(path.substr(0, slash));
        const std::vector<std::string> parts = split(knownFolder ? path.substr(slash + 1) : path, '/');
        std::string folder = knownFolder ? path.substr(0, slash) : std::string();
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (std::string why = partProblem(parts[k], maxName); !why.empty()) return why;
            if (k + 1 < parts.size() || item.isFolder()) {
                folder += (folder.empty() ? "" : "/") + parts[k];
                folders.insert(folder);
            }
        }
        if (!item.isFolder()) files.emplace(path, &item);
    }
    for (const auto& [path, item] : files)
        if (folders.count(path))
            return displayText(item->fileName) + " is a file of the state where its other items need a folder";
    return {};
}

} // namespace kp
