// Whole states read back from real archives (a relative state with its primary), the changes
// between states and against the present, the versions of one file, and copying files out.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "history/CopyOut.h"
#include "history/FileVersions.h"
#include "history/ProjectState.h"
#include "history/PathPattern.h"
#include "history/StateDiff.h"
#include "history/StateRecord.h"
#include "platform/FileSystem.h"
#include "store/Records.h"
#include "support/FailureText.h"
#include "support/TempDir.h"
#include "zip/ZipFixtures.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

constexpr std::time_t kBase = 1291386600; // 2010-12-03 14:30 UTC

struct Item {
    std::string name; // a folder's ends in "/"
    std::string data;
    std::time_t time = kBase;
};

class HistoryTest : public ::testing::Test {
protected:
    HistoryTest() {
        m_dir.mkdir("Site/#tarnel");
        m_project.projectKind = ProjectKind::Folder;
        m_project.projectPath = m_dir.path() + "/";
        m_project.projectBaseName = "Site";
        m_project.archiveFolder = m_dir / "Site/#tarnel";
    }

    std::string archivePath(const std::string& tail) const {
        return m_project.archiveFolder + "/Site" + tail;
    }

    // An archive as the writer makes it: the items, the bookkeeping folder and its record.
    std::string store(const std::string& tail, const std::vector<Item>& items,
                      const std::string& primaryTail = "", const std::string& missing = "") {
        ProjectSetFields fields;
        fields.projectName = "Site";
        fields.archiveName = "Site" + tail;
        if (!primaryTail.empty()) {
            fields.kind = ArchiveKind::Relative;
            fields.primaryArchive = "Site" + primaryTail;
            fields.missingText = missing;
        }
        ZipArchive zip;
        zip.open(archivePath(tail));
        for (const Item& i : items) {
            if (i.name.back() == '/')
                zip.addFolder(i.name, toDosDateTime(i.time));
            else
                zip.addFromMemory(i.name, i.data, toDosDateTime(i.time));
        }
        zip.addFolder("_kpad_/", toDosDateTime(kBase));
        zip.addFromMemory("_kpad_/project.set", ComposeProjectSet(fields), toDosDateTime(kBase));
        zip.save();
        refreshArchives();
        return archivePath(tail);
    }

    void refreshArchives() {
        m_project.archives =
            FindArchives(m_project.archiveFolder, kRepositoryName, "Site", FixedClock(kBase + 86400 * 30));
    }

    // A project file with a given content and time.
    void put(const std::string& rel, const std::string& data, std::time_t time = kBase) {
        touch(m_dir.write(rel, data), time);
    }

    static std::vector<std::string> lines(const std::vector<StateChange>& changes) {
        std::vector<std::string> out;
        for (const StateChange& c : changes)
            out.push_back(std::string(c.kind == ChangeKind::Added     ? "A "
                                      : c.kind == ChangeKind::Deleted ? "D "
                                                                      : "M ") +
                          c.path);
        return out;
    }

    TempDir m_dir;
    Project m_project;
};

} // namespace

TEST(StateRecordTest, TellsFullFromRelativeAndReadsTheMissingItems) {
    ProjectSetFields full;
    full.projectName = "Site";
    full.archiveName = "Site-101203.1530c.zip";
    full.comment = "see\r\n<primary archive with full copy of the project>\r\nSite-1.zip";
    EXPECT_FALSE(StateRecord::parse(ComposeProjectSet(full)).isRelative())
        << "a comment imitating the section";
    EXPECT_FALSE(StateRecord::parse("").isRelative());

    ProjectSetFields rel = full;
    rel.kind = ArchiveKind::Relative;
    rel.projectStatus = 2;
    rel.primaryArchive = "repository/Site-101203.1530c-v.1.2.zip";
    rel.missingText = "Site/old.txt\r\nSite/odd\r\nname.txt\r\nSite/gone/\r\n";
    const StateRecord record = StateRecord::parse(ComposeProjectSet(rel));
    EXPECT_TRUE(record.isRelative());
    EXPECT_EQ(record.primaryArchive(), "repository/Site-101203.1530c-v.1.2.zip");
    for (const char* name : {"Site/old.txt", "Site/gone/", "Site/odd\r\nname.txt"})
        EXPECT_TRUE(record.isMissing(name)) << name;
    for (const char* name : {"Site/old", "Site/kept.txt", "Site/odd\r\nname"})
        EXPECT_FALSE(record.isMissing(name)) << name;
}

