// The settings being edited on the Settings tab: which comment languages are offered,
// what Save writes and does, and what it does when it cannot write.
#include <gtest/gtest.h>

#include "engine/SettingsModel.h"
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "store/SettingsFile.h"
#include "support/TempDir.h"

using namespace kp;
using namespace kp::test;

namespace {

std::vector<std::string> layoutsOf(const std::vector<CommentLanguage>& list) {
    std::vector<std::string> out;
    for (const auto& l : list) out.push_back(l.layout);
    return out;
}

struct Fixture {
    TempDir dir;
    RunState s;
    Fixture() {
        s.appDataFolder = dir / "config/TarnelSoftware";
        s.archiveFolder = dir.mkdir("Site/#tarnel");
        s.userName = "alice";
    }
};

} // namespace

TEST(CommentLanguages, DesktopLayoutsBecomeLanguagesTheRunKeeps) {
    struct Case {
        std::vector<std::string> desktop;
        std::vector<std::string> expected;
    } cases[] = {
        {{}, {"00000409"}},
        {{"us"}, {"00000409"}},
        // Lists, variants and case; the same language once.
        {{"de(nodeadkeys),RU", "gb+intl", "de"}, {"00000407", "00000419", "00000809", "00000409"}},
        // French (0000040C) would be refused at every start: not offered. Unknown names neither.
        {{"fr,xx,", " it "}, {"00000410", "00000409"}},
    };
    for (const auto& c : cases) EXPECT_EQ(layoutsOf(commentLanguages(c.desktop)), c.expected);
    EXPECT_EQ(commentLanguages({"de"})[0].name, "German (Germany)");
}

TEST(CommentLanguages, LoadedKeyboardLayoutsBecomeLanguagesTheRunKeeps) {
    const auto languages = commentLanguagesOfLayouts(
        {{"00000407", "Deutsch (Deutschland)"}, {"0000040c", "French"}, {"00000419", ""}, {"00000407", "again"},
         {"00000465", ""}});
    // French would be refused at every start; a language the table lacks keeps its number.
    EXPECT_EQ(layoutsOf(languages), (std::vector<std::string>{"00000407", "00000419", "00000465", "00000409"}));
    EXPECT_EQ(languages[0].name, "Deutsch (Deutschland)");
    EXPECT_EQ(languages[1].name, "Russian (Russia)");
    EXPECT_EQ(languages[2].name, "Layout 00000465");
    EXPECT_EQ(layoutsOf(commentLanguagesOfLayouts({{"00000409", "English"}})), std::vector<std::string>{"00000409"});
}

TEST(SettingsModel, ASavedLanguageTheDesktopLacksStaysShown) {
    Fixture f;
    f.s.values.commentLayout = "00000419";
    SettingsModel m(RunEdits(f.s), commentLanguages({"us"}));
    const auto items = m.languageItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[std::size_t(m.selectedLanguage())], "    Russian (Russia)");
    EXPECT_EQ(m.changeMarks(), std::string(10, ' '));
    m.chooseLanguage(0);
    EXPECT_EQ(m.commentLayoutEdited(), "00000409");
    EXPECT_EQ(m.changeMarks(), "s         ");
}

TEST(SettingsModel, SaveTakesTheValuesIntoTheRunAndWritesThemWithoutTheStatus) {
    Fixture f;
    f.s.values.projectStatus = 2;
    SettingsModel m(RunEdits(f.s), commentLanguages({"us", "de"}));
    m.step(SettingsModel::Standard, Step::Down);
    m.step(SettingsModel::Capacity, Step::Down);
    m.setShowArchiveFolder(false);
    m.chooseLanguage(1);
    EXPECT_EQ(m.changeMarks(), "ss s  s   ");
    EXPECT_EQ(m.displayText(SettingsModel::Standard), "   17");
    EXPECT_EQ(m.displayText(SettingsModel::Capacity), " 4");

    const SettingsSaveResult r = m.save();
    EXPECT_TRUE(r.written()) << r.failure->text;
    EXPECT_FALSE(r.cardVisibility);
    EXPECT_FALSE(m.saveEnabled());
    EXPECT_EQ(f.s.values.trainLength[0], 17);
    EXPECT_EQ(f.s.values.capacityFactor, 4);
    const std::string ini = readFile(settingsFilePath(f.s.appDataFolder));
    EXPECT_NE(ini.find("\r\nUserPreferences= cL:00000407,hv:17\\19\\20,mnp:4,ws:1,ds:0\r\n"), std::string::npos) << ini;
    // ds:0 hides the archive folder from file managers at once.
    EXPECT_EQ(readFile(f.dir / "Site/.hidden"), "#tarnel\n");
}

