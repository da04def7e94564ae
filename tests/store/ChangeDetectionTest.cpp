// The change detection against a plain model of its rules on many generated listings, and
// the cases that decide whether an edit is seen at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/Text.h"
#include "store/ChangeDetection.h"

using namespace kp;

namespace {

struct ModelResult {
    std::vector<std::string> changed; // project names, in order
    std::vector<std::string> missing;
};

bool sameKey(const std::string& a, const std::string& b, bool ignoreCase) {
    return ignoreCase ? equalsIgnoringCase(a, b) : a == b;
}

// The rules as stated, pair by pair, quadratic and plain.
ModelResult model(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project, bool ignoreCase) {
    auto order = [](const std::string& a, const std::string& b) {
        const std::string la = lowerUtf8(a) + "\t", lb = lowerUtf8(b) + "\t";
        return la != lb ? la < lb : a < b;
    };
    ModelResult r;
    for (const auto& p : project) {
        bool unchanged = false;
        for (const auto& a : archive) {
            if (!sameKey(a.name, p.name, ignoreCase) || a.dosTime != p.dosTime) continue;
            if (p.isFolder() || ((a.size < 0 || a.size == p.size) && (a.mtime < 0 || p.mtime < 0 || a.mtime == p.mtime)))
                unchanged = true;
        }
        if (!unchanged) r.changed.push_back(p.name);
    }
    for (const auto& a : archive) {
        if (startsWithIgnoringCase(a.name, "_kpad_/")) continue;
        if (std::none_of(project.begin(), project.end(), [&](const ProjectLine& p) { return sameKey(a.name, p.name, ignoreCase); }))
            r.missing.push_back(a.name);
    }
    std::sort(r.changed.begin(), r.changed.end(), order);
    std::sort(r.missing.begin(), r.missing.end(), order);
    std::reverse(r.missing.begin(), r.missing.end());
    return r;
}

// Listings built to provoke the rules: case variants of one name, names that are prefixes of
// others, times that are digit-prefixes of other times, sizes and exact times that differ
// under one DOS time, folders, duplicates, missing and new items.
void generate(std::mt19937& rng, std::vector<ArchiveLine>& archive, std::vector<ProjectLine>& project) {
    const std::vector<std::string> stems = {"a", "A", "ab", "aB", "a b", "a.txt", "A.TXT", "a.tx", "Ä", "ä", "dir/",
                                            "Dir/", "dir/x", "dir/X", "b", "b1", "b10", "Проект", "проект", "t\tab", "t", "t\t1"};
    const std::vector<DosDateTime> times = {1031105295u, 103110529u, 1031105296u, 2162688u};
    std::uniform_int_distribution<int> coin(0, 3);
    for (const auto& stem : stems) {
        const std::string name = "Site/" + stem;
        const int archiveCopies = coin(rng) % 3; // duplicates happen in damaged archives
        for (int k = 0; k < archiveCopies; ++k)
            archive.push_back({name, times[std::size_t(coin(rng))], coin(rng) - 1, coin(rng) == 0 ? -1 : 1000 + coin(rng)});
        if (coin(rng) != 0)
            project.push_back({name, times[std::size_t(coin(rng))], coin(rng), coin(rng) == 0 ? -1 : 1000 + coin(rng)});
    }
    archive.push_back({"_kpad_/", 1031105295u});
    archive.push_back({"_kpad_/project.set", 1031105295u});
    std::shuffle(archive.begin(), archive.end(), rng);
    std::shuffle(project.begin(), project.end(), rng);
}

} // namespace

TEST(ChangeDetection, AgreesWithThePlainRulesOnGeneratedListings) {
    std::mt19937 rng(20101203);
    for (bool ignoreCase : {false, true}) {
        for (int run = 0; run < 400; ++run) {
            std::vector<ArchiveLine> archive;
            std::vector<ProjectLine> project;
            generate(rng, archive, project);
            const ModelResult want = model(archive, project, ignoreCase);
            const ChangeResult got = detectChanges(archive, project, ignoreCase);
            std::vector<std::string> changed;
            for (std::size_t i : got.changed) changed.push_back(project[i].name);
            ASSERT_EQ(changed, want.changed) << "run " << run << " ignoring case " << ignoreCase;
            ASSERT_EQ(got.missing, want.missing) << "run " << run << " ignoring case " << ignoreCase;
        }
    }
}