TEST(PathPatternTest, MatchesWithOrWithoutTheProjectName) {
    const struct {
        const char* path;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"Site/docs/a.txt", "*.txt", true},           {"Site/docs/a.txt", "docs/*", true},
        {"Site/docs/a.txt", "Site/docs/?.txt", true}, {"Site/docs/a.txt", "docs\\a.txt", true},
        {"Site/docs/a.txt", "a.txt", false},          {"Site/docs/ab.txt", "docs/?.txt", false},
        {"Site/index.html", "*.txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesItemPattern(c.path, c.pattern, "Site"), c.matches) << c.path << " " << c.pattern;
}

TEST_F(HistoryTest, RelativeStateIsItsPrimaryWithItsChanges) {
    store("-101203.1530c.zip", {{"Site/", ""},
                                {"Site/a.txt", "a"},
                                {"Site/old.txt", "old"},
                                {"Site/gone/", ""},
                                {"Site/gone/g.txt", "g"},
                                {"Site/same.txt", "same"}});
    const std::string rel = store("-101203.1532.zip", {{"Site/a.txt", "a2"}, {"Site/new.txt", "new"}},
                                  "-101203.1530c.zip", "Site/old.txt\r\nSite/gone/g.txt\r\nSite/gone/\r\n");
    const Result<ProjectState> load = readStoredState(m_project, rel);
    ASSERT_TRUE(load.ok()) << failureText(load);
    EXPECT_EQ(load.value().primary, archivePath("-101203.1530c.zip"));
    std::vector<std::string> paths;
    for (const StateEntry& e : load.value().entries)
        paths.push_back(e.path + (e.archive == rel ? " (own)" : ""));
    EXPECT_EQ(paths,
              (std::vector<std::string>{"Site/", "Site/a.txt (own)", "Site/new.txt (own)", "Site/same.txt"}));

    const StateDiff diff = diffBetween(m_project, archivePath("-101203.1530c.zip"), rel);
    ASSERT_TRUE(diff.ok()) << failureText(diff);
    EXPECT_EQ(lines(diff.value()),
              (std::vector<std::string>{"M Site/a.txt", "D Site/gone/", "D Site/gone/g.txt", "A Site/new.txt",
                                        "D Site/old.txt"}));
}

TEST_F(HistoryTest, APrimaryThatIsNotAFullArchiveOfTheProjectIsAnError) {
    store("-101203.1530c.zip", {{"Site/a.txt", "a"}});
    store("-101203.1532.zip", {{"Site/a.txt", "b"}}, "-101203.1530c.zip");
    const struct {
        std::string named;
        const char* says;
    } cases[] = {
        {"-101203.1529c.zip", "is not among the project's archives"},
        {"-101203.1532.zip", "is not a full archive"},
    };
    for (const auto& c : cases) {
        const std::string rel = store("-101203.1540.zip", {{"Site/b.txt", "b"}}, c.named);
        const Result<ProjectState> load = readStoredState(m_project, rel);
        ASSERT_FALSE(load.ok()) << c.named;
        EXPECT_EQ(load.failure().kind, FailureKind::Refused) << c.named;
        EXPECT_NE(load.failure().text.find(c.says), std::string::npos) << c.named << ": " << load.failure().text;
        std::filesystem::remove(rel);
    }
    const Result<ProjectState> vanished = readStoredState(m_project, archivePath("-101203.1550c.zip"));
    ASSERT_FALSE(vanished.ok()) << "a state that vanished is no empty state";
    EXPECT_EQ(vanished.failure().kind, FailureKind::Internal);
    EXPECT_NE(vanished.failure().text.find("can't be found"), std::string::npos);
}

TEST_F(HistoryTest, VersionMovedToTheRepositoryStillServesAsPrimary) {
    m_dir.mkdir("Site/#tarnel/repository");
    store("-101203.1530c-v.1.2.zip", {{"Site/a.txt", "a"}, {"Site/b.txt", "b"}});
    std::filesystem::rename(archivePath("-101203.1530c-v.1.2.zip"),
                            m_project.archiveFolder + "/repository/Site-101203.1530c-v.1.2.zip");
    const std::string rel = store("-101203.1532.zip", {{"Site/a.txt", "a2"}}, "-101203.1530c-v.1.2.zip");
    const Result<ProjectState> load = readStoredState(m_project, rel);
    ASSERT_TRUE(load.ok()) << failureText(load);
    EXPECT_EQ(load.value().entries.size(), 2u);
}

TEST_F(HistoryTest, PresentAgainstAStateReadsTheCrcOnlyOfTouchedFiles) {
    put("Site/same.txt", "same");
    put("Site/touched.txt", "touched", kBase + 600); // time changed, content not
    put("Site/edited.txt", "edit-B", kBase + 600);   // same size, other content
    put("Site/sneaky.txt", "snk-B");                 // same size and time: a run takes it as unchanged
    put("Site/grown.txt", "grown longer");
    put("Site/added.txt", "added");
    m_dir.mkdir("Site/#tarnel/ignored");
    const std::string state = store("-101203.1530c.zip", {{"Site/", "", kBase},
                                                          {"Site/same.txt", "same"},
                                                          {"Site/touched.txt", "touched"},
                                                          {"Site/edited.txt", "edit-A"},
                                                          {"Site/sneaky.txt", "snk-A"},
                                                          {"Site/grown.txt", "grown"},
                                                          {"Site/deleted.txt", "x"}});
    touch(m_dir / "Site", kBase); // the folder's own time is not a change either way
    const StateDiff diff = diffWithPresent(m_project, state);
    ASSERT_TRUE(diff.ok()) << failureText(diff);
    EXPECT_EQ(lines(diff.value()), (std::vector<std::string>{"A Site/added.txt", "D Site/deleted.txt",
                                                             "M Site/edited.txt", "M Site/grown.txt"}));
    const DiffSummary s = summarize(diff.value());
    EXPECT_EQ(s.added, 1u);
    EXPECT_EQ(s.addedBytes, 5u);
    EXPECT_EQ(s.deletedBytes, 1u);
    EXPECT_EQ(s.modifiedDelta, 7);
}

TEST_F(HistoryTest, VersionsOfAFileAcrossFiveStates) {
    store("-101201.1000c.zip", {{"Site/a.txt", "one", kBase}, {"Site/b.txt", "b"}});
    store("-101201.1100.zip", {{"Site/a.txt", "one", kBase + 60}}, "-101201.1000c.zip"); // touched only
    store("-101201.1200.zip", {{"Site/a.txt", "two", kBase + 120}}, "-101201.1000c.zip");
    store("-101201.1300.zip", {{"Site/b.txt", "b2"}}, "-101201.1000c.zip", "Site/a.txt\r\n"); // deleted
    store("-101201.1400c.zip", {{"Site/a.txt", "two", kBase + 240}, {"Site/b.txt", "b2"}});   // back again
    const FileVersions found = fileVersions(m_project, "a.txt");
    EXPECT_EQ(found.item, "Site/a.txt");
    EXPECT_TRUE(found.unreadable.empty());
    std::vector<std::string> states;
    for (const FileVersion& v : found.versions)
        states.push_back(fileNamePart(v.archive) + " " + std::to_string(v.size));
    EXPECT_EQ(states, (std::vector<std::string>{"Site-101201.1400c.zip 3", "Site-101201.1200.zip 3",
                                                "Site-101201.1000c.zip 3"}));
    EXPECT_EQ(found.versions[1].dosTime, toDosDateTime(kBase + 120));

    for (const std::string& name : {std::string("Site/a.txt"), std::string("./a.txt"), m_dir / "Site/a.txt"})
        EXPECT_EQ(itemNameOf(m_project, name), "Site/a.txt") << name;
    EXPECT_TRUE(fileVersions(m_project, "nothing.txt").versions.empty());
}

TEST_F(HistoryTest, CopiesChosenFilesOutWithTheirTimesAndModes) {
    store("-101203.1530c.zip", {{"Site/", ""},
                                {"Site/docs/", ""},
                                {"Site/docs/a.txt", "a", kBase + 2},
                                {"Site/docs/b.md", "b"},
                                {"Site/index.html", "<p>"}});
    const std::string rel =
        store("-101203.1532.zip", {{"Site/docs/a.txt", "a2", kBase + 4}}, "-101203.1530c.zip");
    CopyRequest request{rel, {"docs/*.txt"}, {}, m_dir / "out"};
    std::vector<std::size_t> progress;
    CopyResult result =
        copyFilesOut(m_project, request, [&](const CopyProgress& p) { progress.push_back(p.filesDone); });
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.written, std::vector<std::string>{m_dir / "out/Site/docs/a.txt"});
    EXPECT_EQ(readFile(m_dir / "out/Site/docs/a.txt"), "a2") << "the relative state's own copy";
    struct stat st {};
    ASSERT_EQ(stat((m_dir / "out/Site/docs/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kBase + 4);
    EXPECT_EQ(progress, std::vector<std::size_t>{1});

    // The whole state; an existing file is refused before anything is written, then replaced.
    m_dir.write("out/Site/docs/a.txt", "mine");
    request.patterns.clear();
    result = copyFilesOut(m_project, request);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.existing, std::vector<std::string>{m_dir / "out/Site/docs/a.txt"});
    EXPECT_EQ(readFile(m_dir / "out/Site/docs/a.txt"), "mine");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out/Site/index.html")) << "nothing written";
    request.overwrite = true;
    result = copyFilesOut(m_project, request);
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.written.size(), 3u);
    EXPECT_EQ(readFile(m_dir / "out/Site/docs/a.txt"), "a2");
    EXPECT_EQ(readFile(m_dir / "out/Site/index.html"), "<p>");
    for (const auto& e : std::filesystem::directory_iterator(m_dir / "out/Site/docs"))
        EXPECT_EQ(e.path().filename().string().find(".kpad-copy"), std::string::npos) << "no aside file left";
}

TEST_F(HistoryTest, CopyRefusals) {
#ifdef _WIN32
    GTEST_SKIP() << "directory symbolic links need a privilege on Windows";
#else
    const std::string state = store("-101203.1530c.zip", {{"Site/a.txt", "a"}, {"Site/docs/", ""}});
    {
        ZipArchive zip;
        zip.open(archivePath("-101203.1531c.zip"));
        zip.addFromMemory("Site/link", "/etc", toDosDateTime(kBase), 0120777u << 16);
        zip.addFromMemory("Site/b.txt", "b", toDosDateTime(kBase));
        zip.save();
        refreshArchives();
    }
    m_dir.write("elsewhere/Site/a.txt", "");
    std::filesystem::create_directory_symlink(m_dir / "Site", m_dir / "linked");
    const struct {
        std::string archive;
        std::vector<std::string> patterns;
        std::string target;
        const char* says;
    } cases[] = {
        {archivePath("-101203.1531c.zip"), {}, m_dir / "out1", "can't be copied out safely"},
        {archivePath("-101203.1531c.zip"), {"*.txt"}, m_dir / "out1", ""}, // the link is not chosen
        {state, {}, m_dir.path(), "into the project or its archive folder"},
        {state, {}, m_dir.path() + "/", "into the project or its archive folder"},
        {state, {}, m_dir / "out/..", "into the project or its archive folder"},
        {state, {}, m_dir / "Site/docs", "into the project or its archive folder"},
        {state, {}, m_dir / "Site/#tarnel", "into the project or its archive folder"},
        {state, {}, m_dir / "linked/..", "into the project or its archive folder"},
        {state, {"*.html"}, m_dir / "out2", "No file of the state"},
        {state, {"docs/", "d*/"}, m_dir / "out2", "Only folders of the state Site-101203.1530c.zip match, no file"},
        {state, {}, "relative/out", "full path"},
        {m_dir / "elsewhere.zip", {}, m_dir / "out3", "is not a stored state"},
    };
    for (const auto& c : cases) {
        const CopyResult result = copyFilesOut(m_project, CopyRequest{c.archive, c.patterns, {}, c.target});
        EXPECT_NE(result.errorText().find(c.says), std::string::npos) << c.target << ": " << result.errorText();
        if (*c.says) {
            EXPECT_TRUE(result.written.empty());
        }
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "out1/Site/link"));
    EXPECT_EQ(readFile(m_dir / "Site/a.txt"), "") << "the project untouched";
#endif
}

