// The restore's checks of the chosen archive, made when the restore is asked for and again
// right before the first project file is deleted: what the archive alone tells must stop a
// restore that could not finish, before anything is deleted.
#include <gtest/gtest.h>

#include <cstdio>

#include "restore/RestoreRequest.h"
#include "support/FailureText.h"
#include "store/Records.h"
#include "store/Trains.h"
#include "support/TempDir.h"
#include "zip/ZipFixtures.h"

using namespace kp;
using namespace kp::test;

namespace {

class RestoreChecksTest : public ::testing::Test {
protected:
    RestoreChecksTest() {
        m_dir.mkdir("Site/#tarnel");
        m_project.projectKind = ProjectKind::Folder;
        m_project.projectPath = m_dir.path() + "/";
        m_project.projectBaseName = "Site";
        m_project.archiveFolder = m_dir / "Site/#tarnel";
    }

    std::string put(const std::string& tail, const std::vector<RawItem>& items) {
        const std::string path = m_project.archiveFolder + "/Site" + tail;
        const RawZip zip = buildZip(items);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(zip.bytes.data(), 1, zip.bytes.size(), f);
        std::fclose(f);
        m_project.archives = FindArchives(m_project.archiveFolder, kRepositoryName, "Site", FixedClock(1294000000));
        return path;
    }

    TempDir m_dir;
    Project m_project;
};

} // namespace

TEST_F(RestoreChecksTest, WhatTheArchiveAloneTellsBlocksTheRestore) {
    ProjectSetFields relative;
    relative.projectName = "Site";
    relative.archiveName = "Site-101203.1532c.zip";
    relative.kind = ArchiveKind::Relative;
    relative.primaryArchive = "Site-101203.1530c.zip";
    const struct {
        const char* tail;
        std::vector<RawItem> items;
        const char* says;
    } cases[] = {
        {"-101203.1530c.zip", {item("Site/a.txt", "a")}, ""},
        {"-101203.1531c.zip",
         {item("Site/a", "file"), item("Site/a/b.txt", "b")},
         "Site/a is a file of the state where its other items need a folder"},
        {"-101203.1532c.zip",
         {item("Site/b.txt", "b"), item("_kpad_/project.set", ComposeProjectSet(relative))},
         "the archive Site-101203.1532c.zip is named as a full state, but its record says it holds only the "
         "changes since Site-101203.1530c.zip"},
        {"-101203.1533c.zip", {item("Site/./b.txt", "b")}, "empty or \".\" part"},
    };
    for (const auto& c : cases) {
        const std::string archive = put(c.tail, c.items);
        const std::string blocker = failureText(restoreBlocker(m_project, archive, -1));
        if (*c.says)
            EXPECT_NE(blocker.find(c.says), std::string::npos) << c.tail << ": " << blocker;
        else
            EXPECT_EQ(blocker, "") << c.tail;
    }
}
