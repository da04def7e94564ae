#include "store/ChangeDetection.h"

#include "store/Layout.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "platform/Text.h"
#include "store/Layout.h"

namespace kp {

namespace {

bool sameState(const ArchiveLine& a, const ProjectLine& p) {
    if (a.dosTime != p.dosTime) return false;
    if (p.isFolder()) return true;
    if (a.size >= 0 && a.size != p.size) return false;
    return a.mtime < 0 || p.mtime < 0 || a.mtime == p.mtime;
}

// The order of the lists handed on: case-insensitive text order of the names, a name before
// the names it begins (as "name<TAB>..." lines would sort), exact spelling breaking ties.
struct SortKey {
    std::string lower;
    std::size_t index;
};

template <typename Line>
std::vector<SortKey> sortedKeys(const std::vector<Line>& lines, const std::vector<std::size_t>& which) {
    std::vector<SortKey> keys;
    keys.reserve(which.size());
    for (std::size_t i : which) keys.push_back({lowerUtf8(lines[i].name) + '\t', i});
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        if (a.lower != b.lower) return a.lower < b.lower;
        return lines[a.index].name < lines[b.index].name;
    });
    return keys;
}

} // namespace

bool isBookkeepingItem(const std::string& name) {
    return startsWithIgnoringCase(name, kBookkeepingPrefix);
}

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project,
                           bool ignoreCase) {
    // Keys are the names themselves, or their lower-cased forms kept alive in foldedNames.
    std::vector<std::string> foldedArchive, foldedProject;
    auto keys = [&](const auto& lines, std::vector<std::string>& folded) {
        std::vector<std::string_view> out;
        out.reserve(lines.size());
        if (ignoreCase) {
            folded.reserve(lines.size());
            for (const auto& l : lines) folded.push_back(lowerUtf8(l.name));
            for (const auto& f : folded) out.push_back(f);
        } else {
            for (const auto& l : lines) out.push_back(l.name);
        }
        return out;
    };
    const std::vector<std::string_view> archiveKeys = keys(archive, foldedArchive);
    const std::vector<std::string_view> projectKeys = keys(project, foldedProject);

    // One entry per name; a damaged archive may hold a name twice, so equal names are chained.
    constexpr std::size_t kNone = SIZE_MAX;
    std::unordered_map<std::string_view, std::size_t> firstOf;
    firstOf.reserve(archive.size());
    std::vector<std::size_t> nextSame(archive.size(), kNone);
    for (std::size_t i = archive.size(); i-- > 0;) {
        if (isBookkeepingItem(archive[i].name)) continue;
        auto [it, inserted] = firstOf.try_emplace(archiveKeys[i], i);
        if (!inserted) {
            nextSame[i] = it->second;
            it->second = i;
        }
    }

    std::vector<char> present(archive.size(), 0);
    std::vector<std::size_t> changed;
    for (std::size_t p = 0; p < project.size(); ++p) {
        const auto it = firstOf.find(projectKeys[p]);
        bool unchanged = false;
        for (std::size_t a = it == firstOf.end() ? kNone : it->second; a != kNone; a = nextSame[a]) {
            present[a] = 1;
            if (sameState(archive[a], project[p])) unchanged = true;
        }
        if (!unchanged) changed.push_back(p);
    }
    std::vector<std::size_t> missing;
    for (std::size_t a = 0; a < archive.size(); ++a)
        if (!present[a] && !isBookkeepingItem(archive[a].name)) missing.push_back(a);

    ChangeResult result;
    result.changed.reserve(changed.size());
    for (const SortKey& k : sortedKeys(project, changed)) result.changed.push_back(k.index);
    const std::vector<SortKey> missingKeys = sortedKeys(archive, missing);
    for (auto it = missingKeys.rbegin(); it != missingKeys.rend(); ++it) result.missing.push_back(archive[it->index].name);
    return result;
}

} // namespace kp
