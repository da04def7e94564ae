#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "EngineFixture.h"
#include "platform/FileSystem.h"
#include "restore/Recovery.h"
#include "restore/RestoreRequest.h"
#include "support/FailureText.h"
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
    RunOutcome restoreRun(const std::string& archive, TestHost& host, std::function<void()> extra = {},
                          const std::string& project = "Site") {
        host.onOptions = [&, archive, extra](const RunState& s) {
            if (host.optionsShown > 1) { // shown again after a failed check: Cancel
                host.answers.push_back(OptionsChoice{});
                return;
            }
            m_requested = host.engine->requestRestore(archive, "my words");
            host.answers.push_back(m_requested ? okWith(s.archiveComment) : OptionsChoice{});
            if (extra) extra();
        };
        return runOnce(project, host, true);
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

// A folder that appears after start-up where the state has a file would stop the extraction
// halfway: checked again after the present state is stored, the restore is refused before
// anything is deleted.
TEST_F(RestoreTest, ExtractionThatCouldNotFinishIsRefusedBeforeAnyDeletion) {
    removeFile(m_dir / "Site/docs/a.txt");
    m_dir.write("Site/index.html", "version two");
    TestHost host;
    EXPECT_EQ(restoreRun(m_stateA, host, [&] { m_dir.write("Site/docs/a.txt/blocker", "x"); }), RunOutcome::Failed);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text, "Kestrelpad message :\r\nThe project can't be restored from "
                                         "Site-101203.1530c.zip:\r\nthe folder " +
                                             (m_dir / "Site/docs/a.txt") +
                                             " holds what the restore does not remove, where the state has a "
                                             "file.\r\n\r\nNothing in the project was changed. Its present "
                                             "state is stored in the archive\r\n Site-101203.1540c.zip");
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version two");
    EXPECT_TRUE(existsAsFile(m_dir / "Site/#tarnel/Site-101203.1540c.zip"));
    EXPECT_FALSE(pathExists(m_dir / "Site/#tarnel/Site.restoring"));
    ASSERT_TRUE(m_lastFailure);
    EXPECT_EQ(m_lastFailure->kind, FailureKind::RestoreFailed) << "the store is kept, the run still failed";
}

// Storing the present state may take minutes. Whatever happens to the chosen archive in that
// time, only the very file the request checked is restored; otherwise nothing is deleted and
// the user learns where the present state is kept.
TEST_F(RestoreTest, ChosenArchiveDeletedOrReplacedWhileStoringDeletesNothing) {
    const std::string stateA = readFile(m_stateA);
    std::string foreign; // an archive of the same size whose item lands beside the project
    {
        ZipArchive zip;
        zip.open(m_dir / "foreign.zip");
        zip.addFromMemory("Other/x.txt", "lands beside the project", 0x3D834000u);
        zip.save();
        foreign = readFile(m_dir / "foreign.zip");
    }
    struct Case {
        const char* what;
        std::function<void()> change;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"deleted", [&] { removeFile(m_stateA); }, "the archive was deleted after it was chosen"},
        {"replaced", [&] { removeFile(m_stateA); m_dir.write("Site/#tarnel/Site-101203.1530c.zip", foreign); },
         "the archive was replaced after it was chosen"},
        {"rewritten in place", [&] { m_dir.write("Site/#tarnel/Site-101203.1530c.zip", stateA + "x"); },
         "the archive was replaced after it was chosen"},
    };
    int minute = 40;
    for (const Case& c : cases) {
        m_dir.write("Site/#tarnel/Site-101203.1530c.zip", stateA);
        m_dir.write("Site/index.html", "version two");
        at(2010, 12, 3, 15, minute);
        const std::string kept = "Site-101203.15" + std::to_string(minute++) + "c.zip";
        TestHost host;
        m_beforeRun = [&](Engine& e) { e.setAfterWriteForTesting(c.change); };
        EXPECT_EQ(restoreRun(m_stateA, host), RunOutcome::Failed) << c.what;
        ASSERT_TRUE(m_requested) << c.what;
        ASSERT_FALSE(host.messages.empty()) << c.what;
        EXPECT_EQ(host.messages.back().text, "Kestrelpad message :\r\nThe project can't be restored from "
                                             "Site-101203.1530c.zip:\r\n" + std::string(c.reason) +
                                                 ".\r\n\r\nNothing in the project was changed. Its present state "
                                                 "is stored in the archive\r\n " + kept) << c.what;
        EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version two") << c.what;
        EXPECT_EQ(readFile(m_dir / "Site/docs/a.txt"), "a") << c.what;
        EXPECT_FALSE(pathExists(m_dir / "Other")) << c.what;
        EXPECT_TRUE(existsAsFile(m_dir / ("Site/#tarnel/" + kept))) << c.what;
    }
}

