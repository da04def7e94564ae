#include "store/ChangeDetection.h"

#include "store/Layout.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "platform/Text.h"
#include "store/Layout.h"

namespace kp {

namespace {

// A project line as the comparison reads it: from the caller's lines or straight from the
// listing, whose paths hold the names already (a copy of every name costs as much memory
// as the listing's own in a large project).
struct LineView {
    std::string_view name;
    DosDateTime dosTime = 0;
    std::int64_t size = 0;
    std::int64_t mtime = -1;
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

bool sameState(const ArchiveLine& a, const LineView& p) {
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

template <typename NameAt>
std::vector<SortKey> sortedKeys(const NameAt& nameAt, const std::vector<std::size_t>& which) {
    std::vector<SortKey> keys;
    keys.reserve(which.size());
    for (std::size_t i : which) keys.push_back({lowerUtf8(nameAt(i)) + '\t', i});
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
        if (a.lower != b.lower) return a.lower < b.lower;
        return nameAt(a.index) < nameAt(b.index);
    });
    return keys;
}

template <typename LineAt>
ChangeResult compare(const std::vector<ArchiveLine>& archive, std::size_t projectSize, const LineAt& lineAt,
                     bool ignoreCase) {
    // Keys are the names themselves, or their lower-cased forms kept alive in folded.
    std::vector<std::string> foldedArchive, foldedProject;
    std::vector<std::string_view> archiveKeys, projectKeys;
    archiveKeys.reserve(archive.size());
    projectKeys.reserve(projectSize);
    if (ignoreCase) {
        foldedArchive.reserve(archive.size());
        foldedProject.reserve(projectSize);
        for (const ArchiveLine& a : archive) foldedArchive.push_back(lowerUtf8(a.name));
        for (std::size_t p = 0; p < projectSize; ++p) foldedProject.push_back(lowerUtf8(lineAt(p).name));
        archiveKeys.assign(foldedArchive.begin(), foldedArchive.end());
        projectKeys.assign(foldedProject.begin(), foldedProject.end());
    } else {
        for (const ArchiveLine& a : archive) archiveKeys.push_back(a.name);
        for (std::size_t p = 0; p < projectSize; ++p) projectKeys.push_back(lineAt(p).name);
    }

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
    for (std::size_t p = 0; p < projectSize; ++p) {
        const auto it = firstOf.find(projectKeys[p]);
        bool unchanged = false;
        for (std::size_t a = it == firstOf.end() ? kNone : it->second; a != kNone; a = nextSame[a]) {
            present[a] = 1;
            if (sameState(archive[a], lineAt(p))) unchanged = true;
        }
        if (!unchanged) changed.push_back(p);
    }
    std::vector<std::size_t> missing;
    for (std::size_t a = 0; a < archive.size(); ++a)
        if (!present[a] && !isBookkeepingItem(archive[a].name)) missing.push_back(a);

    ChangeResult result;
    result.changed.reserve(changed.size());
    for (const SortKey& k : sortedKeys([&](std::size_t i) { return lineAt(i).name; }, changed))
        result.changed.push_back(k.index);
    const std::vector<SortKey> missingKeys =
        sortedKeys([&](std::size_t i) { return std::string_view(archive[i].name); }, missing);
    for (auto it = missingKeys.rbegin(); it != missingKeys.rend(); ++it) result.missing.push_back(archive[it->index].name);
    return result;
}

} // namespace

bool isBookkeepingItem(const std::string& name) {
    return startsWithIgnoringCase(name, kBookkeepingPrefix);
}

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project,
                           bool ignoreCase) {
    return compare(archive, project.size(), [&](std::size_t p) {
        const ProjectLine& l = project[p];
        return LineView{l.name, l.dosTime, l.size, l.mtime};
    }, ignoreCase);
}

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const ProjectListing& listing,
                           std::size_t prefixLength, bool ignoreCase) {
    return compare(archive, listing.size(), [&](std::size_t p) {
        const ListingEntry& e = listing[p];
        return LineView{std::string_view(e.path).substr(prefixLength), e.dosTime, e.size, e.mtime};
    }, ignoreCase);
}

} // namespace kp