TEST_F(HistoryTest, CopyNeverFollowsALinkInsideTheFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "directory symbolic links need a privilege on Windows";
#endif
    const std::string state =
        store("-101203.1530c.zip", {{"Site/", ""}, {"Site/docs/", ""}, {"Site/docs/a.txt", "a"}});
    m_dir.write("elsewhere/docs/a.txt", "theirs");
    const struct {
        const char *link, *pointsTo;
    } links[] = {{"out/Site", "elsewhere"}, {"out/Site/docs", "elsewhere/docs"}};
    for (const auto& [link, pointsTo] : links) {
        std::filesystem::remove_all(m_dir / "out");
        std::filesystem::create_directories(std::filesystem::path(m_dir / link).parent_path());
        std::filesystem::create_directory_symlink(m_dir / pointsTo, m_dir / link);
        for (const bool overwrite : {false, true}) {
            const CopyResult result =
                copyFilesOut(m_project, CopyRequest{state, {}, {}, m_dir / "out", overwrite});
            EXPECT_NE(result.errorText().find(m_dir / link + " is a symbolic link"), std::string::npos)
                << result.errorText();
            EXPECT_TRUE(result.written.empty());
            EXPECT_EQ(readFile(m_dir / "elsewhere/docs/a.txt"), "theirs");
        }
    }
}

