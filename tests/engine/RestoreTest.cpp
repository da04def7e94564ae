#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "EngineFixture.h"
#include "platform/FileSystem.h"
#include "restore/RestoreRequest.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

const long long kStateTime = 1291380000; // 3 Dec 2010, even seconds

class RestoreTest : public EngineTest {
protected:
    RestoreTest() {
        m_dir.write("Site/index.html", "version one");
        chmod(m_dir.write("Site/run.sh", "#!/bin/sh\necho hi\n").c_str(), 0755);
        m_dir.write("Site/docs/a.txt", "a");
        m_dir.mkdir("Site/empty");
        for (const char* p : {"Site/index.html", "Site/run.sh", "Site/docs/a.txt", "Site/docs", "Site/empty"})
            touch(m_dir / p, kStateTime);
        EXPECT_EQ(runOnce("Site"), RunOutcome::Stored);
        m_stateA = m_dir / "Site/#tarnel/Site-101203.1530c.zip";
        at(2010, 12, 3, 15, 40);
    }

    // A run whose options step asks to restore archive; extra runs once the project is listed.
    RunOutcome restoreRun(const std::string& archive, TestHost& host, std::function<void()> extra = {}) {
        host.onOptions = [&, archive, extra](RunState& s) {
            if (host.optionsShown > 1) { // shown again after a failed check: Cancel
                host.answers.push_back(OptionsChoice{});
                return;
            }
            m_requested = host.engine->requestRestore(archive, "my words");
            host.answers.push_back(m_requested ? okWith(s.archiveComment) : OptionsChoice{});
            if (extra) extra();
        };
        return runOnce("Site", host, true);
    }

    std::string m_stateA;
    bool m_requested = false;
};

struct stat statOf(const std::string& path) {
    struct stat st{};
    stat(path.c_str(), &st);
    return st;
}

} // namespace

TEST_F(RestoreTest, OlderStateComesBackExactlyAfterThePresentIsStored) {
    m_dir.write("Site/index.html", "version two");
    chmod((m_dir / "Site/run.sh").c_str(), 0644);
    removeEmptyFolder(m_dir / "Site/empty");
    m_dir.write("Site/new/file.txt", "made after the state");

    TestHost host;
    ASSERT_EQ(restoreRun(m_stateA, host, [&] { m_dir.write("Site/late.txt", "made after start-up"); }),
              RunOutcome::Stored);
    ASSERT_TRUE(m_requested);

    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version one");
    EXPECT_EQ(statOf(m_dir / "Site/run.sh").st_mode & 0777, 0755u) << "stored permissions come back";
    EXPECT_TRUE(existsAsFolder(m_dir / "Site/empty")) << "an empty folder of the state is made again";
    EXPECT_NEAR(double(statOf(m_dir / "Site/empty").st_mtime), double(kStateTime), 2.0);
    EXPECT_NEAR(double(statOf(m_dir / "Site/docs").st_mtime), double(kStateTime), 2.0);
    EXPECT_FALSE(pathExists(m_dir / "Site/new")) << "an emptied folder goes";
    EXPECT_EQ(readFile(m_dir / "Site/late.txt"), "made after start-up") << "files made after start-up stay";

    const std::string before = m_dir / "Site/#tarnel/Site-101203.1540c.zip";
    ASSERT_EQ(m_lastArchive, before);
    ZipArchive zip;
    zip.open(before);
    EXPECT_TRUE(zip.comment().starts_with("After this archive creation, the archive\r\n Site-101203.1530c.zip \r\n"
                                          "was restored.\r\n\r\nmy words"))
        << zip.comment();
    EXPECT_EQ(zip.extractToString("Site/index.html"), "version two") << "the present state was stored first";
}

TEST_F(RestoreTest, NewestStateOfAnUnchangedProjectStillStoresFirst) {
    TestHost host;
    ASSERT_EQ(restoreRun(m_stateA, host), RunOutcome::Stored);
    EXPECT_EQ(m_lastArchive, m_dir / "Site/#tarnel/Site-101203.1540c.zip");
}

TEST_F(RestoreTest, BusyFileRefusesWithItsRelativePath) {
    const int fd = open((m_dir / "Site/docs/a.txt").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    TestHost host;
    EXPECT_EQ(restoreRun(m_stateA, host), RunOutcome::Cancelled);
    close(fd);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].text, "Kestrelpad message.\r\nSome files are busy by the another applications:\r\n\r\n"
                                     "Site/docs/a.txt\r\n\r\nClose these applications before restoring, please.");
    EXPECT_EQ(archives("Site/#tarnel").size(), 1u);
}

