#include <gtest/gtest.h>

#include "engine/EntryChecks.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::TempDir;

namespace {
const std::string kAbsent = "The correct parameter is absent.  ";
const std::string kArchiveBlocked =
    " The archive folder \" #tarnel \" can't be created \r\n     because the file \" #tarnel \" exists already.";
const std::string kRepoBlocked =
    "  The folder \" #tarnel/repository \" can't be created \r\n because the file \" #tarnel/repository \" "
    "exists already.";
} // namespace

TEST(EntryChecks, RefusesMissingRelativeAndEmptyParameters) {
    TempDir t;
    for (const std::string& p : std::vector<std::string>{"", "relative/path", t / "nothing-here", "Site"}) {
        const EntryCheck c = checkEntry(p);
        EXPECT_EQ(c.warnings, std::vector<std::string>{kAbsent}) << p;
    }
}

TEST(EntryChecks, ProtectedNameIsShownLowerCased) {
    TempDir t;
    for (const std::string name : {"_kpad_", "_KPAD_", "_Kpad_"}) {
        const std::string p = t.mkdir(name);
        EXPECT_EQ(checkEntry(p).warnings, std::vector<std::string>{"\" _kpad_ \"  is a protected name. "});
    }
}

TEST(EntryChecks, BlockedArchiveAndRepositoryFolders) {
    struct Case {
        const char* what;
        std::vector<std::string> files; // relative to the temp folder
        std::string param;              // relative to the temp folder
        std::vector<std::string> want;
    };
    const std::vector<Case> cases = {
        {"file beside a file project", {"notes.txt", "#tarnel"}, "notes.txt", {kArchiveBlocked}},
        {"file inside a folder project", {"Site/a.txt", "Site/#tarnel"}, "Site", {kArchiveBlocked}},
        {"repository file", {"Site/a.txt", "Site/#tarnel/repository"}, "Site", {kRepoBlocked}},
        {"repository beside a file", {"n.txt", "#tarnel/repository"}, "n.txt", {kRepoBlocked}},
        {"all clear", {"Site/a.txt"}, "Site", {}},
        {"trailing slash names the same project", {"Site/a.txt", "Site/#tarnel"}, "Site/", {kArchiveBlocked}},
    };
    for (const auto& c : cases) {
        TempDir t;
        for (const auto& f : c.files) t.write(f, "x");
        const EntryCheck check = checkEntry(t / c.param);
        EXPECT_EQ(check.warnings, c.want) << c.what;
    }
}

TEST(EntryChecks, ArchiveFolderAsParameterPassesAndTrailingSlashIsDropped) {
    TempDir t;
    t.write("Site/#tarnel/x", "");
    const EntryCheck c = checkEntry(t / "Site/#tarnel/");
    EXPECT_TRUE(c.ok());
    EXPECT_TRUE(c.paramIsFolder);
    EXPECT_EQ(c.param, t / "Site/#tarnel");
    EXPECT_EQ(c.paramName, "#tarnel");

    t.mkdir("Site/sub");
    for (const std::string& p : {t / "Site/.", t / "Site/sub/..", t / "Site//sub/../"})
        EXPECT_EQ(checkEntry(p).param, t / "Site") << p;
}
