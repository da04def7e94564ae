// The Tools tab's two windows over a real stored state: "Show changes…" (rows, summary,
// filter) and "Copy files out…" (rows, filter, when Copy may be pressed, the copy's words).
#include <gtest/gtest.h>

#include "engine/ChangesModel.h"
#include "engine/CopyOutModel.h"
#include "platform/DosTime.h"
#include "platform/FileSystem.h"
#include "store/Records.h"
#include "store/Trains.h"
#include "support/TempDir.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

constexpr std::time_t kBase = 1291386600; // 2010-12-03 14:30 UTC

class StateToolsModelTest : public ::testing::Test {
protected:
    StateToolsModelTest() {
        m_project.projectKind = ProjectKind::Folder;
        m_project.projectPath = m_dir.path() + "/";
        m_project.projectBaseName = "Site";
        m_project.archiveFolder = m_dir / "Site/#tarnel";
        // Stored: index.html, docs/a.txt, docs/b.TXT. Now: index.html longer, a.txt gone, new.txt.
        m_dir.mkdir("Site/#tarnel");
        m_state = m_project.archiveFolder + "/Site-101203.1500c.zip";
        ProjectSetFields fields;
        fields.projectName = "Site";
        fields.archiveName = "Site-101203.1500c.zip";
        ZipArchive zip;
        zip.open(m_state);
        zip.addFolder("Site/", toDosDateTime(kBase));
        zip.addFolder("Site/docs/", toDosDateTime(kBase));
        zip.addFromMemory("Site/index.html", "<p>hello</p>", toDosDateTime(kBase));
        zip.addFromMemory("Site/docs/a.txt", "a", toDosDateTime(kBase));
        zip.addFromMemory("Site/docs/b.TXT", "bb", toDosDateTime(kBase));
        zip.addFolder("_kpad_/", toDosDateTime(kBase));
        zip.addFromMemory("_kpad_/project.set", ComposeProjectSet(fields), toDosDateTime(kBase));
        zip.save();
        m_project.archives = FindArchives(m_project.archiveFolder, kRepositoryName, "Site", FixedClock(kBase + 86400));
        touch(m_dir.write("Site/index.html", "<p>changed, and longer</p>"), kBase + 600);
        touch(m_dir.write("Site/docs/b.TXT", "bb"), kBase);
        touch(m_dir.write("Site/new.txt", "new"), kBase);
    }

    TempDir m_dir;
    Project m_project;
    std::string m_state;
};

} // namespace

TEST_F(StateToolsModelTest, ChangesShowEveryKindTheirSummaryAndTheFilter) {
    ChangesModel m(m_project, m_state);
    EXPECT_EQ(m.caption(), "Changes since Site-101203.1500c.zip");
    m.load();
    std::vector<std::string> rows;
    for (const ChangeRow& r : m.rows()) rows.push_back(r.change + " " + r.path + " " + r.size);
    EXPECT_EQ(rows, (std::vector<std::string>{"deleted Site/docs/a.txt 1", "modified Site/index.html 12 \u2192 26",
                                              "added Site/new.txt 3"}));
    EXPECT_EQ(m.summaryText(), "1 added, 1 deleted, 1 modified");

    struct Case {
        const char* filter;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"", {"Site/docs/a.txt", "Site/index.html", "Site/new.txt"}},
        {"INDEX", {"Site/index.html"}},                    // a part of the path, any case
        {"Site/*.txt", {"Site/docs/a.txt", "Site/new.txt"}}, // a pattern: * crosses folders
        {"docs/?.txt", {"Site/docs/a.txt"}},               // without the project's name in front
        {"nothing", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> kept;
        for (const ChangeRow& r : m.rows())
            if (m.rowShown(r, c.filter)) kept.push_back(r.path);
        EXPECT_EQ(kept, c.kept) << c.filter;
    }
}

TEST_F(StateToolsModelTest, AnUnreadableStateIsTheSummaryAndAnUnchangedProjectSaysSo) {
    ChangesModel gone(m_project, m_project.archiveFolder + "/Site-101203.1400c.zip");
    gone.load();
    EXPECT_TRUE(gone.rows().empty());
    EXPECT_FALSE(gone.summaryText().empty());
    EXPECT_EQ(gone.summaryText().find("added"), std::string::npos) << gone.summaryText();

    touch(m_dir.write("Site/index.html", "<p>hello</p>"), kBase);
    touch(m_dir.write("Site/docs/a.txt", "a"), kBase);
    removeFile(m_dir / "Site/new.txt");
    ChangesModel same(m_project, m_state);
    same.load();
    EXPECT_EQ(same.summaryText(), "The project is the same as this state.");
}

TEST_F(StateToolsModelTest, CopyOutOffersFilesCopiesTheChosenOnesAndNeverReplacesUnasked) {
    CopyOutModel m(m_project, m_state);
    EXPECT_EQ(m.caption(), "Copy files out of Site-101203.1500c.zip");
    ASSERT_TRUE(m.load()) << m.loadError();
    std::vector<std::string> rows;
    for (const CopyRow& r : m.rows()) rows.push_back(r.path + " " + r.size);
    EXPECT_EQ(rows, (std::vector<std::string>{"Site/docs/a.txt 1", "Site/docs/b.TXT 2", "Site/index.html 12"}));
    EXPECT_TRUE(CopyOutModel::rowShown(m.rows()[1], "b.txt"));
    EXPECT_FALSE(CopyOutModel::rowShown(m.rows()[1], "*.txt")); // no patterns here: plain text
    EXPECT_TRUE(CopyOutModel::rowShown(m.rows()[1], ""));

    EXPECT_FALSE(CopyOutModel::copyEnabled("", 1));
    EXPECT_FALSE(CopyOutModel::copyEnabled("  ", 1));
    EXPECT_FALSE(CopyOutModel::copyEnabled("/out", 0));
    EXPECT_TRUE(CopyOutModel::copyEnabled("/out", 1));

    const std::string out = m_dir / "out";
    const CopyResult copied = m.copy({"Site/index.html"}, " " + out + " ", false);
    ASSERT_TRUE(copied.ok()) << copied.errorText();
    EXPECT_EQ(readFile(out + "/Site/index.html"), "<p>hello</p>");
    EXPECT_FALSE(pathExists(out + "/Site/docs"));
    EXPECT_EQ(CopyOutModel::copiedText(copied, out), "1 files copied to " + out);

    m_dir.write("out/Site/index.html", "kept");
    const CopyResult refused = m.copy({"Site/index.html"}, out, false);
    EXPECT_EQ(readFile(out + "/Site/index.html"), "kept");
    ASSERT_EQ(refused.existing.size(), 1u);
    EXPECT_EQ(CopyOutModel::existingText(refused.existing),
              "These files exist already and were not replaced:\n\n" + refused.existing[0] +
                  "\n\nTick \"Replace files that exist\" to replace them.");
    EXPECT_TRUE(m.copy({"Site/index.html"}, out, true).ok());
    EXPECT_EQ(readFile(out + "/Site/index.html"), "<p>hello</p>");

    // Nothing chosen never means the whole state.
    EXPECT_FALSE(m.copy({}, m_dir / "all", false).ok());
    EXPECT_FALSE(pathExists(m_dir / "all"));
}