TEST_F(RestoreTest, DamagedOrForeignArchiveRefusesBeforeAnythingChanges) {
    // A copy of the state with one byte of a stored file flipped, and an archive with an
    // item outside the project.
    std::string bytes = readFile(m_stateA);
    const auto at = bytes.find("version one");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'V';
    m_dir.write("Site/#tarnel/Site-101203.1531c.zip", bytes);
    // A copy whose local header names another item than its directory does: readers that walk
    // the local headers would restore something else.
    std::string forged = readFile(m_stateA);
    const auto local = forged.find("Site/run.sh"); // local headers come before the directory
    ASSERT_NE(local, std::string::npos);
    forged.replace(local, 11, "Site/run.SH");
    m_dir.write("Site/#tarnel/Site-101203.1533c.zip", forged);
    {
        ZipArchive foreign;
        foreign.open(m_dir / "Site/#tarnel/Site-101203.1532c.zip");
        foreign.addFromMemory("Other/x.txt", "lands beside the project", 0x3D834000u);
        foreign.save();
    }
    m_dir.write("Site/index.html", "version two");
    for (const char* name : {"Site-101203.1531c.zip", "Site-101203.1532c.zip", "Site-101203.1533c.zip"}) {
        TestHost host;
        EXPECT_EQ(restoreRun(m_dir / (std::string("Site/#tarnel/") + name), host), RunOutcome::Cancelled) << name;
        ASSERT_FALSE(host.messages.empty()) << name;
        EXPECT_EQ(host.messages[0].text, std::string("Kestrelpad message :\r\nThe archive ") + name +
                                             " is corrupt.\r\nTry to restore another archive.");
    }
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version two");
    EXPECT_FALSE(pathExists(m_dir / "Other"));
}

TEST_F(RestoreTest, FailedCheckOfTheNewArchiveLeavesTheProjectUntouched) {
    m_dir.write("Site/index.html", "version two");
    TestHost host;
    m_beforeRun = [&](Engine& e) { e.setAfterWriteForTesting([&] { m_dir.write("Site/docs/a.txt", "edited"); }); };
    EXPECT_EQ(restoreRun(m_stateA, host), RunOutcome::Failed);
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version two");
    EXPECT_EQ(archives("Site/#tarnel"), std::vector<std::string>{"Site-101203.1530c.zip"});
}

TEST_F(RestoreTest, ExtractionFailingMidwayNamesTheArchiveOfThePresentState) {
    removeFile(m_dir / "Site/docs/a.txt");
    TestHost host;
    // After start-up a folder takes the place where the state's file must go.
    EXPECT_EQ(restoreRun(m_stateA, host, [&] { m_dir.write("Site/docs/a.txt/blocker", "x"); }), RunOutcome::Failed);
    ASSERT_FALSE(host.messages.empty());
    const std::string& text = host.messages.back().text;
    EXPECT_NE(text.find("The state before the restore is kept in the archive\r\n " +
                        (m_dir / "Site/#tarnel/Site-101203.1540c.zip")),
              std::string::npos)
        << text;
    EXPECT_TRUE(existsAsFile(m_dir / "Site/#tarnel/Site-101203.1540c.zip"));
}

TEST_F(RestoreTest, CloseBeforeTheStoreRestoresNothingAndThinsNothing) {
    m_dir.write("Site/index.html", "precious new work");
    TestHost host;
    host.onOptions = [&](RunState& s) {
        ASSERT_TRUE(host.engine->requestRestore(m_stateA, ""));
        host.answers.push_back(okWith(s.archiveComment));
        host.requestClose(); // the window is closed before the storing tick
    };
    EXPECT_EQ(runOnce("Site", host, true), RunOutcome::Cancelled);
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "precious new work");
    EXPECT_EQ(archives("Site/#tarnel"), std::vector<std::string>{"Site-101203.1530c.zip"});
}

TEST_F(RestoreTest, LinkedFolderIsUnlinkedButWhatItLinksToStays) {
    m_dir.write("elsewhere/top.txt", "not the project's");
    m_dir.write("elsewhere/sub/keep.txt", "not the project's either");
    ASSERT_EQ(symlink((m_dir / "elsewhere").c_str(), (m_dir / "Site/shared").c_str()), 0);
    TestHost host;
    ASSERT_EQ(restoreRun(m_stateA, host), RunOutcome::Stored);
    EXPECT_FALSE(pathExists(m_dir / "Site/shared")) << "the state had no such folder";
    EXPECT_EQ(readFile(m_dir / "elsewhere/top.txt"), "not the project's");
    EXPECT_EQ(readFile(m_dir / "elsewhere/sub/keep.txt"), "not the project's either");
}

TEST_F(RestoreTest, NamesWithTabsAndLineBreaksComeBack) {
    m_dir.write("Site/tab\there.txt", "tab");
    m_dir.write("Site/line\nbreak.txt", "lf");
    at(2010, 12, 3, 15, 35);
    TestHost first;
    first.answers.push_back(okWith("with odd names"));
    ASSERT_EQ(runOnce("Site", first, true), RunOutcome::Stored);
    const std::string withOddNames = m_lastArchive;
    removeFile(m_dir / "Site/tab\there.txt");
    m_dir.write("Site/line\nbreak.txt", "changed");
    at(2010, 12, 3, 15, 40);
    TestHost host;
    ASSERT_EQ(restoreRun(withOddNames, host), RunOutcome::Stored) << (host.messages.empty() ? "" : host.messages[0].text);
    EXPECT_EQ(readFile(m_dir / "Site/tab\there.txt"), "tab");
    EXPECT_EQ(readFile(m_dir / "Site/line\nbreak.txt"), "lf");
}

