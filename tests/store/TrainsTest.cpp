#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/FileSystem.h"
#include "store/Trains.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::TempDir;

namespace {

constexpr int kToday = 101203; // 3 December 2010

FixedClock clockOnToday() {
    return FixedClock(fromLocalTime({2010, 12, 3, 15, 30, 0}));
}

TEST(ArchiveNames, ValidTailsAndEveryRejectedForm) {
    const struct {
        const char* tail;
        bool valid;
    } cases[] = {
        {"-101203.1530.zip", true},
        {"-101203.1530c.zip", true},
        {"-101203.1530C.ZIP", true},
        {"-101203.1530c-v.1.2.zip", true},
        {"-101203.1530c-v.1.2.beta 3.zip", true},
        {"-101203.1530c-V. 1 .2..zip", true},
        {"-080802.0000c.zip", true},
        {"-101203.2400c.zip", true},
        {"-080801.1200c.zip", false},           // before 2 August 2008
        {"-101204.0000c.zip", false},           // tomorrow
        {"-101203.2500c.zip", false},           // hour 25
        {"-101203.1260c.zip", false},           // minute 60
        {"-101203.2401c.zip", false},           // past 24:00
        {"-101303.1200c.zip", false},           // month 13
        {"-101200.1200c.zip", false},           // day 0
        {"-101203.1530x.zip", false},           // suffix "x"
        {"-101203.1530c-.zip", false},          // suffix "c-"
        {"-101203.1530c-v.zip", false},         // 15 characters before ".zip"
        {"-101203.1530c-v.1.2.3.4.zip", false}, // four-part version
        {"-101203.1530c-v.1.zip", false},       // one part
        {"-101203.1530c-v.a.2.zip", false},     // part 1 not a number
        {"-101203.1530c-v.-1.2.zip", false},    // -1 is no version number
        {"-101203.1530c-x.1.2.zip", false},
        {"-101203.1530c", false},
        {"-101203.1530c.tmp", false},
        {"-101203.1530.zip.part", false},
        {"-1O1203.1530c.zip", false},
        {"-10120+.1530c.zip", false},
        {"2-101203.1530c.zip", false},
        {"-101203.153", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidArchiveTail(c.tail, kToday), c.valid) << c.tail;
}

TEST(ArchiveNames, SortOldestFirstPlainBeforeChangeInTheSameMinute) {
    std::vector<ArchiveRef> lines = {
        {"-101203.1530c.zip", "/a/Site"},
        {"-101203.1530.zip", "/a/Site"},
        {"-101202.0900C.zip", "/a/Site"},
        {"-101203.1530c-v.1.2.zip", "/a/Site"},
        {"-101203.1530c.zip", "/a/repository/Site"},
        {"-999999.9999.zip", "/a/Site"},
    };
    ValidateArchiveNames(lines, kToday);
    std::vector<std::string> got;
    for (const auto& r : lines)
        got.push_back(r.fullPath());
    EXPECT_EQ(got,
              (std::vector<std::string>{"/a/Site-101202.0900C.zip", "/a/Site-101203.1530.zip",
                                        "/a/Site-101203.1530c-v.1.2.zip",
                                        "/a/repository/Site-101203.1530c.zip", "/a/Site-101203.1530c.zip"}));
}

TEST(Trains, SearchLevelsWalkUpToButNotIntoTheRootArchiveFolder) {
    using L = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* folder;
        const char* project;
        L expected;
    } cases[] = {
        {"/work/Site/#tarnel", "Site", {{"/work/Site/#tarnel", "Site"}, {"/work/#tarnel", "work"}}},
        {"/work/Site/#tarnel",
         "notes.txt",
         {{"/work/Site/#tarnel", "notes.txt"}, {"/work/Site/#tarnel", "Site"}, {"/work/#tarnel", "work"}}},
        {"/Site/#tarnel", "Site", {{"/Site/#tarnel", "Site"}}},
        {"/#tarnel", "notes.txt", {{"/#tarnel", "notes.txt"}}},
    };
    for (const auto& c : cases) {
        L got;
        for (const auto& level : archiveSearchLevels(c.folder, c.project))
            got.push_back({level.folder, level.projectName});
        EXPECT_EQ(got, c.expected) << c.folder << " " << c.project;
    }
}

class FindArchivesTest : public ::testing::Test {
protected:
    std::string file(const std::string& rel) { return m_dir.write(rel, "x"); }
    std::string at(const std::string& rel) { return m_dir / rel; }
    TempDir m_dir;
    FixedClock m_clock = clockOnToday();
};

TEST_F(FindArchivesTest, ListsOwnArchivesInTheirForms) {
    file("work/Site/#tarnel/Site-101201.1000c.zip");
    file("work/Site/#tarnel/Site-101201.1100.zip");
    file("work/Site/#tarnel/Site-101202.1000c-v.2.5.zip");
    file("work/Site/#tarnel/Site-101203.1200.zip");
    file("work/Site/#tarnel/repository/Site-101130.0900c-v.1.9.rc.zip");
    file("work/Site/#tarnel/site-101202.1200c.zip");        // another project on Linux
    file("work/Site/#tarnel/Site-101203.1300x.zip");        // invalid name
    file("work/Site/#tarnel/Site-101203.1400c.tmp");        // an interrupted write
    m_dir.mkdir("work/Site/#tarnel/Site-101203.1500c.zip"); // a folder is no archive

    const ArchiveLists l = FindArchives(at("work/Site/#tarnel"), "repository", "Site", m_clock);
    const std::string f = at("work/Site/#tarnel/");
    EXPECT_EQ(l.projectArchives,
              (std::vector<std::string>{f + "Site-101201.1000c.zip", f + "Site-101201.1100.zip",
                                        f + "Site-101202.1000c-v.2.5.zip", f + "Site-101203.1200.zip"}));
    ASSERT_EQ(l.allOwnArchives.size(), 5u);
    EXPECT_EQ(l.allOwnArchives.front().tail, "-101130.0900c-v.1.9.rc.zip");
    EXPECT_EQ(l.allOwnArchives.front().head, f + "repository/Site");
    EXPECT_EQ(l.allOwnArchives.back().tail, "-101203.1200.zip");
    EXPECT_EQ(l.allOwnArchives.back().head, f + "Site");
    EXPECT_EQ(l.storedStates,
              (std::vector<std::string>{f + "repository/Site-101130.0900c-v.1.9.rc.zip",
                                        f + "Site-101201.1000c.zip", f + "Site-101202.1000c-v.2.5.zip"}));
    EXPECT_EQ(l.lastVersion, "2.5.");
}

TEST_F(FindArchivesTest, NoArchivesGiveEmptyListsAndVersion001) {
    const ArchiveLists l = FindArchives(at("work/Site/#tarnel"), "repository", "Site", m_clock);
    EXPECT_TRUE(l.projectArchives.empty() && l.allOwnArchives.empty() && l.storedStates.empty());
    EXPECT_EQ(l.lastVersion, "0.0.1");
}

TEST_F(FindArchivesTest, OneFileProjectSeesTheStatesOfItsEnclosingFolderProjects) {
    file("work/Site/notes.txt");
    file("work/Site/#tarnel/notes.txt-101202.0800c.zip");
    file("work/Site/#tarnel/notes.txt-101202.0900.zip");
    file("work/Site/#tarnel/Site-101201.1000c.zip");
    file("work/Site/#tarnel/Site-101201.1100.zip");
    file("work/Site/#tarnel/repository/Site-101130.0900c-v.1.0.zip");
    file("work/#tarnel/work-101129.0900c.zip");
    file("work/#tarnel/Site-101129.0800c.zip"); // not the project "work"

    int levels = 0;
    const ArchiveLists l =
        FindArchives(at("work/Site/#tarnel"), "repository", "notes.txt", m_clock, [&] { ++levels; });
    EXPECT_EQ(l.storedStates, (std::vector<std::string>{at("work/Site/#tarnel/notes.txt-101202.0800c.zip")}));
    EXPECT_EQ(l.enclosingStates,
              (std::vector<std::string>{at("work/#tarnel/work-101129.0900c.zip"),
                                        at("work/Site/#tarnel/repository/Site-101130.0900c-v.1.0.zip"),
                                        at("work/Site/#tarnel/Site-101201.1000c.zip"),
                                        at("work/Site/#tarnel/notes.txt-101202.0800c.zip")}));
    EXPECT_EQ(l.lastVersion, "0.0.1"); // enclosing projects' versions are not this project's
    EXPECT_GE(levels, 3);
}

TEST(Trains, FullWhenTrainLength1FullOrCapacityPlainArchives) {
    const struct {
        std::size_t allOwn, stored, project;
        bool full;
    } cases[] = {
        {0, 0, 0, false},   {3, 3, 3, true},   // three full archives, L1 = 3
        {2, 2, 2, false},   {17, 2, 17, true}, // fifteen plain = 5 x 3
        {16, 2, 16, false}, {5, 4, 2, false},  // full archives in the repository do not count
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrainsFull(c.allOwn, c.stored, c.project, 3, 5), c.full)
            << c.allOwn << "/" << c.stored << "/" << c.project;
}

// An archive folder holding a train; names are "Site-1012dd.hhnn<suffix>.zip", so the date
// stands at position 6.
class ThinTest : public ::testing::Test {
protected:
    static constexpr int kDatePos = 6;

