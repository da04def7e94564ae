#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "platform/Text.h"
#include "store/Records.h"

using namespace kp;

namespace {

const std::string kEq80(80, '='), kDash80(80, '-');
const std::string kSetHead =
    "<heading>\r\nThis file contains the data for the backup assistant Kestrelpad\r\n\r\n"
    "<project name>\r\nSite\r\n\r\n<current archive>\r\n";

std::string heading(const std::string& project) {
    return kEq80 + "\r\n\r\n  History of the project \"" + project + "\"\r\n\r\n" + kEq80;
}

struct ProjectSetCase {
    const char* name;
    ProjectSetFields fields;
    std::string expected;
};

TEST(Records, ProjectSetSections) {
    const ProjectSetCase cases[] = {
        {"full, status 0 writes no settings, empty comment",
         {"Site", "Site-101203.1530c.zip", 0, ArchiveKind::Full, "", "", ""},
         kSetHead + "Site-101203.1530c.zip\r\n\r\n<comment>\r\n\r\n\r\n"},
        {"full with status and a comment of two lines",
         {"Site", "Site-101203.1530c.zip", 3, ArchiveKind::Full, "one\r\ntwo", "", ""},
         kSetHead + "Site-101203.1530c.zip\r\n\r\n<settings>\r\nps:3\r\n\r\n<comment>\r\none\r\ntwo\r\n\r\n"},
        {"relative without missing items has neither comment nor missing section",
         {"Site", "Site-101204.0915.zip", 1, ArchiveKind::Relative, "ignored", "Site-101203.1530c.zip", ""},
         kSetHead + "Site-101204.0915.zip\r\n\r\n<settings>\r\nps:1\r\n\r\n"
                    "<primary archive with full copy of the project>\r\nSite-101203.1530c.zip\r\n\r\n"},
        {"relative with missing items ends in two empty lines",
         {"Site", "Site-101204.0915.zip", 0, ArchiveKind::Relative, "",
          "repository/Site-101203.1530c-v.1.2.zip", "Site/old/\r\nSite/a.txt\r\n"},
         kSetHead +
             "Site-101204.0915.zip\r\n\r\n"
             "<primary archive with full copy of the "
             "project>\r\nrepository/Site-101203.1530c-v.1.2.zip\r\n\r\n"
             "<missing item(s) relatively to the primary archive>\r\nSite/old/\r\nSite/a.txt\r\n\r\n\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComposeProjectSet(c.fields), c.expected) << c.name;
}

TEST(Records, ZipCommentEndsWithTheArchiveNameAndNoLineBreak) {
    EXPECT_EQ(ComposeZipComment("", "Site-101203.1530c.zip"), "\r\n[ Site-101203.1530c.zip ]");
    EXPECT_EQ(ComposeZipComment("a\r\nb", "repository/Site-101203.1530c-v.1.2.zip"),
              "a\r\nb\r\n[ repository/Site-101203.1530c-v.1.2.zip ]");
}

TEST(Records, FirstLogIsHeadingAndOneEntry) {
    EXPECT_EQ(ComposeProjectLog("", "Site", "Site-101203.1530c.zip", "First\nstate"),
              heading("Site") + "\r\n\r\n  [ Site-101203.1530c.zip ]\r\n\r\n  First\r\n  state\r\n\r\n" +
                  kDash80);
    // An empty comment leaves a comment line of two blanks.
    EXPECT_EQ(ComposeProjectLog("", "Site", "S.zip", ""),
              heading("Site") + "\r\n\r\n  [ S.zip ]\r\n\r\n  \r\n\r\n" + kDash80);
}

TEST(Records, LogCarriesHistoryForwardWithOneHeading) {
    const std::string entry1 = "\r\n\r\n  [ Site-101203.1530c.zip ]\r\n\r\n  one\r\n\r\n" + kDash80;
    const std::string entry2 = "\r\n\r\n  [ Site-101204.0915c.zip ]\r\n\r\n  two\r\n\r\n" + kDash80;
    const struct {
        const char* name;
        std::string oldLog, expected;
    } cases[] = {
        {"unedited heading", heading("Site") + entry1, heading("Site") + entry2 + entry1},
        {"heading differing only in case", heading("SITE") + entry1, heading("Site") + entry2 + entry1},
        {"Unicode letters in the project name", heading("ПРОЕКТ") + entry1,
         heading("проект") + entry2 + entry1},
        {"edited heading stays below the new entry", "My notes" + entry1,
         heading("Site") + entry2 + "My notes" + entry1},
    };
    for (const auto& c : cases) {
        const bool cyrillic = c.expected.find("проект") != std::string::npos;
        EXPECT_EQ(ComposeProjectLog(c.oldLog, cyrillic ? "проект" : "Site", "Site-101204.0915c.zip", "two"),
                  c.expected)
            << c.name;
    }
}

TEST(Records, CommentWrapsAt77Columns) {
    std::string words; // "aaaaaaaaa " ten times: blanks at columns 10, 20, ... 100
    for (int i = 0; i < 10; ++i)
        words += "aaaaaaaaa ";
    words.pop_back();
    const std::string seventy = words.substr(0, 70); // up to and including the blank at column 70
    std::string cyrillicWords; // 7 words of 11 two-byte letters with blanks: 83 characters, 160 bytes
    for (int i = 0; i < 7; ++i)
        cyrillicWords += (i ? " " : "") + std::string("жжжжжжжжжжж");
    const struct {
        const char* name;
        std::string in, expected;
    } cases[] = {
        {"100 characters without blanks stay whole", std::string(100, 'x'), std::string(100, 'x')},
        {"77 characters are not broken", std::string(70, 'x') + " yyyyyy", std::string(70, 'x') + " yyyyyy"},
        {"broken after the last blank within 77 columns", words, seventy + "\r\n" + words.substr(70)},
        {"hyphen is a break character and stays at the line end",
         std::string(70, 'x') + "-" + std::string(20, 'y'),
         std::string(70, 'x') + "-\r\n" + std::string(20, 'y')},
        {"break characters after the break are dropped",
         std::string(75, 'x') + "  \t- " + std::string(20, 'y'),
         std::string(75, 'x') + "  \r\n" + std::string(20, 'y')},
        {"a line without a break character within 77 columns stays whole", std::string(90, 'x') + " yy",
         std::string(90, 'x') + " yy"},
        {"quoted text is never broken", "aa \"" + std::string(40, 'q') + " " + std::string(40, 'q') + "\" bb",
         "aa \r\n\"" + std::string(40, 'q') + " " + std::string(40, 'q') + "\" bb"},
        {"an existing line break restarts the count",
         std::string(60, 'x') + "\r\n" + std::string(60, 'y') + " z",
         std::string(60, 'x') + "\r\n" + std::string(60, 'y') + " z"},
        {"lone LF and CR become CR LF", "a\nb\rc\r\n\nd", "a\r\nb\r\nc\r\n\r\nd"},
        {"columns count characters, not bytes", cyrillicWords,
         cyrillicWords.substr(0, 6 * 23) + "\r\n" + cyrillicWords.substr(6 * 23)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wrapComment77(c.in), c.expected) << c.name;
}

TEST(Records, LogEntryIndentsWrappedCommentLines) {
    std::string words;
    for (int i = 0; i < 10; ++i)
        words += "aaaaaaaaa ";
    words.pop_back();
    const std::string log = ComposeProjectLog("", "Site", "S.zip", words);
    EXPECT_NE(
        log.find("\r\n\r\n  " + words.substr(0, 70) + "\r\n  " + words.substr(70) + "\r\n\r\n" + kDash80),
        std::string::npos);
}

TEST(Records, ArchiveNamesRelativeToTheArchiveFolder) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"/work/Site/#tarnel/Site-101203.1530c.zip", "Site-101203.1530c.zip"},
        {"/work/Site/#tarnel/repository/Site-101203.1530c-v.1.2.zip",
         "repository/Site-101203.1530c-v.1.2.zip"},
        {"/work/SITE/#TARNEL/Site-101203.1530c.zip", "Site-101203.1530c.zip"},
        {"/elsewhere/Site-101203.1530c.zip", "/elsewhere/Site-101203.1530c.zip"},
        {"/work/Site/#tarnelX/Site.zip", "/work/Site/#tarnelX/Site.zip"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(relativeArchiveName("/work/Site/#tarnel", c.path), c.expected) << c.path;
}

// A comment, project name or missing path may hold words like "hv:1\1\1"; only the
// settings section may reach the effective settings, or a comment could shorten the
// trains and have thinning delete archives.
TEST(Records, OnlyTheSettingsSectionIsReadBackAsSettings) {
    ProjectSetFields full{"ps:3",
                          "ps:3-101203.1530c.zip",
                          2,
                          ArchiveKind::Full,
                          "ps:0 hv:1\\1\\1\r\n\r\n<settings>\r\nps:1",
                          "",
                          ""};
    EXPECT_EQ(projectSetSettingsText(ComposeProjectSet(full)), "ps:2");
    full.projectStatus = 0;
    EXPECT_EQ(projectSetSettingsText(ComposeProjectSet(full)), "");
    const ProjectSetFields relative{"Site",       "Site-101204.0915.zip", 0, ArchiveKind::Relative, "",
                                    "Site-1.zip", "Site/ps:3\r\n"};
    EXPECT_EQ(projectSetSettingsText(ComposeProjectSet(relative)), "");
    EXPECT_EQ(projectSetSettingsText(""), "");
}

// Found by fuzzing: a full state's comment that imitates the primary section was read as a
// relation to that archive, and a project name ending in the section's mark hid the primary.
TEST(Records, OnlyThePrimarySectionReadsAsARelation) {
    const ProjectSetFields full{"Site", "Site-101203.1530c.zip", 0, ArchiveKind::Full,
                                "First\r\n<primary archive with full copy of the project>\r\nx.zip\r\n", "", ""};
    EXPECT_EQ(projectSetRelativeRecord(ComposeProjectSet(full)).primaryArchive, "");
    const ProjectSetFields relative{"Site", "Site-101203.1532.zip", 0, ArchiveKind::Relative, "",
                                    "Site-101203.1530c.zip", "Site/a.txt\r\n"};
    const RelativeRecord read = projectSetRelativeRecord(ComposeProjectSet(relative));
    EXPECT_EQ(read.primaryArchive, "Site-101203.1530c.zip");
    EXPECT_EQ(read.missingText, "Site/a.txt\r\n");
    ProjectSetFields oddName = relative;
    oddName.projectName = "Site <primary archive with full copy of the project>";
    EXPECT_EQ(projectSetRelativeRecord(ComposeProjectSet(oddName)).primaryArchive, "Site-101203.1530c.zip");
}

} // namespace

// A long history: composing the next log and finding its heading take time and memory in
// proportion to the log, never more.
TEST(Records, LargeLogIsCarriedForwardInLinearTime) {
    std::string entries;
    while (entries.size() < (48u << 20)) entries += "\r\n\r\n  [ Site-101203.1530c.zip ]\r\n\r\n  Übung\r\n\r\n" + kDash80;
    const std::string old = heading("Site") + entries;
    const auto start = std::chrono::steady_clock::now();
    const std::string log = ComposeProjectLog(old, "Site", "Site-101204.0915c.zip", "two");
    EXPECT_EQ(findIgnoringCase(entries, "no such text"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(log.size(), old.size() + std::string("\r\n\r\n  [ Site-101204.0915c.zip ]\r\n\r\n  two\r\n\r\n").size() + 80);
    EXPECT_TRUE(log.ends_with(entries));
    EXPECT_EQ(replaceAll(entries, "\r\n", "\n").size(), entries.size() - std::count(entries.begin(), entries.end(), '\r'));
}