namespace {

// An archive of the state written byte by byte, as no writer of the program would make it.
std::string storeRaw(const std::string& path, std::vector<kp::test::RawItem> items,
                     void (*forge)(kp::test::RawZip&) = nullptr) {
    kp::test::RawZip zip = kp::test::buildZip(items);
    if (forge) forge(zip);
    std::filesystem::remove(path);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(zip.bytes.data(), 1, zip.bytes.size(), f);
    std::fclose(f);
    return path;
}

kp::test::RawItem folderItem(std::string name, std::string data = "") {
    kp::test::RawItem it = kp::test::item(std::move(name), std::move(data));
    it.external = (040755u << 16) | 0x10;
    return it;
}

} // namespace

// Whatever the archive alone can tell is found before the first file is written: nothing
// at all appears in the folder, not even the folders of the files that came first.
TEST_F(HistoryTest, CopyChecksTheWholeStateBeforeWritingAFile) {
    using kp::test::item;
    using kp::test::RawItem;
    using kp::test::RawZip;
    RawItem badCrc = item("Site/z.txt", "zzz");
    badCrc.crc = 1;
    RawItem encrypted = item("Site/z.txt", "zzz");
    encrypted.flags |= 1;
    RawItem bzip2 = item("Site/z.txt", "zzz");
    bzip2.method = 12;
    RawItem sizes = item("Site/z.txt", "zzz");
    sizes.uncompressedSize = 9;
    const struct {
        std::vector<RawItem> items;
        void (*forge)(RawZip&);
        const char* says;
    } cases[] = {
        {{item("Site/a.txt", "a"), badCrc}, nullptr, "does not match its CRC-32"},
        {{item("Site/a.txt", "a"), item("Site/z.txt", "zzz")},
         [](RawZip& z) { z.bytes[z.local[1] + 30 + 5] = 'y'; },
         "its local header holds another name than the directory"},
        {{item("Site/a.txt", "a"), encrypted}, nullptr, "it is encrypted"},
        {{item("Site/a.txt", "a"), bzip2}, nullptr, "compressed with method 12"},
        {{item("Site/a.txt", "a"), sizes}, nullptr, "its sizes differ"},
        {{item("Site/a.txt", "a"), item("Site/a", "file"), item("Site/a/b.txt", "b")}, nullptr,
         "Site/a is a file of the state where its other items need a folder"},
        {{folderItem("Site/a/"), item("Site/a", "file")}, nullptr, "names it twice"},
        {{item("Site/a.txt", "a"), item("Site/./b.txt", "b")}, nullptr, "empty or \".\" part"},
        {{item("Site/a.txt", "a"), item("Site//b.txt", "b")}, nullptr, "empty or \".\" part"},
        {{item("Site/a.txt", "a"), item(".", "b")}, nullptr, "empty or \".\" part"},
        {{item("Site/a.txt", "a"), folderItem("Site/d/", "data")}, nullptr, "it is a folder, yet it holds 4 bytes"},
    };
    int minute = 40;
    for (const auto& c : cases) {
        const std::string state = storeRaw(archivePath("-101203.15" + std::to_string(minute++) + "c.zip"), c.items, c.forge);
        refreshArchives();
        const CopyResult result = copyFilesOut(m_project, CopyRequest{state, {}, {}, m_dir / "out"});
        EXPECT_NE(result.errorText().find(c.says), std::string::npos) << c.says << " / " << result.errorText();
        EXPECT_TRUE(result.written.empty()) << c.says;
        EXPECT_EQ(kp::test::entriesUnder(m_dir / "out"), std::vector<std::string>{}) << c.says;
    }
}