    // Adds archives a minute apart, oldest first: "C" change, "p" plain, "V" version, "W" a
    // version archive whose suffix was typed in other letter case.
    void train(const std::string& kinds) {
        for (char k : kinds) {
            char name[64];
            const int minute = int(m_paths.size());
            const char* suffix = k == 'C' ? "c" : k == 'V' ? "c-v.1.0" : k == 'W' ? "C-V.1.0" : "";
            std::snprintf(name, sizeof name, "Site-101203.%02d%02d%s.zip", 10 + minute / 60, minute % 60,
                          suffix);
            m_paths.push_back(
                m_dir->write(std::string("#tarnel/") + name, std::string(100 + m_paths.size(), 'z')));
        }
    }
    // Thins with the last archive as the new one.
    ThinOutcome thin(int L, int factor, const FileCopier& copier = {}) {
        const std::vector<std::string> found(m_paths.begin(), m_paths.end() - 1);
        return ThinArchives(found, m_paths.back(), kDatePos, L, factor, *m_dir / "#tarnel", copier);
    }
    std::string kept() const {
        std::string s;
        for (const auto& p : m_paths)
            s += existsAsFile(p) ? 'k' : '.';
        return s;
    }
    // Starts over in a new, empty archive folder.
    void fresh() {
        m_dir = std::make_unique<TempDir>();
        m_paths.clear();
    }
    std::unique_ptr<TempDir> m_dir = std::make_unique<TempDir>();
    std::vector<std::string> m_paths;
};

TEST_F(ThinTest, MajorMinorTrainsAndCapacity) {
    const struct {
        const char* name;
        const char* train;
        int L, factor;
        const char* kept;
    } cases[] = {
        // L = 4, N = 2: C1, C2 and the plain archives before C3 go (major train); those between
        // C3 and C4 go (minor trains); C3..C6 and the plain archives after C4 stay.
        {"L=4 with six change archives", "CppCpCppCpCpCpp", 4, 5, ".....k..kkkkkkk"},
        {"capacity 4 keeps the newest four plain archives", "CppCpCppCpCpCppp", 4, 1, ".....k..k.kkkkkk"},
        {"no more than L change archives: the major train takes nothing", "CpCpCpC", 4, 5, "k.kkkkk"},
        {"no more than N change archives: the minor trains take nothing", "CpppCppp", 4, 5, "kkkkkkkk"},
        {"the new archive is never removed", "Cp", 1, 1, "kk"},
    };
    for (const auto& c : cases) {
        fresh();
        train(c.train);
        thin(c.L, c.factor);
        EXPECT_EQ(kept(), c.kept) << c.name;
    }
}

TEST_F(ThinTest, OldVersionArchivesMoveToTheRepository) {
    train("VpVpCCCCC");
    const ThinOutcome out = thin(4, 5);
    EXPECT_EQ(kept(), ".....kkkk");
    EXPECT_EQ(out.movedToRepository, (std::vector<std::string>{m_paths[0], m_paths[2]}));
    for (int i : {0, 2}) {
        const std::string copy = *m_dir / ("#tarnel/repository/" + fileNamePart(m_paths[i]));
        EXPECT_EQ(kp::test::readFile(copy), std::string(100 + i, 'z'));
    }
    EXPECT_EQ(out.deleted.size(), 3u);
}

TEST_F(ThinTest, VersionArchivesInOtherLetterCaseAreMovedToo) {
    train("WpVpCCCCC");
    const ThinOutcome out = thin(4, 5);
    EXPECT_EQ(kept(), ".....kkkk");
    EXPECT_EQ(out.movedToRepository, (std::vector<std::string>{m_paths[0], m_paths[2]}));
}

TEST_F(ThinTest, TheOnlyVersionArchiveStays) {
    train("VpCpCCCCC");
    const ThinOutcome out = thin(4, 5);
    EXPECT_EQ(kept(), "k....kkkk");
    EXPECT_TRUE(out.movedToRepository.empty());
    EXPECT_FALSE(existsAsFolder(*m_dir / "#tarnel/repository"));
}

// A version archive is never lost: when its copy cannot be made complete, it stays where
// it is, while the rest of the thinning still happens.
TEST_F(ThinTest, FailedCopyKeepsTheVersionArchive) {
    const struct {
        const char* name;
        std::function<void(TempDir&)> prepare;
        FileCopier copier;
    } cases[] = {
        {"repository cannot be created", [](TempDir& d) { d.write("#tarnel/repository", "a file"); }, {}},
        {"copy refused by the file system",
         [](TempDir& d) {
             for (const char* v : {"1000c-v.1.0.zip", "1002c-v.1.0.zip"})
                 d.mkdir(std::string("#tarnel/repository/Site-101203.") + v + "/occupied");
         },
         {}},
        {"copy reports success but is short", [](TempDir&) {},
         [](const std::string& from, const std::string& to) {
             return kp::test::readFile(from).size() > 10 && writeFileAtomically(to, "short");
         }},
    };
    for (const auto& c : cases) {
        fresh();
        c.prepare(*m_dir);
        train("VpVpCCCCC");
        const ThinOutcome out = thin(4, 5, c.copier);
        EXPECT_EQ(kept(), "k.k..kkkk") << c.name;
        EXPECT_EQ(out.keptBecauseCopyFailed, (std::vector<std::string>{m_paths[0], m_paths[2]})) << c.name;
        EXPECT_TRUE(out.movedToRepository.empty()) << c.name;
        EXPECT_FALSE(existsAsFile(*m_dir / ("#tarnel/repository/" + fileNamePart(m_paths[0])))) << c.name;
    }
}

} // namespace