TEST(ChangeDetection, TypicalCases) {
    const std::vector<ArchiveLine> archive = {{"Site/", 100000000u},          {"Site/a.txt", 1031105295u, 5},
                                              {"Site/gone.txt", 1031105295u}, {"Site/Case.TXT", 1031105295u, 1},
                                              {"_kpad_/project.set", 1u}};
    const std::vector<ProjectLine> project = {
        {"Site/", 100000000u, 0},         {"Site/a.txt", 1031105297u, 5},     {"Site/case.txt", 1031105295u, 1},
        {"Site/new.txt", 1031105295u, 1}, {"Site/tab\tname", 1031105295u, 1},
    };
    const ChangeResult exact = detectChanges(archive, project);
    EXPECT_EQ(exact.changed, (std::vector<std::size_t>{1, 2, 3, 4})) << "changed time, other case, new, TAB";
    EXPECT_EQ(exact.missing, (std::vector<std::string>{"Site/gone.txt", "Site/Case.TXT"}));
    const ChangeResult folded = detectChanges(archive, project, true);
    EXPECT_EQ(folded.changed, (std::vector<std::size_t>{1, 3, 4})) << "a case-insensitive file system";
    EXPECT_EQ(folded.missing, std::vector<std::string>{"Site/gone.txt"});
}

// Each case: one archive item against one project file of the same name.
TEST(ChangeDetection, EditsTheDosTimeCannotShow) {
    const DosDateTime t = 1031105295u, clamped1980 = 0x00210000u;
    const struct {
        const char* what;
        ArchiveLine archived;
        ProjectLine now;
        bool changed;
    } cases[] = {
        {"untouched", {"S/f", t, 10, 5000}, {"S/f", t, 10, 5000}, false},
        {"rewritten within the two-second step, other size", {"S/f", t, 10, 5000}, {"S/f", t, 11, 5001}, true},
        {"same size, exact time differs", {"S/f", t, 10, 5000}, {"S/f", t, 10, 5001}, true},
        {"an archive without exact times compares time and size", {"S/f", t, 10, -1}, {"S/f", t, 10, 5001}, false},
        {"before 1980, both clamped to one DOS value", {"S/f", clamped1980, 10, 86400}, {"S/f", clamped1980, 10, 172800}, true},
        {"a folder compares its DOS time only", {"S/d/", t, 0, 5000}, {"S/d/", t, 0, 5001}, false},
    };
    for (const auto& c : cases) {
        const ChangeResult r = detectChanges({c.archived}, {c.now});
        EXPECT_EQ(r.changed.size(), c.changed ? 1u : 0u) << c.what;
        EXPECT_TRUE(r.missing.empty()) << c.what;
    }
}

TEST(ChangeDetection, NamesDifferingOnlyInCaseAreTwoFiles) {
    const DosDateTime t = 1031105295u;
    const std::vector<ArchiveLine> archive = {{"S/A.txt", t, 1, 100}, {"S/a.txt", t, 1, 100}};
    const std::vector<ProjectLine> edited = {{"S/A.txt", t, 1, 100}, {"S/a.txt", t + 2, 2, 102}};
    EXPECT_EQ(detectChanges(archive, edited).changed, std::vector<std::size_t>{1});
    const std::vector<ProjectLine> oneGone = {{"S/a.txt", t, 1, 100}};
    EXPECT_EQ(detectChanges(archive, oneGone).missing, std::vector<std::string>{"S/A.txt"});
}

// The program's own items are told by their folder's name in any case, as the plain rule says.
TEST(ChangeDetection, BookkeepingItemsInAnyCase) {
    for (const std::string name : {"_kpad_/project.set", "_KPAD_/x", "_Kpad_/", "_kpad_", "_kpad", "", "x/_kpad_/y",
                                   "_kpad_x/", "\xE2\x84\xAApad_/x" /* KELVIN SIGN */, "_\xE2\x84\xAApad_/x",
                                   "\xC3\x84_kpad_/", "_kpad_/\xFF"})
        EXPECT_EQ(isBookkeepingItem(name), startsWithIgnoringCase(name, "_kpad_/")) << name;
}
