#include "store/ChangeDetection.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace kp {

namespace {

struct Line {
    std::string_view lower; // the whole line, lower-cased (in the text arena)
    std::size_t nameLength; // bytes of the lower-cased name
    std::size_t index;      // into the archive or the project lines
    bool fromProject;
    bool marked = false;
};

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The bytes of lowerUtf8(s), which differ from s's only beyond ASCII.
std::size_t lowerSize(std::string_view s) {
    return isAscii(s) ? s.size() : lowerUtf8(s).size();
}

void append(std::vector<char>& out, std::string_view s) {
    out.insert(out.end(), s.begin(), s.end());
}

// Appends s lower-cased as lowerUtf8 does. ASCII, nearly every name, is lowered in place,
// without a string of its own.
void appendLower(std::vector<char>& out, std::string_view s) {
    if (!isAscii(s)) {
        append(out, lowerUtf8(s));
        return;
    }
    const std::size_t at = out.size();
    append(out, s);
    for (std::size_t i = at; i < out.size(); ++i)
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = char(out[i] + 32);
}

bool prefixRelated(const Line& a, const Line& b) {
    const std::string_view shorter = a.lower.size() <= b.lower.size() ? a.lower : b.lower;
    const std::string_view longer = a.lower.size() <= b.lower.size() ? b.lower : a.lower;
    return longer.compare(0, shorter.size(), shorter) == 0;
}

bool byText(const Line* a, const Line* b) {
    return a->lower < b->lower;
}

void dropMarked(std::vector<Line*>& group) {
    group.erase(std::remove_if(group.begin(), group.end(), [](const Line* l) { return l->marked; }),
                group.end());
}

// The comparison rules applied to the lines of one name: four rounds over adjacent lines
// in sorted order, then one pass over all pairs. Every line of a group has the same name
// (ignoring case), so the "same name" rule always applies to a pair that is not prefix-related.
void settleGroup(std::vector<Line*>& group) {
    for (int round = 0; round < 4 && group.size() > 1; ++round) {
        std::sort(group.begin(), group.end(), byText);
        for (std::size_t i = group.size() - 1; i >= 1; --i) {
            Line& a = *group[i];
            Line& b = *group[i - 1];
            if (a.marked || b.marked) continue;
            if (prefixRelated(a, b)) {
                a.marked = b.marked = true;
            } else {
                (b.lower.size() < a.lower.size() ? b : a).marked = true;
            }
        }
        dropMarked(group);
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
        for (std::size_t j = 0; j < group.size(); ++j) {
            Line& a = *group[i];
            Line& b = *group[j];
            if (i == j || a.marked || b.marked) continue;
            if (prefixRelated(a, b))
                a.marked = b.marked = true;
            else
                (b.lower.size() > a.lower.size() ? a : b).marked = true;
        }
    }
    dropMarked(group);
}

bool hasSizeAndAttributes(std::string_view lowerLine, std::size_t nameLength) {
    const std::string_view value = lowerLine.substr(nameLength + 1);
    return value.find(",s:") != std::string_view::npos && value.find(",a:") != std::string_view::npos;
}

} // namespace

