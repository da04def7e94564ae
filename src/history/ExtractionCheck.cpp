#include "history/ExtractionCheck.h"

#include <unordered_map>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "zip/ItemNames.h"

namespace kp {

namespace {

std::string partProblem(std::string_view part, std::size_t maxName) {
    if (part.size() > maxName) return "the name " + displayText(part) + " is too long for this file system";
    if (!isNameAllowedHere(part)) return "the name " + displayText(part) + " is not allowed on this system";
    return {};
}

} // namespace

// Paths are views into the items' names, which outlive the check: a state of many thousand
// items is checked without copying a name.
std::string extractionCheck(const std::vector<ItemToWrite>& items, std::size_t maxName) {
    std::unordered_map<std::string_view, const ZipItem*> files; // path -> the file item written there
    std::unordered_set<std::string_view> folders;               // every folder some item needs
    std::unordered_set<std::string_view> named;
    files.reserve(items.size());
    named.reserve(items.size());
    for (const ItemToWrite& i : items) {
        const ZipItem& item = *i.item;
        if (const std::string why = extractionProblem(item); !why.empty()) return displayText(item.fileName) + ": " + why;
        if (const std::string why = i.zip->readProblem(item.fileName); !why.empty())
            return displayText(item.fileName) + ": " + why;
        const std::string_view path = itemPath(item.fileName);
        if (!named.insert(path).second) return displayText(path) + ": the state names it twice";
        // A folder already needed has had its names checked, and its own folders are known:
        // only the item's last name is new (a state's items come folder by folder).
        const std::size_t slash = path.rfind('/');
        const bool knownFolder = slash != std::string_view::npos && folders.count(path.substr(0, slash));
        for (std::size_t from = knownFolder ? slash + 1 : 0; from <= path.size();) {
            const std::size_t end = std::min(path.find('/', from), path.size());
            if (std::string why = partProblem(path.substr(from, end - from), maxName); !why.empty()) return why;
            if (end < path.size() || item.isFolder()) folders.insert(path.substr(0, end));
            from = end + 1;
        }
        if (!item.isFolder()) files.emplace(path, &item);
    }
    for (const auto& [path, item] : files)
        if (folders.count(path))
            return displayText(item->fileName) + " is a file of the state where its other items need a folder";
    return {};
}

} // namespace kp