// What the final check opened is what is extracted: removing the archive's name after that
// point no longer matters.
TEST_F(RestoreTest, ExtractionReadsTheArchiveTheFinalCheckOpened) {
    m_dir.write("Site/index.html", "version two");
    ASSERT_EQ(runOnce("Site"), RunOutcome::Stored); // m_lastState: the project as listed
    ZipArchive opened;
    opened.open(m_stateA);
    removeFile(m_stateA);
    EXPECT_EQ(failureText(recoverProject(m_lastState, opened, m_lastArchive)), "");
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version one");
}

// A program that opened a project file while the present state was stored still holds it:
// the restore is refused before anything is deleted.
TEST_F(RestoreTest, FileBusyWhenTheRestoreBeginsRefusesIt) {
    m_dir.write("Site/index.html", "version two");
    int fd = -1;
    TestHost host;
    m_beforeRun = [&](Engine& e) {
        e.setAfterWriteForTesting([&] { fd = open((m_dir / "Site/docs/a.txt").c_str(), O_RDONLY); });
    };
    EXPECT_EQ(restoreRun(m_stateA, host), RunOutcome::Failed);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text, "Kestrelpad message.\r\nSome files are busy by the another applications:"
                                         "\r\n\r\nSite/docs/a.txt\r\n\r\nClose these applications before "
                                         "restoring, please.");
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version two");
    EXPECT_EQ(readFile(m_dir / "Site/docs/a.txt"), "a");
    EXPECT_TRUE(existsAsFile(m_dir / "Site/#tarnel/Site-101203.1540c.zip")) << "the present state stays stored";
}

TEST_F(RestoreTest, WhatExtractionNeedsIsCheckedAtTheRequest) {
    // A file of the state is now a folder holding a FIFO, which no restore deletes.
    removeFile(m_dir / "Site/docs/a.txt");
    m_dir.mkdir("Site/docs/a.txt");
    ASSERT_EQ(mkfifo((m_dir / "Site/docs/a.txt/pipe").c_str(), 0644), 0);
    m_dir.write("Site/index.html", "version two");
    TestHost host;
    EXPECT_EQ(restoreRun(m_stateA, host), RunOutcome::Cancelled);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_NE(host.messages[0].text.find("the folder " + (m_dir / "Site/docs/a.txt") + " holds what"), std::string::npos)
        << host.messages[0].text;
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version two");
    EXPECT_EQ(archives("Site/#tarnel").size(), 1u) << "refused before the present state is stored";
    run("rm -r '" + (m_dir / "Site/docs/a.txt") + "'");

    // A folder of the state is now a FIFO; a name too long for the file system; no space.
    ASSERT_EQ(removeEmptyFolder(m_dir / "Site/empty"), true);
    ASSERT_EQ(mkfifo((m_dir / "Site/empty").c_str(), 0644), 0);
    EXPECT_NE(failureText(restoreBlocker(m_lastState, m_stateA, -1)).find("the file " + (m_dir / "Site/empty") + " stands where"),
              std::string::npos);
    removeFile(m_dir / "Site/empty");
    const std::string longName = m_dir / "Site/#tarnel/Site-101203.1536c.zip";
    {
        ZipArchive zip;
        zip.open(longName);
        zip.addFromMemory("Site/" + std::string(300, 'n'), "x", 0x3D834000u);
        zip.save();
    }
    EXPECT_NE(failureText(restoreBlocker(m_lastState, longName, -1)).find("is too long for this file system"), std::string::npos);
    EXPECT_EQ(failureText(restoreBlocker(m_lastState, m_stateA, -1)), "");
    EXPECT_NE(failureText(restoreBlocker(m_lastState, m_stateA, 0)).find("disk space"), std::string::npos)
        << "the state's files are more than the deleted files give back";
}