TEST(SettingsModel, ShowWindowSwitchesTheCardAndMistakenSettingsKeepSaveUsable) {
    Fixture f;
    f.s.settingsMistaken = true;
    SettingsModel m(RunEdits(f.s), {});
    EXPECT_TRUE(m.saveEnabled());
    m.setShowWindow(false);
    SettingsSaveResult r = m.save();
    EXPECT_EQ(r.visibilityMessage, kShowWindowUnchecked);
    EXPECT_EQ(r.cardVisibility, CardVisibility::FadeOut);
    EXPECT_TRUE(r.hideMessageLine);
    EXPECT_FALSE(f.s.settingsMistaken);
    EXPECT_FALSE(m.saveEnabled());

    m.setShowWindow(true);
    EXPECT_TRUE(m.saveEnabled());
    m.setShowWindow(false);
    EXPECT_FALSE(m.saveEnabled()); // changed back: nothing differs
    m.setShowWindow(true);
    r = m.save();
    EXPECT_TRUE(r.visibilityMessage.empty());
    EXPECT_EQ(r.cardVisibility, CardVisibility::Shown);
    EXPECT_FALSE(r.hideMessageLine);
}

TEST(SettingsModel, AFailedWriteIsReportedAndSaveStaysUsable) {
    for (const bool noHome : {false, true}) {
        Fixture f;
        if (noHome) f.s.appDataFolder.clear(); // never written at the file system's root
        else f.dir.write("config/TarnelSoftware", "a file where the settings folder belongs");
        SettingsModel m(RunEdits(f.s), {});
        m.step(SettingsModel::Standard, Step::Down);
        const SettingsSaveResult r = m.save();
        ASSERT_FALSE(r.written());
        EXPECT_EQ(r.failure->kind, noHome ? FailureKind::Refused : FailureKind::WriteFailed);
        EXPECT_FALSE(r.failure->text.empty());
        EXPECT_TRUE(m.saveEnabled());
        EXPECT_FALSE(pathExists("/Kestrelpad/setting.ini"));
    }
}

// A setting.ini the run could not read may still hold the user's values: the first Save says
// that it would replace the file, and only a second one does.
TEST(SettingsModel, AFileThatCouldNotBeReadIsReplacedOnlyByASecondSave) {
    Fixture f;
    const std::string path = f.dir.write("config/TarnelSoftware/Kestrelpad/setting.ini", "[Setting]\nUserPreferences=mnp:2\n");
    ASSERT_EQ(truncate(path.c_str(), off_t(IniFile::kMaxSize) + 1), 0);
    f.s.settingsFileProblem = "it is over 16 MiB";
    SettingsModel m(RunEdits(f.s), {});
    m.step(SettingsModel::Standard, Step::Down);
    SettingsSaveResult r = m.save();
    ASSERT_FALSE(r.written());
    EXPECT_EQ(r.failure->kind, FailureKind::Refused);
    EXPECT_EQ(r.failure->text, "The settings file\r\n\r\n " + path +
                           "\r\n\r\ncan't be read (it is over 16 MiB), so saving would replace what it holds.\r\n"
                           "Press Save again to replace it.");
    EXPECT_EQ(statPath(path)->size, std::int64_t(IniFile::kMaxSize) + 1) << "untouched";
    EXPECT_TRUE(m.saveEnabled());

    r = m.save();
    EXPECT_TRUE(r.written()) << r.failure->text;
    EXPECT_TRUE(r.hideMessageLine);
    EXPECT_EQ(f.s.settingsFileProblem, "");
    EXPECT_EQ(readUserPreferences(path).value(), "cL:00000409,hv:17\\19\\20,mnp:5,ws:1,ds:1");
}

TEST(SettingsModel, TheHiddenMessageAnswersOnlyAtItsPositions) {
    Fixture f;
    f.s.values.trainLength[0] = 3;
    f.s.values.trainLength[1] = 5;
    f.s.values.trainLength[2] = 8;
    SettingsModel m(RunEdits(f.s), {});
    EXPECT_FALSE(m.hiddenMessage());
    m.step(SettingsModel::Valuable, Step::Down);
    ASSERT_TRUE(m.hiddenMessage());
    EXPECT_NE(m.hiddenMessage()->find("Thank you"), std::string::npos);
}
