#include <gtest/gtest.h>

#include <algorithm>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "store/ProjectListing.h"
#include "store/IgnoreRules.h"
#include "store/Layout.h"
#include "platform/DosTime.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::TempDir;

namespace {

std::vector<std::string> relativePaths(const ProjectListing& list, const std::string& base) {
    std::vector<std::string> out;
    for (const auto& e : list) out.push_back(e.path.substr(base.size()));
    return out;
}

ScanOptions projectOptions() {
    ScanOptions o;
    o.excluded = {"#tarnel", "#arh"};
    return o;
}

} // namespace

TEST(ScanProject, ListsFoldersBeforeContentsAndExcludesArchiveFoldersAtAnyDepth) {
#ifdef _WIN32
    GTEST_SKIP() << "its names (a TAB, #arh beside #ARH) cannot exist on Windows; tests/windows lists folders there";
#else
    TempDir t;
    t.write("Site/index.html", "hello");
    t.write("Site/#tarnel/Site-101203.1530c.zip", "z");
    t.write("Site/docs/#ARH/old.txt", "o");
    t.write("Site/docs/#arh.txt", "file named like an excluded folder");
    t.write("Site/docs/#Tarnel/x", "x");
    t.write("Site/docs/#arh", "a file named #arh is listed"); // sits beside the folder #ARH only on a case-sensitive FS
    t.write("Site/tab\tname.txt", "tab");
    t.write("Site/Проект.txt", "utf8");
    ProjectListing list;
    ScanProject(list, t / "Site", projectOptions());

    auto paths = relativePaths(list, t.path() + "/");
    EXPECT_EQ(paths.front(), "Site/");
    std::vector<std::string> sorted(paths.begin() + 1, paths.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"Site/docs/", "Site/docs/#arh", "Site/docs/#arh.txt",
                                                "Site/index.html", "Site/tab\tname.txt", "Site/Проект.txt"}));
    const auto docs = std::find(paths.begin(), paths.end(), "Site/docs/");
    const auto inDocs = std::find(paths.begin(), paths.end(), "Site/docs/#arh.txt");
    EXPECT_LT(docs, inDocs) << "a folder's line comes before its contents";

    const auto& index = *std::find_if(list.begin(), list.end(), [](auto& e) { return e.path.ends_with("index.html"); });
    EXPECT_EQ(index.size, 5);
    EXPECT_EQ(index.attributes, unsigned(kAttrFile));
    EXPECT_EQ(listingLine(index), index.path + "\tt:" + std::to_string(index.dosTime) + ",s:5,a:32");
#endif
}

TEST(ScanProject, OneFileProjectListsOnlyThatFileLiterally) {
    TempDir t;
    t.write("notes[1].txt", "n");
    t.write("notes1.txt", "wildcard look-alike");
    t.write("sub/notes[1].txt", "deeper");
    ScanOptions o;
    o.mask = "notes[1].txt";
    o.literalMask = true;
    ProjectListing list;
    ScanProject(list, t.path(), o);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].path, t / "notes[1].txt");
}

TEST(ScanProject, SurvivesLinkLoopsAndLeavesOutSpecialFiles) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs, and symbolic links need a privilege Wine does not model";
#else
    TempDir t;
    t.write("P/a.txt", "a");
    t.mkdir("P/sub");
    ASSERT_EQ(symlink("..", (t / "P/sub/up").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (t / "P/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((t / "P/fifo").c_str(), 0600), 0);
    ASSERT_EQ(symlink("../P/a.txt", (t / "P/link.txt").c_str()), 0);
    ProjectListing list;
    ScanProject(list, t / "P", projectOptions());
    auto paths = relativePaths(list, t.path() + "/");
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"P/", "P/a.txt", "P/link.txt", "P/sub/", "P/sub/up/"}));
#endif
}

TEST(ScanProject, RootFolderReadsAsDrive) {
    ProjectListing list;
    ScanOptions o;
    o.mask = "no-such-entry-*";
#ifdef _WIN32
    const std::string root = "C:/";
#else
    const std::string root = "/";
#endif
    ScanProject(list, root, o);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(listingLine(list[0]), root + "\ta:drive");
}

TEST(DosTime, RoundsToEvenSecondsAndClamps) {
    LocalTime lt{2010, 11, 21, 13, 24, 31};
    EXPECT_EQ(toDosDateTime(lt), 1031105295u) << "21 November 2010 13:24:30";
    EXPECT_EQ(dosToLocalTime(1031105295u).second, 30);
    EXPECT_EQ(toDosDateTime(LocalTime{1970, 1, 1, 0, 0, 0}), toDosDateTime(LocalTime{1980, 1, 1, 0, 0, 0}));
    EXPECT_EQ(dosToLocalTime(toDosDateTime(LocalTime{2200, 1, 1, 0, 0, 0})).year, 2107);
}

TEST(Wildcards, MatchLikeTheArchiveMask) {
    EXPECT_TRUE(wildcardMatch("Site-??????.*.zip", "Site-101203.1530c.zip"));
    EXPECT_FALSE(wildcardMatch("Site-??????.*.zip", "Site-10120.1530c.zip"));
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_FALSE(wildcardMatch("a?c", "ac"));
}