TEST_F(HistoryTest, CopiesPathsLongerThanTheSystemTakesWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine makes no folder this deep";
#endif
    std::string name = "Site/";
    for (int i = 0; i < 25; ++i) name += std::string(200, char('a' + i)) + "/";
    name += "deep.txt";
    const std::string state = store("-101203.1530c.zip", {{"Site/a.txt", "a"}, {name, "deep"}});
    const CopyResult result = copyFilesOut(m_project, CopyRequest{state, {}, {}, m_dir / "out"});
    ASSERT_TRUE(result.ok()) << result.errorText();
    ASSERT_EQ(result.written.size(), 2u);
    const auto info = statPath(m_dir / "out/" + name);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->size, 4);
    EXPECT_EQ(info->modificationTime, kBase);
}

// A full state's name with a relative record: diff, copy out and the restore's checks refuse
// it with one text (the restore's own test is in tests/restore).
TEST_F(HistoryTest, AStateNamedFullWithARelativeRecordIsRefused) {
    store("-101203.1530c.zip", {{"Site/a.txt", "a"}});
    const std::string forged = store("-101203.1532c.zip", {{"Site/b.txt", "b"}}, "-101203.1530c.zip");
    const std::string says = "The archive Site-101203.1532c.zip is named as a full state, but its record says it "
                             "holds only the changes since Site-101203.1530c.zip; it was renamed or is damaged.";
    EXPECT_EQ(failureText(readStoredState(m_project, forged)), says);
    EXPECT_EQ(copyFilesOut(m_project, CopyRequest{forged, {}, {}, m_dir / "out"}).errorText(), says);
    EXPECT_EQ(failureText(diffWithPresent(m_project, forged)), says);
    EXPECT_EQ(readStoredState(m_project, forged).failure().kind, FailureKind::Refused);
    const std::string relative = store("-101203.1533.zip", {{"Site/b.txt", "b"}}, "-101203.1530c.zip");
    EXPECT_TRUE(readStoredState(m_project, relative).ok()) << "a relative name with a relative record";
}

