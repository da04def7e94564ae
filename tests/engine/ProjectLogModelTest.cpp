// Saving the edited project log back into the newest archive, and exporting it.
#include <gtest/gtest.h>

#include "engine/ProjectLogModel.h"
#include "platform/FileSystem.h"
#include "store/Layout.h"
#include "support/TempDir.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

TEST(ProjectLogModel, ExportWritesEachLineEndedByCrLf) {
    EXPECT_EQ(ProjectLogModel::exportText("a\n\nb"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(ProjectLogModel::exportText("a\n"), "a\r\n");
    EXPECT_EQ(ProjectLogModel::exportText(""), "");
    // The rule looks at the file's own name only.
    EXPECT_EQ(ProjectLogModel::exportFileName("/tmp/v1.txt.d/history"), "/tmp/v1.txt.d/history.txt");
}

TEST(ProjectLogModel, WithoutAnArchiveSaveKeepsTheTextForTheNextStore) {
    FixedClock clock(1291386600);
    RunState s;
    s.latestLogText = "old";
    ProjectLogModel m(RunEdits(s), clock);
    std::string error;
    EXPECT_TRUE(m.save("line 1\nline 2", error));
    EXPECT_EQ(s.latestLogText, "line 1\r\nline 2");
}

TEST(ProjectLogModel, AVanishedArchiveIsReportedNotMadeAnew) {
    TempDir dir;
    FixedClock clock(1291386600);
    RunState s;
    s.latestArchiveName = dir / "Site/#tarnel/Site-101203.1500c.zip";
    ProjectLogModel m(RunEdits(s), clock);
    std::string error;
    EXPECT_FALSE(m.save("edited", error));
    EXPECT_NE(error.find("Site-101203.1500c.zip"), std::string::npos) << error;
    EXPECT_FALSE(pathExists(s.latestArchiveName));
    EXPECT_EQ(s.latestLogText, "edited"); // the next store still carries the edit
}

// Saving replaces the newest archive, which start-up may still hold open to copy from later:
// on Windows no file can take the name of an open one, so the run lets go of it first.
TEST(ProjectLogModel, SavingLetsGoOfTheRunsReaderOfTheArchive) {
    TempDir dir;
    FixedClock clock(1291386600);
    RunState s;
    s.latestArchiveName = dir.mkdir("Site/#tarnel") + "/Site-101203.1500c.zip";
    {
        ZipArchive zip;
        zip.open(s.latestArchiveName);
        zip.addFromMemory(kProjectLogItem, "old", toDosDateTime(clock.now()));
        zip.save();
        s.primaryReader = zip.reader();
    }
    ProjectLogModel m(RunEdits(s), clock);
    std::string error;
    EXPECT_TRUE(m.save("edited", error)) << error;
    EXPECT_EQ(s.primaryReader, nullptr);
    ZipArchive saved;
    saved.open(s.latestArchiveName);
    EXPECT_EQ(saved.extractToString(kProjectLogItem), "edited");
}
