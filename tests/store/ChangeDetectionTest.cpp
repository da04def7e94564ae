// The change detection against a plain, literal run of the sort-and-prefix rounds on text
// lines, on many generated listings: the fast grouping must give exactly the same result.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/Text.h"
#include "store/ChangeDetection.h"

using namespace kp;

namespace {

struct OracleResult {
    std::vector<std::string> changed; // project lines, in order
    std::vector<std::string> missing;
};

std::string nameOf(const std::string& line) { return line.substr(0, line.find('\t')); }
std::string valueOf(const std::string& line) { return line.substr(line.find('\t') + 1); }

bool prefixRelated(const std::string& a, const std::string& b) {
    const std::string la = lowerUtf8(a), lb = lowerUtf8(b);
    return la.starts_with(lb) || lb.starts_with(la);
}

bool namesEqual(const std::string& a, const std::string& b) { return equalsIgnoringCase(nameOf(a), nameOf(b)); }

// The rounds exactly as written: sort, walk adjacent pairs from the end, delete marked
// lines and the bookkeeping lines; four times; then one pass over all ordered pairs.
OracleResult oracle(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project) {
    const std::string mark = ":";
    std::vector<std::string> list;
    for (const auto& a : archive) list.push_back(a.name + "\tt:" + std::to_string(a.dosTime));
    for (const auto& p : project) list.push_back(p.name + "\t" + p.value);
    auto byText = [](const std::string& a, const std::string& b) { return lowerUtf8(a) < lowerUtf8(b); };
    auto sweep = [&] {
        std::vector<std::string> kept;
        for (auto& l : list)
            if (l != mark && !startsWithIgnoringCase(l, "_kpad_")) kept.push_back(l);
        list = kept;
    };
    for (int round = 0; round < 4; ++round) {
        std::stable_sort(list.begin(), list.end(), byText);
        for (std::size_t i = list.size() > 0 ? list.size() - 1 : 0; i >= 1 && i < list.size(); --i) {
            std::string &a = list[i], &b = list[i - 1];
            if (a == mark || b == mark) continue;
            if (prefixRelated(a, b)) a = b = mark;
            else if (namesEqual(a, b)) (b.size() < a.size() ? b : a) = mark;
        }
        sweep();
    }
    for (std::size_t i = 0; i < list.size(); ++i)
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (i == j || list[i] == mark || list[j] == mark) continue;
            if (prefixRelated(list[i], list[j])) list[i] = list[j] = mark;
            else if (namesEqual(list[i], list[j])) (list[j].size() > list[i].size() ? list[i] : list[j]) = mark;
        }
    sweep();
    OracleResult r;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        const std::string v = valueOf(*it);
        if (v.find(",s:") == std::string::npos || v.find(",a:") == std::string::npos) r.missing.push_back(nameOf(*it));
    }
    for (const auto& l : list) {
        const std::string v = valueOf(l);
        if (v.find(",s:") != std::string::npos && v.find(",a:") != std::string::npos) r.changed.push_back(l);
    }
    return r;
}

// Listings built to provoke the rules: case variants of one name, names that are prefixes
// of others, times that are prefixes of other times, folders, missing and new items.
void generate(std::mt19937& rng, std::vector<ArchiveLine>& archive, std::vector<ProjectLine>& project) {
    const std::vector<std::string> stems = {"a", "A", "ab", "aB", "a b", "a.txt", "A.TXT", "a.tx", "Ä", "ä", "dir/",
                                            "Dir/", "dir/x", "dir/X", "b", "b1", "b10", "Проект", "проект"};
    const std::vector<DosDateTime> times = {1031105295u, 103110529u, 1031105296u, 2162688u, 21626880u};
    std::uniform_int_distribution<int> coin(0, 3);
    for (const auto& stem : stems) {
        const std::string name = "Site/" + stem;
        const int archiveCopies = coin(rng) % 3; // duplicates happen in damaged archives
        for (int k = 0; k < archiveCopies; ++k) archive.push_back({name, times[std::size_t(coin(rng))]});
        if (coin(rng) != 0) {
            const DosDateTime t = times[std::size_t(coin(rng))];
            const std::string attr = stem.ends_with("/") ? "16" : "32";
            project.push_back({name, "t:" + std::to_string(t) + ",s:" + std::to_string(coin(rng) * 7) + ",a:" + attr});
        }
    }
    archive.push_back({"_kpad_/", 1031105295u});
    archive.push_back({"_kpad_/project.set", 1031105295u});
    std::shuffle(archive.begin(), archive.end(), rng);
    std::shuffle(project.begin(), project.end(), rng);
}

} // namespace

TEST(ChangeDetection, AgreesWithTheLiteralRoundsOnGeneratedListings) {
    std::mt19937 rng(20101203);
    for (int run = 0; run < 400; ++run) {
        std::vector<ArchiveLine> archive;
        std::vector<ProjectLine> project;
        generate(rng, archive, project);
        const OracleResult want = oracle(archive, project);
        const ChangeResult got = detectChanges(archive, project);
        std::vector<std::string> changed;
        for (std::size_t i : got.changed) changed.push_back(project[i].name + "\t" + project[i].value);
        ASSERT_EQ(changed, want.changed) << "run " << run;
        ASSERT_EQ(got.missing, want.missing) << "run " << run;
    }
}

TEST(ChangeDetection, TypicalCases) {
    const std::vector<ArchiveLine> archive = {{"Site/", 100000000u},      {"Site/a.txt", 1031105295u},
                                              {"Site/gone.txt", 1031105295u}, {"Site/Case.TXT", 1031105295u},
                                              {"_kpad_/project.set", 1u}};
    const std::vector<ProjectLine> project = {
        {"Site/", "t:100000000,s:0,a:16"},          {"Site/a.txt", "t:1031105297,s:5,a:32"},
        {"Site/case.txt", "t:1031105295,s:1,a:32"}, {"Site/new.txt", "t:1031105295,s:1,a:32"},
        {"Site/tab\tname", "t:1031105295,s:1,a:32"},
    };
    const ChangeResult r = detectChanges(archive, project);
    EXPECT_EQ(r.changed, (std::vector<std::size_t>{1, 3, 4})) << "changed time, new file, TAB in a name";
    EXPECT_EQ(r.missing, std::vector<std::string>{"Site/gone.txt"});
}