TEST_F(RestoreTest, CloseBeforeTheStoreRestoresNothingAndThinsNothing) {
    m_dir.write("Site/index.html", "precious new work");
    TestHost host;
    host.onOptions = [&](const RunState& s) {
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

TEST_F(RestoreTest, ArchiveWithItemsInAnArchiveFolderIsRefusedAndNeverWritesThere) {
    const std::string stored = readFile(m_stateA);
    for (const char* name : {"Site/#tarnel/Site-101203.1530c.zip", "Site/sub/#tarnel/sub-101203.1530c.zip",
                             "Site/#ARH/old.zip", "Site/#tarnel/repository/Site-101203.1530c-v.1.0.zip"}) {
        const std::string hostile = m_dir / "Site/#tarnel/Site-101203.1535c.zip";
        {
            ZipArchive zip;
            zip.open(hostile);
            zip.addFromMemory("Site/index.html", "hostile", 0x3D834000u);
            zip.addFromMemory(name, "overwrites a stored state", 0x3D834000u);
            zip.save();
        }
        TestHost host;
        EXPECT_EQ(restoreRun(hostile, host), RunOutcome::Cancelled) << name;
        ASSERT_FALSE(host.messages.empty()) << name;
        EXPECT_EQ(host.messages[0].text,
                  "Kestrelpad message :\r\nThe archive Site-101203.1535c.zip is corrupt.\r\nTry to restore another archive.");
        EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version one") << name;

        // Even an extraction that is handed such an archive leaves the archive folders alone.
        ASSERT_EQ(failureText(recoverProject(m_lastState, hostile)), "") << name;
        EXPECT_EQ(readFile(m_stateA), stored) << name;
        EXPECT_FALSE(pathExists(m_dir / "Site/sub/#tarnel")) << name;
        EXPECT_FALSE(pathExists(m_dir / "Site/#ARH")) << name;
        EXPECT_FALSE(pathExists(m_dir / "Site/#tarnel/repository")) << name;
        EXPECT_EQ(readFile(m_dir / "Site/index.html"), "hostile") << name;
        removeFile(hostile);
        m_dir.write("Site/index.html", "version one");
    }
}

TEST_F(RestoreTest, ProjectGivenThroughALinkIsRestoredInItsRealFolder) {
    ASSERT_EQ(symlink((m_dir / "Site").c_str(), (m_dir / "SiteLink").c_str()), 0);
    m_dir.write("Site/index.html", "version two");
    TestHost host;
    ASSERT_EQ(restoreRun(m_stateA, host, {}, "SiteLink"), RunOutcome::Stored)
        << (host.messages.empty() ? "" : host.messages[0].text);
    EXPECT_TRUE(isSymbolicLink(m_dir / "SiteLink")) << "the link stays";
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "version one");
    EXPECT_EQ(m_lastArchive, m_dir / "Site/#tarnel/Site-101203.1540c.zip");

    // A one-file project given as a link to its file.
    m_dir.write("work/notes.txt", "first");
    ASSERT_EQ(symlink((m_dir / "work/notes.txt").c_str(), (m_dir / "notes-link.txt").c_str()), 0);
    ASSERT_EQ(runOnce("notes-link.txt"), RunOutcome::Stored);
    EXPECT_EQ(m_lastArchive, m_dir / "work/#tarnel/notes.txt-101203.1540c.zip");
    m_dir.write("work/notes.txt", "second");
    at(2010, 12, 3, 15, 45);
    TestHost fileHost;
    fileHost.onOptions = [&](const RunState& s) {
        ASSERT_TRUE(fileHost.engine->requestRestore(m_dir / "work/#tarnel/notes.txt-101203.1540c.zip", ""));
        fileHost.answers.push_back(okWith(s.archiveComment));
    };
    ASSERT_EQ(runOnce("notes-link.txt", fileHost, true), RunOutcome::Stored);
    EXPECT_TRUE(isSymbolicLink(m_dir / "notes-link.txt"));
    EXPECT_EQ(readFile(m_dir / "work/notes.txt"), "first");
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
