// The options window's rules, decided without a window: what its message line says and
// which controls may be used when it becomes active, the countdown, the status choice.
#include <gtest/gtest.h>

#include "engine/OptionsModel.h"

namespace kp {
namespace {

TEST(OptionsModel, ActivationByTheRunsSituation) {
    const struct {
        const char* name;
        bool canWrite, timeRepeated, statusRequested, settingsMistaken;
        const char* line; // empty: the line is hidden; "-": left as the countdown writes it
        bool okEnabled, countdown, focusStatus;
    } cases[] = {
        {"plain", true, false, false, false, "", true, false, false},
        {"no write privilege wins", false, true, true, true, "* * *  There is no write privilege  * * *", false, false, false},
        {"repeated minute", true, true, true, false, "-", false, true, false},
        {"status requested", true, false, true, false, "* * *  Set project status, please   * * *", true, false, true},
        {"mistaken settings stay", true, false, false, true,
         "* * *  Some Settings are mistaken. Please set them again.  * * *", true, false, false},
    };
    for (const auto& c : cases) {
        RunState s;
        s.canWrite = c.canWrite;
        s.timeRepeated = c.timeRepeated;
        s.statusRequested = c.statusRequested;
        s.settingsMistaken = c.settingsMistaken;
        FixedClock clock{0};
        const Activation a = OptionsModel(RunEdits(s), clock).activate();
        if (std::string(c.line) == "-") {
            EXPECT_FALSE(a.lineChanged) << c.name;
        } else {
            EXPECT_EQ(a.line.visible ? a.line.text : "", c.line) << c.name;
        }
        EXPECT_EQ(a.okEnabled, c.okEnabled) << c.name;
        EXPECT_EQ(a.recoveryEnabled, c.okEnabled) << c.name;
        EXPECT_EQ(a.countdown, c.countdown) << c.name;
        EXPECT_EQ(a.focusStatus, c.focusStatus) << c.name;
    }
}

TEST(OptionsModel, CountdownEndsAtTheNextMinute) {
    RunState s;
    s.timeRepeated = true;
    FixedClock clock{fromLocalTime({2010, 12, 3, 15, 30, 30})};
    OptionsModel model(RunEdits(s), clock);
    CountdownTick t = model.countdownTick();
    EXPECT_EQ(t.line.text, "* * *  Archive time is repeated. Wait for 30  sec  * * *");
    EXPECT_FALSE(t.finished);
    clock.set(fromLocalTime({2010, 12, 3, 15, 31, 0}));
    t = model.countdownTick();
    EXPECT_TRUE(t.finished);
    EXPECT_FALSE(model.activate().countdown) << "a later activation lets OK be used";
}

TEST(OptionsModel, DefaultStatusWarnsButKeepsTheRequest) {
    RunState s;
    s.statusRequested = true;
    FixedClock clock{0};
    OptionsModel model(RunEdits(s), clock);
    EXPECT_TRUE(model.chooseStatus(0).visible);
    EXPECT_TRUE(s.statusRequested);
    EXPECT_FALSE(model.chooseStatus(3).visible);
    EXPECT_FALSE(s.statusRequested);
    EXPECT_EQ(s.values.projectStatus, 3);
}

TEST(OptionsModel, OkProblemNamesTheLowestWrongPart) {
    OptionsChoice c;
    c.versionPart1 = "300";
    c.versionPart2 = "x";
    c.versionPart3 = "rc 1";
    EXPECT_EQ(OptionsModel::okProblem(c), "Check value for part 1 of version\r\nIt must be in 0..100");
    c.versionPart1 = "007";
    c.versionPart2 = "100";
    c.versionPart3 = "rc_1";
    EXPECT_EQ(OptionsModel::okProblem(c), "");
    c.versionPart1 = "0007"; // longer than its edit: typed for kpad
    EXPECT_EQ(OptionsModel::okProblem(c), "Check value for part 1 of version\r\nIt must be in 0..100");
    c.versionPart1 = "1";
    c.versionPart3 = std::string(21, 'x');
    EXPECT_EQ(OptionsModel::okProblem(c), "Check value for part 3 of version\r\nIt must be at most 20 characters");
    c.versionPart3 = std::string(20, 'x');
    EXPECT_EQ(OptionsModel::okProblem(c), "");
}

TEST(OptionsModel, CommentsAreStoredWithCrLfWhateverTheBoxJoinsLinesBy) {
    EXPECT_EQ(OptionsModel::storedComment("one\ntwo\n"), "one\r\ntwo\r\n");      // Qt's box
    EXPECT_EQ(OptionsModel::storedComment("one\r\ntwo"), "one\r\ntwo");           // the Win32 edit
    EXPECT_EQ(OptionsModel::shownComment("one\r\ntwo"), "one\ntwo");
}

TEST(OptionsModel, UntickedNewVersionGoesBackToTheRunsVersionNotTheStartUpOne) {
    RunState s;
    s.archives.lastVersion = "1.4.beta-with-a-very-long-third-part";
    FixedClock clock{0};
    OptionsModel model(RunEdits(s), clock);
    const std::vector<std::string> lastVersion{"1", "4", "beta-with-a-very-lon"}; // as the edits hold it
    EXPECT_EQ(model.takeLastVersion(), lastVersion);
    EXPECT_EQ(model.versionParts(), lastVersion);
    // An OK accepted with version 2.0 makes them the run's parts, as the engine does.
    s.versionPart1 = "2";
    s.versionPart2 = "0";
    s.versionPart3 = "";
    EXPECT_EQ(model.versionParts(), (std::vector<std::string>{"2", "0", ""}));
    EXPECT_TRUE(OptionsModel::versionRow(false).resetParts);
    // A window opened again (the Win32 dialog is made at each opening) keeps the run's parts.
    EXPECT_EQ(model.takeLastVersion(), (std::vector<std::string>{"2", "0", ""}));
}

} // namespace
} // namespace kp
