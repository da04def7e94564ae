#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ProjectChoice.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace kp {
using test::TempDir;
namespace {

TEST(ProjectChoice, RemembersTheLastProjectAcrossStarts) {
    TempDir appData;
    EXPECT_EQ(readLastProject(appData.path()), ""); // nothing chosen yet
    const std::string odd = "/home/ann/my work/\xff-not-utf8/plan.odt";
    ASSERT_TRUE(rememberProject(appData.path(), odd));
    EXPECT_EQ(readLastProject(appData.path()), odd);
    ASSERT_TRUE(rememberProject(appData.path(), "/srv/Site"));
    EXPECT_EQ(readLastProject(appData.path()), "/srv/Site");
}

TEST(ProjectChoice, NeverRemembersOrReadsBackWhatIsNoProjectPath) {
    TempDir appData;
    for (const std::string& bad : std::vector<std::string>{"", "relative/Site", "/a\nb", std::string("/a\0b", 4)})
        EXPECT_FALSE(rememberProject(appData.path(), bad)) << bad;
    EXPECT_FALSE(rememberProject("", "/srv/Site")); // no settings folder known
    // A damaged or foreign file is no remembered project.
    const std::string file = lastProjectFilePath(appData.path());
    ASSERT_TRUE(makeFolders(folderPart(file)));
    for (const std::string& text : std::vector<std::string>{"Site\n", "/a\n/b\n", std::string(70000, '/')}) {
        ASSERT_TRUE(writeFileAtomically(file, text));
        EXPECT_EQ(readLastProject(appData.path()), "") << text.substr(0, 20);
    }
}

TEST(ProjectChoice, ChooserOpensWhereTheLastProjectLies) {
    TempDir tmp;
    const std::string home = tmp.path() + "/home";
    const std::string site = tmp.path() + "/work/Site";
    ASSERT_TRUE(makeFolders(home) && makeFolders(site));
    struct Case {
        const char* what;
        std::string last;
        ChooserStart expected;
    } cases[] = {
        {"nothing remembered", "", {home, ""}},
        {"the project is there", site, {tmp.path() + "/work", site}},
        {"a trailing slash", site + "/", {tmp.path() + "/work", site}},
        {"the project is gone", tmp.path() + "/work/Gone", {tmp.path() + "/work", ""}},
        {"its folders are gone", tmp.path() + "/gone/deeper/Site", {tmp.path(), ""}},
        {"the root", "/", {home, ""}},
        {"not a path", "Site", {home, ""}},
    };
    for (const Case& c : cases) {
        const ChooserStart start = chooserStart(c.last, home);
        EXPECT_EQ(start.folder, c.expected.folder) << c.what;
        EXPECT_EQ(start.selected, c.expected.selected) << c.what;
    }
}

} // namespace
} // namespace kp