// A failure once files are being put in place (here a folder that appeared meanwhile where a
// replaced file goes) names the files already in place. New files are written under their own
// names, so something appearing in the way of one while they are written leaves nothing.
TEST_F(HistoryTest, ACopyThatStopsMidwaySaysWhichFilesWereWritten) {
    const std::string state = store("-101203.1530c.zip", {{"Site/a.txt", "a"}, {"Site/b.txt", "b"}});
    const CopyResult fresh = copyFilesOut(m_project, CopyRequest{state, {}, {}, m_dir / "new"}, [&](const CopyProgress& p) {
        if (p.filesDone == 1) m_dir.write("new/Site/b.txt", "not ours");
    });
    EXPECT_TRUE(fresh.written.empty());
    EXPECT_NE(fresh.errorText().find("Can't write " + m_dir / "new/Site/b.txt: "), std::string::npos) << fresh.errorText();
    EXPECT_NE(fresh.errorText().find(" No file was written."), std::string::npos) << fresh.errorText();
    EXPECT_FALSE(std::filesystem::exists(m_dir / "new/Site/a.txt"));
    EXPECT_EQ(readFile(m_dir / "new/Site/b.txt"), "not ours");

    m_dir.write("out/Site/a.txt", "old a");
    m_dir.write("out/Site/b.txt", "old b");
    const CopyResult result =
        copyFilesOut(m_project, CopyRequest{state, {}, {}, m_dir / "out", true}, [&](const CopyProgress& p) {
            if (p.filesDone == 1) {
                std::filesystem::remove(m_dir / "out/Site/b.txt");
                m_dir.write("out/Site/b.txt/in the way", "");
            }
        });
    EXPECT_EQ(result.written, std::vector<std::string>{m_dir / "out/Site/a.txt"});
    EXPECT_NE(result.errorText().find("Can't write " + m_dir / "out/Site/b.txt: "), std::string::npos) << result.errorText();
    EXPECT_NE(result.errorText().find(" 1 file was written before it stopped:\n  " + m_dir / "out/Site/a.txt"),
              std::string::npos)
        << result.errorText();
}
