#include <gtest/gtest.h>

#include "engine/StatesModel.h"
#include "support/TempDir.h"
#include "zip/ZipArchive.h"

using namespace kp;
using kp::test::TempDir;

namespace {

RunState threeStates() {
    RunState s;
    s.archives.storedStates = {"/p/Site/#tarnel/Site-101203.1500c.zip", "/p/Site/#tarnel/Site-101203.1510c.zip",
                               "/p/Site/#tarnel/Site-101203.1520c.zip"};
    s.archives.enclosingStates = {"/p/#tarnel/p-101203.1400c.zip", "/p/Site/#tarnel/Site-101203.1500c.zip",
                                  "/p/Site/#tarnel/Site-101203.1510c.zip", "/p/Site/#tarnel/Site-101203.1520c.zip"};
    return s;
}

} // namespace

TEST(StatesModel, ListsNewestFirstAndMovesWithinTheList) {
    const RunState s = threeStates();
    const StatesModel m(s);
    EXPECT_EQ(m.items(), (std::vector<std::string>{"Site-101203.1520c.zip", "Site-101203.1510c.zip",
                                                   "Site-101203.1500c.zip"}));
    EXPECT_EQ(m.countText(), "3");
    EXPECT_EQ(m.view(0).archive, s.archives.storedStates[2]);
    EXPECT_EQ(m.view(0).position, "1");
    EXPECT_EQ(m.view(2).archive, s.archives.storedStates[0]);

    struct Case {
        int row;
        ListKey key;
        int want;
    };
    for (const Case c : {Case{0, ListKey::Down, 1}, Case{1, ListKey::Down, 2}, Case{2, ListKey::Down, 2},
                         Case{0, ListKey::Up, 0}, Case{2, ListKey::Up, 1}, Case{1, ListKey::Other, 1}})
        EXPECT_EQ(m.rowAfterKey(c.row, c.key), c.want) << c.row << " " << int(c.key);
    EXPECT_EQ(m.rowForPress(-1), 2) << "below the last line: the oldest";
    EXPECT_EQ(m.rowForPress(1), 1);
}

TEST(StatesModel, EmptyListShowsThePlaceholderAndCannotBeArmed) {
    const RunState s;
    const StatesModel m(s);
    EXPECT_EQ(m.items(), std::vector<std::string>{"There are no comment files"});
    EXPECT_EQ(m.countText(), "0");
    EXPECT_EQ(m.view(0).position, "0");
    EXPECT_EQ(m.view(0).archive, "");
    EXPECT_EQ(m.rowAfterKey(0, ListKey::Down), 0);
    EXPECT_EQ(m.rowForPress(-1), 0);
    EXPECT_EQ(m.openAction(0).kind, OpenAction::Kind::Nothing);
    EXPECT_FALSE(m.recoveryAllowed(true));
    EXPECT_FALSE(m.arm(true, true).checked);
    EXPECT_EQ(m.chosenForRestore(0), "");
}

TEST(StatesModel, FolderIsShortenedBeyondSixtyCharactersWithTheWholeOneAsHint) {
    for (const std::size_t length : {59u, 60u, 61u, 90u}) {
        // A folder of exactly `length` characters, its last one the "/".
        const std::string folder = "/" + std::string(length - 2, 'x') + "/";
        RunState s;
        s.archives.storedStates = {folder + "Site-101203.1500c.zip"};
        const StateView v = StatesModel(s).view(0);
        if (length <= 60) {
            EXPECT_EQ(v.folderText, folder) << length;
            EXPECT_EQ(v.folderHint, "") << length;
        } else {
            EXPECT_EQ(v.folderText, folder.substr(0, 57) + "...") << length;
            EXPECT_EQ(v.folderHint, folder) << length;
        }
    }
}

TEST(StatesModel, ArmingNeedsTheProjectsOwnStatesAndTheWindowsConsent) {
    const RunState s = threeStates();
    StatesModel m(s);
    const Arming armed = m.arm(true, true);
    EXPECT_TRUE(armed.checked && armed.replaceEnabled);
    EXPECT_FALSE(armed.commentEnabled || armed.focusList);
    const Arming unticked = m.arm(false, true);
    EXPECT_FALSE(unticked.checked || unticked.replaceEnabled);
    EXPECT_TRUE(unticked.commentEnabled && unticked.focusList);
    EXPECT_FALSE(m.arm(true, false).checked) << "no write privilege, or the minute is repeated";
    EXPECT_EQ(m.chosenForRestore(1), s.archives.storedStates[1]);

    // The widened list has other rows: row 0 would otherwise name the newest state of the
    // project while the user chose one of an enclosing folder.
    m.showEnclosing(true);
    EXPECT_EQ(m.countText(), "4");
    EXPECT_EQ(m.items().back(), "p-101203.1400c.zip");
    EXPECT_FALSE(m.recoveryAllowed(true));
    EXPECT_FALSE(m.arm(true, true).checked);
    EXPECT_EQ(m.chosenForRestore(3), "");
    m.showEnclosing(false);
    EXPECT_TRUE(m.recoveryAllowed(true));
}

TEST(StatesModel, CommentIsReadOrItsAbsenceAndDamageReported) {
    TempDir t;
    const std::string good = t / "Site-101203.1500c.zip";
    {
        ZipArchive zip;
        zip.open(good);
        zip.addFromMemory("Site/a.txt", "a", 0x3D834000u);
        zip.setComment("first line\r\nsecond line");
        zip.save();
    }
    const StateComment read = StatesModel::readComment(good);
    EXPECT_EQ(read.status, StateComment::Status::Read);
    EXPECT_EQ(read.text, "first line\nsecond line");

    EXPECT_EQ(StatesModel::readComment(t / "gone.zip").status, StateComment::Status::Missing);

    // An end record with a 22-byte comment that is itself an end record: either could be
    // the real one, so neither is believed.
    const std::string end = std::string("PK\x05\x06", 4) + std::string(16, '\0');
    const std::string imitation = end + std::string("\x16\0", 2) + end + std::string(2, '\0');
    for (const std::string& bytes : {std::string("not an archive at all"), std::string("PK"), imitation}) {
        const StateComment damaged = StatesModel::readComment(t.write("bad.zip", bytes));
        ASSERT_EQ(damaged.status, StateComment::Status::Unreadable) << bytes.size();
        EXPECT_NE(damaged.failure->text.find("bad.zip"), std::string::npos) << damaged.failure->text;
    }
    const StateComment empty = StatesModel::readComment(t.write("empty.zip", end + std::string(2, '\0')));
    EXPECT_EQ(empty.status, StateComment::Status::Read);
    EXPECT_EQ(empty.text, "");
}

TEST(StatesModel, DoubleClickOpensAnExistingArchiveOnly) {
    TempDir t;
    RunState s;
    s.archives.storedStates = {t.write("Site-101203.1500c.zip", "x"), t / "Site-101203.1510c.zip"};
    const StatesModel m(s);
    EXPECT_EQ(m.openAction(0).kind, OpenAction::Kind::Missing);
    EXPECT_EQ(m.openAction(1).kind, OpenAction::Kind::Open);
    EXPECT_EQ(m.openAction(1).archive, s.archives.storedStates[0]);
}
