#include "store/ChangeDetection.h"

#include <algorithm>
#include <unordered_map>

#include "platform/Text.h"

namespace kp {

namespace {

struct Line {
    std::string lower;      // the whole line, lower-cased
    std::size_t nameLength; // bytes of the lower-cased name
    bool fromProject;
    std::size_t index;      // into the archive or the project lines
    bool marked = false;
};

bool prefixRelated(const Line& a, const Line& b) {
    const std::string& shorter = a.lower.size() <= b.lower.size() ? a.lower : b.lower;
    const std::string& longer = a.lower.size() <= b.lower.size() ? b.lower : a.lower;
    return longer.compare(0, shorter.size(), shorter) == 0;
}

bool byText(const Line* a, const Line* b) { return a->lower < b->lower; }

void dropMarked(std::vector<Line*>& group) {
    group.erase(std::remove_if(group.begin(), group.end(), [](const Line* l) { return l->marked; }), group.end());
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
            if (prefixRelated(a, b)) a.marked = b.marked = true;
            else (b.lower.size() > a.lower.size() ? a : b).marked = true;
        }
    }
    dropMarked(group);
}

bool hasSizeAndAttributes(const std::string& lowerLine, std::size_t nameLength) {
    const std::string_view value = std::string_view(lowerLine).substr(nameLength + 1);
    return value.find(",s:") != std::string_view::npos && value.find(",a:") != std::string_view::npos;
}

} // namespace

bool isBookkeepingItem(const std::string& name) { return startsWithIgnoringCase(name, "_kpad_/"); }

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project) {
    std::vector<Line> lines;
    lines.reserve(archive.size() + project.size());
    for (std::size_t i = 0; i < archive.size(); ++i) {
        if (isBookkeepingItem(archive[i].name)) continue;
        std::string lowerName = lowerUtf8(archive[i].name);
        const std::size_t n = lowerName.size();
        lines.push_back({std::move(lowerName) + "\tt:" + std::to_string(archive[i].dosTime), n, false, i});
    }
    for (std::size_t i = 0; i < project.size(); ++i) {
        std::string lowerName = lowerUtf8(project[i].name);
        const std::size_t n = lowerName.size();
        lines.push_back({std::move(lowerName) + "\t" + lowerUtf8(project[i].value), n, true, i});
    }

    std::unordered_map<std::string_view, std::vector<Line*>> groups;
    groups.reserve(lines.size());
    for (Line& l : lines) groups[std::string_view(l.lower).substr(0, l.nameLength)].push_back(&l);

    std::vector<Line*> survivors;
    for (auto& [name, group] : groups) {
        if (group.size() > 1) settleGroup(group);
        survivors.insert(survivors.end(), group.begin(), group.end());
    }
    std::sort(survivors.begin(), survivors.end(), byText);

    ChangeResult result;
    for (auto it = survivors.rbegin(); it != survivors.rend(); ++it) {
        const Line& l = **it;
        if (!hasSizeAndAttributes(l.lower, l.nameLength)) {
            result.missing.push_back(l.fromProject ? project[l.index].name : archive[l.index].name);
        }
    }
    for (const Line* l : survivors)
        if (hasSizeAndAttributes(l->lower, l->nameLength) && l->fromProject) result.changed.push_back(l->index);
    return result;
}

} // namespace kp