// Linux names may hold a backslash (no separator there) and bytes that are not UTF-8; both
// are stored as they are and come back exactly.
TEST_F(RestoreTest, NamesWithBackslashesAndNonUtf8BytesComeBack) {
    const std::string backslash = "Site/back\\slash\\name.txt", latin1 = "Site/caf\xe9/na\xefve.txt";
    m_dir.write(backslash, "backslash");
    m_dir.write(latin1, "latin-1");
    at(2010, 12, 3, 15, 35);
    TestHost first;
    first.answers = {okWith("with odd names"), OptionsChoice{}}; // Cancel should the check fail
    ASSERT_EQ(runOnce("Site", first, true), RunOutcome::Stored) << (first.messages.empty() ? "" : first.messages[0].text);
    const std::string withOddNames = m_lastArchive;
    {
        ZipArchive zip;
        zip.open(withOddNames);
        ASSERT_GE(zip.findFile(latin1), 0);
        EXPECT_EQ(zip.item(zip.findFile(latin1)).flags & 0x800, 0) << "not marked as UTF-8";
        EXPECT_GE(zip.findFile(backslash), 0);
        EXPECT_EQ(zip.findFile("Site/back/slash/name.txt"), -1);
    }
    removeFile(m_dir / backslash);
    m_dir.write(latin1, "changed");
    at(2010, 12, 3, 15, 40);
    TestHost host;
    ASSERT_EQ(restoreRun(withOddNames, host), RunOutcome::Stored) << (host.messages.empty() ? "" : host.messages[0].text);
    EXPECT_EQ(readFile(m_dir / backslash), "backslash");
    EXPECT_EQ(readFile(m_dir / latin1), "latin-1");
    EXPECT_FALSE(pathExists(m_dir / "Site/back")) << "the backslash made no folder";
}

// Folders keep their modes, and files and folders their setuid, setgid and sticky bits.
TEST_F(RestoreTest, FolderModesAndSpecialBitsComeBack) {
    const struct {
        const char* path;
        mode_t mode;
    } modes[] = {{"Site/docs", 02750}, {"Site/empty", 01777}, {"Site/run.sh", 04755}, {"Site", 0751}};
    m_dir.write("Site/docs/b.txt", "a change, so that there is a state to store");
    touch(m_dir / "Site/docs", kStateTime);
    for (const auto& m : modes)
        ASSERT_EQ(chmod((m_dir / m.path).c_str(), m.mode), 0);
    at(2010, 12, 3, 15, 35);
    TestHost first;
    first.answers.push_back(okWith("with modes"));
    ASSERT_EQ(runOnce("Site", first, true), RunOutcome::Stored);
    const std::string withModes = m_lastArchive;
    for (const auto& m : modes)
        chmod((m_dir / m.path).c_str(), S_ISDIR(statOf(m_dir / m.path).st_mode) ? 0755 : 0644);
    removeEmptyFolder(m_dir / "Site/empty");

    at(2010, 12, 3, 15, 40);
    TestHost host;
    ASSERT_EQ(restoreRun(withModes, host), RunOutcome::Stored) << (host.messages.empty() ? "" : host.messages[0].text);
    for (const auto& m : modes)
        EXPECT_EQ(statOf(m_dir / m.path).st_mode & 07777, m.mode) << m.path;
    EXPECT_NEAR(double(statOf(m_dir / "Site/docs").st_mtime), double(kStateTime), 2.0);
}

// Folder items as other tools and older versions wrote them: made by Unix without the folder
// attribute (found by the trailing "/"), and made by MS-DOS with 0x10 alone.
TEST_F(RestoreTest, FolderItemsOfOtherToolsGetTheirTimesAndModes) {
    const std::string foreign = m_dir / "Site/#tarnel/Site-101203.1535c.zip";
    {
        ZipArchive zip;
        zip.open(foreign);
        zip.addFolder("Site/", toDosDateTime(std::time_t(kStateTime)));
        zip.addFromMemory("Site/unix/", "", toDosDateTime(std::time_t(kStateTime)), 040700u << 16);
        zip.addFolder("Site/dos/", toDosDateTime(std::time_t(kStateTime)));
        zip.addFromMemory("Site/index.html", "from another tool", toDosDateTime(std::time_t(kStateTime)));
        zip.save();
    }
    TestHost host;
    ASSERT_EQ(restoreRun(foreign, host), RunOutcome::Stored) << (host.messages.empty() ? "" : host.messages[0].text);
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "from another tool");
    for (const char* folder : {"Site/unix", "Site/dos"}) {
        ASSERT_TRUE(existsAsFolder(m_dir / folder)) << folder;
        EXPECT_NEAR(double(statOf(m_dir / folder).st_mtime), double(kStateTime), 2.0) << folder;
    }
    EXPECT_EQ(statOf(m_dir / "Site/unix").st_mode & 07777, 0700u);
}