// Deeper than PATH_MAX: made and listed relative to each parent, as no full path can be opened.
TEST(ScanProject, ListsPathsLongerThanTheSystemLimitAndNamesOddBytesIntact) {
#ifdef _WIN32
    GTEST_SKIP() << "names that are not UTF-8 do not exist on Windows; long paths: tests/windows";
#else
    TempDir t;
    t.write("Site/back\\slash.txt", "b");
    t.write(std::string("Site/not-utf8-\xff.txt"), "n");
    int fd = open(t.mkdir("Site").c_str(), O_RDONLY | O_DIRECTORY);
    const std::string part(200, 'd');
    std::string deep = t.path() + "/Site/";
    for (int level = 0; level < 25; ++level) {
        ASSERT_EQ(mkdirat(fd, part.c_str(), 0755), 0);
        const int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        deep += part + "/";
    }
    const int file = openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
    close(file);
    close(fd);
    const std::string deepFile = deep + "deep.txt";
    ASSERT_GT(deepFile.size(), 4096u);

    ProjectListing list;
    std::vector<UnreadableItem> unreadable;
    ScanOptions options = projectOptions();
    options.unreadable = &unreadable;
    ScanProject(list, t / "Site", options);
    std::vector<std::string> paths;
    for (const auto& e : list) paths.push_back(e.path);
    for (const std::string& want : {deepFile, t / "Site/back\\slash.txt", t / "Site/not-utf8-\xff.txt"})
        EXPECT_NE(std::find(paths.begin(), paths.end(), want), paths.end()) << want.size();
    EXPECT_TRUE(unreadable.empty());
#endif
}

TEST(ScanProject, ExtractionTemporariesAreNeverListed) {
    TempDir t;
    t.write("Site/a.txt", "a");
    t.write("Site/sub/.kpad-extract-Ab12Cd", "left by a killed restore");
    ProjectListing list;
    std::vector<std::string> temporaries;
    ScanOptions options = projectOptions();
    options.extractionTemporaries = &temporaries;
    ScanProject(list, t / "Site", options);
    std::vector<std::string> paths = relativePaths(list, t.path() + "/");
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"Site/", "Site/a.txt", "Site/sub/"}));
    EXPECT_EQ(temporaries, std::vector<std::string>{t / "Site/sub/.kpad-extract-Ab12Cd"});
}

// A large tree is listed by two threads; the listing, the unreadable folders, the ignored items
// and the extraction leftovers must come out exactly as one thread lists them (a window's
// onEntry keeps the listing on its own thread).
TEST(ScanProject, TwoThreadsListATreeExactlyAsOneDoes) {
    TempDir t;
    for (int a = 0; a < 12; ++a)
        for (int b = 0; b < 6; ++b)
            for (int c = 0; c < 4; ++c) {
                const std::string folder = "Site/a" + std::to_string(a) + "/b" + std::to_string(b) + "/";
                t.write(folder + "f" + std::to_string(c) + ".txt", "x");
                t.write(folder + "f" + std::to_string(c) + ".log", "x");
            }
    t.write("Site/a3/b2/" + std::string(kExtractionTemporaryPrefix) + "left", "x");
    t.write("Site/a7/#tarnel/Site-101203.1530c.zip", "z");
    t.write("Site/a5/closed/inside.txt", "x");
    bool canShut = false; // a folder this user cannot read: not as root, not on Windows
#ifndef _WIN32
    ::chmod((t / "Site/a5/closed").c_str(), 0);
    canShut = ::access((t / "Site/a5/closed").c_str(), R_OK) != 0;
#endif
    const IgnoreRules rules = IgnoreRules::parse("*.log\na9/\n");

    auto listWith = [&](bool oneThread, std::vector<UnreadableItem>& unreadable, std::vector<IgnoredItem>& ignored,
                        std::vector<std::string>& temporaries) {
        ScanOptions o = projectOptions();
        o.ignore = &rules;
        o.ignored = &ignored;
        o.unreadable = &unreadable;
        o.extractionTemporaries = &temporaries;
        if (oneThread) o.onEntry = [] {};
        ProjectListing list;
        ScanProject(list, t / "Site", o);
        return relativePaths(list, t.path());
    };
    std::vector<UnreadableItem> u1, u2;
    std::vector<IgnoredItem> i1, i2;
    std::vector<std::string> t1, t2;
    const std::vector<std::string> one = listWith(true, u1, i1, t1);
    for (int round = 0; round < 5; ++round) {
        u2.clear(), i2.clear(), t2.clear();
        EXPECT_EQ(listWith(false, u2, i2, t2), one);
        ASSERT_EQ(u2.size(), u1.size());
        for (std::size_t k = 0; k < u1.size(); ++k) EXPECT_EQ(u2[k].path, u1[k].path);
        ASSERT_EQ(i2.size(), i1.size());
        for (std::size_t k = 0; k < i1.size(); ++k) EXPECT_EQ(i2[k].path, i1[k].path);
        EXPECT_EQ(t2, t1);
    }
    // Site/, 11 a-folders (a9 ignored), 66 b-folders, 264 .txt files, closed/ and what it holds.
    EXPECT_EQ(one.size(), 1 + 11 + 66 + 264 + 1 + (canShut ? 0u : 1u));
    EXPECT_EQ(u1.size(), canShut ? 1u : 0u);
#ifndef _WIN32
    ::chmod((t / "Site/a5/closed").c_str(), 0755);
#endif
    EXPECT_EQ(i1.size(), 1 + 11 * 6 * 4u);
    EXPECT_EQ(t1.size(), 1u);
}