bool isBookkeepingItem(const std::string& name) {
    return startsWithIgnoringCase(name, "_kpad_/");
}

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project) {
    // All lower-cased lines go into one arena, one after another: no string per line, and
    // the later passes read them from memory that lies together. The arena is sized first,
    // so that it never moves (never reallocates) while the lines point into it.
    std::size_t arenaSize = 0;
    for (const ArchiveLine& a : archive)
        arenaSize += lowerSize(a.name) + 3 + 10; // TAB "t:" and up to 10 digits
    for (const ProjectLine& p : project)
        arenaSize += lowerSize(p.name) + 1 + lowerSize(p.value);
    std::vector<char> arena;
    arena.reserve(arenaSize);
    std::vector<Line> lines;
    lines.reserve(archive.size() + project.size());
    auto lineFrom = [&](std::size_t at) { return std::string_view(arena.data() + at, arena.size() - at); };
    static constexpr std::string_view kBookkeeping = "_kpad_/";
    for (std::size_t i = 0; i < archive.size(); ++i) {
        const std::size_t at = arena.size();
        appendLower(arena, archive[i].name);
        const std::size_t n = arena.size() - at;
        if (lineFrom(at).starts_with(kBookkeeping)) { // isBookkeepingItem, on the lowered name at hand
            arena.resize(at);
            continue;
        }
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, archive[i].dosTime).ptr;
        append(arena, "\tt:");
        append(arena, std::string_view(digits, std::size_t(end - digits)));
        lines.push_back({lineFrom(at), n, i, false});
    }
    for (std::size_t i = 0; i < project.size(); ++i) {
        const std::size_t at = arena.size();
        appendLower(arena, project[i].name);
        const std::size_t n = arena.size() - at;
        append(arena, "\t");
        appendLower(arena, project[i].value);
        lines.push_back({lineFrom(at), n, i, true});
    }

    // Groups of one name: the lines ordered by a hash of their name, and within one hash
    // by their place, so that a group's lines lie together in the order they were given in.
    // A stable counting sort on the hash's top bits (about one bucket per line) does it in
    // linear time and with few cache misses, where a hash table of 100,000 groups would
    // spend its time on them.
    struct Keyed {
        std::size_t hash;
        std::size_t line;
    };
    const std::hash<std::string_view> hashName;
    int bits = 1;
    while (bits < 24 && (std::size_t(1) << bits) < lines.size())
        ++bits;
    const int shift = int(sizeof(std::size_t) * 8) - bits;
    std::vector<std::uint32_t> next((std::size_t(1) << bits) + 1, 0);
    std::vector<std::size_t> hashes(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        hashes[i] = hashName(lines[i].lower.substr(0, lines[i].nameLength));
        ++next[(hashes[i] >> shift) + 1];
    }
    for (std::size_t b = 1; b < next.size(); ++b)
        next[b] += next[b - 1];
    std::vector<Keyed> keyed(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        keyed[next[hashes[i] >> shift]++] = {hashes[i], i};
    // next[b] is now where bucket b ends; order each bucket's few lines by their full hash.
    for (std::size_t b = 0, begin = 0; b + 1 < next.size(); begin = next[b++])
        if (next[b] - begin > 1)
            std::stable_sort(keyed.begin() + std::ptrdiff_t(begin), keyed.begin() + std::ptrdiff_t(next[b]),
                             [](const Keyed& x, const Keyed& y) { return x.hash < y.hash; });
    auto nameOf = [&](const Keyed& k) { return lines[k.line].lower.substr(0, lines[k.line].nameLength); };

    struct Survivor {
        std::string_view text;
        const Line* line;
    };
    std::vector<Survivor> survivors;
    survivors.reserve(lines.size());
    std::vector<Line*> group;
    auto settle = [&](auto first, auto last) {
        group.clear();
        for (auto k = first; k != last; ++k)
            group.push_back(&lines[k->line]);
        if (group.size() > 1) settleGroup(group);
        for (const Line* l : group)
            survivors.push_back({l->lower, l});
    };
    for (auto run = keyed.begin(); run != keyed.end();) {
        auto runEnd = run + 1;
        while (runEnd != keyed.end() && runEnd->hash == run->hash)
            ++runEnd;
        const std::string_view name = nameOf(*run);
        if (std::all_of(run + 1, runEnd, [&](const Keyed& k) { return nameOf(k) == name; })) {
            settle(run, runEnd);
        } else { // names that share a hash: split them, each still in its given order
            std::stable_sort(run, runEnd,
                             [&](const Keyed& a, const Keyed& b) { return nameOf(a) < nameOf(b); });
            for (auto g = run; g != runEnd;) {
                auto gEnd = g + 1;
                while (gEnd != runEnd && nameOf(*gEnd) == nameOf(*g))
                    ++gEnd;
                settle(g, gEnd);
                g = gEnd;
            }
        }
        run = runEnd;
    }
    std::sort(survivors.begin(), survivors.end(),
              [](const Survivor& a, const Survivor& b) { return a.text < b.text; });

    ChangeResult result;
    result.changed.reserve(survivors.size());
    for (auto it = survivors.rbegin(); it != survivors.rend(); ++it) {
        const Line& l = *it->line;
        if (!hasSizeAndAttributes(l.lower, l.nameLength)) {
            result.missing.push_back(l.fromProject ? project[l.index].name : archive[l.index].name);
        }
    }
    for (const Survivor& s : survivors)
        if (hasSizeAndAttributes(s.text, s.line->nameLength) && s.line->fromProject)
            result.changed.push_back(s.line->index);
    return result;
}

} // namespace kp
