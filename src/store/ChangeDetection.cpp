#include "store/ChangeDetection.h"

#include "store/Layout.h"

#include <algorithm>
#include <string_view>
#include <cstdint>

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
// the names it begins (as "name<TAB>..." lines would sort), exact spelling breaking ties. A
// name's sort key is its lower-cased form and a tab; equal keys go by the names themselves.
struct SortKey {
    std::string_view key;
    std::size_t index;
};

int byteAt(std::string_view s, std::size_t depth) {
    return depth < s.size() ? static_cast<unsigned char>(s[depth]) : -1;
}

// Three-way radix quicksort of the keys, which agree up to depth: a project's names share long
// folder paths, and comparing them whole, as a plain sort does, reads those paths again at
// every comparison (and scales worse than the number of names, as the keys outgrow the cache).
template <typename NameAt>
void sortKeys(SortKey* keys, std::size_t n, std::size_t depth, const NameAt& nameAt) {
    const auto before = [&](const SortKey& a, const SortKey& b) {
        const std::string_view ka = a.key.substr(depth), kb = b.key.substr(depth);
        return ka != kb ? ka < kb : nameAt(a.index) < nameAt(b.index);
    };
    while (n > 12) {
        const int pivot = byteAt(keys[n / 2].key, depth);
        std::size_t lt = 0, i = 0, gt = n;
        while (i < gt) {
            const int b = byteAt(keys[i].key, depth);
            if (b < pivot) std::swap(keys[lt++], keys[i++]);
            else if (b > pivot) std::swap(keys[i], keys[--gt]);
            else ++i;
        }
        sortKeys(keys, lt, depth, nameAt);
        sortKeys(keys + gt, n - gt, depth, nameAt);
        keys += lt;
        n = gt - lt;
        if (pivot < 0) { // the keys have ended, all equal: the names decide
            std::sort(keys, keys + n, before);
            return;
        }
        ++depth;
    }
    for (std::size_t i = 1; i < n; ++i)
        for (std::size_t k = i; k > 0 && before(keys[k], keys[k - 1]); --k)
            std::swap(keys[k], keys[k - 1]);
}

// The indexes in which, ordered by their names. The keys live in one buffer, one after another.
template <typename NameAt>
std::vector<std::size_t> sortedByName(const NameAt& nameAt, const std::vector<std::size_t>& which) {
    std::string buffer;
    std::vector<std::size_t> ends;
    ends.reserve(which.size());
    for (std::size_t i : which) {
        appendLowerUtf8(buffer, nameAt(i));
        buffer += '\t';
        ends.push_back(buffer.size());
    }
    std::vector<SortKey> keys(which.size());
    for (std::size_t k = 0, start = 0; k < which.size(); start = ends[k++])
        keys[k] = {std::string_view(buffer).substr(start, ends[k] - start), which[k]};
    sortKeys(keys.data(), keys.size(), 0, nameAt);
    std::vector<std::size_t> sorted;
    sorted.reserve(keys.size());
    for (const SortKey& k : keys) sorted.push_back(k.index);
    return sorted;
}

// The archive's lines by name: open addressing in one array whose slots hold a line's index
// beside its name's hash, so that a probe reads a name only where the hashes agree. A
// node-based map of a large project's names misses the cache at every step of every lookup.
class LinesByName {
public:
    static constexpr std::size_t kNone = SIZE_MAX;
    explicit LinesByName(std::size_t count) {
        std::size_t size = 16;
        while (size < count * 2) size *= 2; // at most half full: probes stay short
        m_slots.assign(size, Slot{});
        m_mask = size - 1;
    }
    // The first line of this name (kNone when there is none yet), for the caller to set.
    std::size_t& slot(std::string_view name, const std::vector<std::string_view>& names) {
        const std::uint64_t hash = hashOf(name);
        Slot& s = m_slots[probe(name, hash, names)];
        s.hash = std::uint32_t(hash >> 32);
        return s.line;
    }
    std::size_t find(std::string_view name, const std::vector<std::string_view>& names) const {
        return m_slots[probe(name, hashOf(name), names)].line;
    }

private:
    struct Slot {
        std::uint32_t hash = 0; // the high half of the name's hash
        std::size_t line = kNone;
    };
    // The slot holding name, or the empty one where it would go.
    std::size_t probe(std::string_view name, std::uint64_t hash, const std::vector<std::string_view>& names) const {
        std::size_t s = std::size_t(hash) & m_mask;
        while (m_slots[s].line != kNone && !(m_slots[s].hash == std::uint32_t(hash >> 32) && names[m_slots[s].line] == name))
            s = (s + 1) & m_mask;
        return s;
    }
    static std::uint64_t hashOf(std::string_view name) {
        const std::uint64_t h = std::hash<std::string_view>{}(name);
        return h * 0x9E3779B97F4A7C15ull; // spreads a 32-bit size_t's hash over both halves too
    }
    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
};

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
    LinesByName firstOf(archive.size());
    std::vector<std::size_t> nextSame(archive.size(), kNone);
    for (std::size_t i = archive.size(); i-- > 0;) {
        if (isBookkeepingItem(archive[i].name)) continue;
        std::size_t& first = firstOf.slot(archiveKeys[i], archiveKeys);
        nextSame[i] = first;
        first = i;
    }

    std::vector<char> present(archive.size(), 0);
    std::vector<std::size_t> changed;
    for (std::size_t p = 0; p < projectSize; ++p) {
        bool unchanged = false;
        for (std::size_t a = firstOf.find(projectKeys[p], archiveKeys); a != kNone; a = nextSame[a]) {
            present[a] = 1;
            if (sameState(archive[a], lineAt(p))) unchanged = true;
        }
        if (!unchanged) changed.push_back(p);
    }
    std::vector<std::size_t> missing;
    for (std::size_t a = 0; a < archive.size(); ++a)
        if (!present[a] && !isBookkeepingItem(archive[a].name)) missing.push_back(a);

    ChangeResult result;
    result.changed = sortedByName([&](std::size_t i) { return lineAt(i).name; }, changed);
    const std::vector<std::size_t> missingInOrder =
        sortedByName([&](std::size_t i) { return std::string_view(archive[i].name); }, missing);
    for (auto it = missingInOrder.rbegin(); it != missingInOrder.rend(); ++it) result.missing.push_back(archive[*it].name);
    return result;
}

} // namespace

bool isBookkeepingItem(const std::string& name) {
    // Names are compared as ASCII as long as they are ASCII; from the first other character on,
    // the long way (some other characters lower-case to ASCII letters).
    const std::string_view prefix = kBookkeepingPrefix;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (i == name.size()) return false;
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) return startsWithIgnoringCase(name, prefix);
        if ((c >= 'A' && c <= 'Z' ? c + 32 : c) != static_cast<unsigned char>(prefix[i])) return false;
    }
    return true;
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
