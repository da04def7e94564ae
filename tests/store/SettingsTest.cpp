#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "store/Settings.h"
#include "store/SettingsFile.h"
#include "support/TempDir.h"

using namespace kp;

TEST(SettingsMerge, ParsesItemsQuotesAndQueries) {
    NameValueList list('=');
    SettingsMerge(list, kDefaultSettingsString, "");
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"cL:=00000409", "ws:=1", "ds:=1", "hv:=18\\19\\20", "mnp:=5",
                                                      "ps:=0"}));
    EXPECT_EQ(SettingsMerge(list, "hv:", "\\"), "18,19,20");
    EXPECT_EQ(SettingsMerge(list, "HV:", ""), "18\\19\\20") << "keys in other case are the same keys";

    SettingsMerge(list, "ws: ,Ws:0 \"cL:abc def\" junk mnp:3\r\nps:2", "");
    EXPECT_EQ(list.value("ws:"), "0") << "an empty value never overwrites, a later one does";
    EXPECT_EQ(list.value("cL:"), "abc def") << "quotes keep blanks";
    EXPECT_EQ(list.value("mnp:"), "3");
    EXPECT_EQ(list.value("ps:"), "2");

    EXPECT_EQ(SettingsMerge(list, "zz:", ""), "");
    EXPECT_EQ(list.indexOfName("zz:"), 6) << "a query adds the missing key";
    EXPECT_EQ(SettingsMerge(list, "mnp: ws:", ""), "") << "two items are no query";
}

TEST(SettingsMerge, ProjectSetTextOnlyContributesKeyValueWords) {
    NameValueList fromSet('=');
    SettingsMerge(fromSet, "<heading>\r\nThis file contains the data\r\n\r\n<settings>\r\nps:3\r\n\r\n", "");
    EXPECT_EQ(SettingsMerge(fromSet, "ps:", ""), "3");
    NameValueList noStatus('=');
    SettingsMerge(noStatus, "<heading>\r\nno settings here\r\n", "");
    EXPECT_EQ(SettingsMerge(noStatus, "ps:", ""), "");
}

struct ValidationCase {
    const char* items;
    SettingsValues want;
    std::size_t mistakes;
};

TEST(Settings, InvalidValuesFallBackToDefaultsAndAreRecorded) {
    const SettingsValues d;
    auto with = [&](auto change) {
        SettingsValues v = d;
        change(v);
        return v;
    };
    const std::vector<ValidationCase> cases = {
        {"", d, 0},
        {"ws:", d, 0},
        {"ws:0", with([](auto& v) { v.showWindow = 0; }), 0},
        {"ws:-1", d, 1},
        {"ds:5", d, 0},
        {"hv:18\\19", d, 1},
        {"hv:19\\18\\20", d, 1},
        {"hv:5\\10\\21", d, 1},
        {"hv:0\\1\\2", d, 1},
        {"hv:5\\10\\15\\99", with([](auto& v) { v.trainLength[0] = 5, v.trainLength[1] = 10, v.trainLength[2] = 15; }),
         0},
        {"cL:0000040C", d, 1},
        {"cL:409", d, 1},
        {"cL:00000419", with([](auto& v) { v.commentLayout = "00000419"; }), 0},
        {"CL:00000419,Ws:0", with([](auto& v) { v.commentLayout = "00000419", v.showWindow = 0; }), 0},
        {"ps:7", d, 1},
        {"ps:3", with([](auto& v) { v.projectStatus = 3; }), 0},
        {"mnp:0", d, 1},
        {"mnp:6,ps:x", d, 2},
    };
    for (const auto& c : cases) {
        NameValueList defaults = settingsListFrom(kDefaultSettingsString);
        NameValueList settings = defaults;
        SettingsMerge(settings, c.items, "");
        NameValueList mistaken;
        const SettingsCheck check = validateSettings(settings, defaults, mistaken);
        const SettingsValues& v = check.values;
        EXPECT_EQ(v.commentLayout, c.want.commentLayout) << c.items;
        EXPECT_EQ(v.showWindow, c.want.showWindow) << c.items;
        EXPECT_EQ(v.showArchiveFolder, c.want.showArchiveFolder) << c.items;
        EXPECT_EQ(std::vector<int>(v.trainLength, v.trainLength + 3),
                  std::vector<int>(c.want.trainLength, c.want.trainLength + 3))
            << c.items;
        EXPECT_EQ(v.capacityFactor, c.want.capacityFactor) << c.items;
        EXPECT_EQ(v.projectStatus, c.want.projectStatus) << c.items;
        EXPECT_EQ(mistaken.count(), c.mistakes) << c.items;
    }
}

TEST(Settings, StatusTrainLength) {
    SettingsValues v;
    EXPECT_EQ(statusTrainLength(v, 0), 20);
    EXPECT_EQ(statusTrainLength(v, 1), 18);
    EXPECT_EQ(statusTrainLength(v, 2), 19);
    EXPECT_EQ(statusTrainLength(v, 3), 20);
}

TEST(SettingsFile, WritesAboutThenSettingWithoutStatusAndReadsItBack) {
    kp::test::TempDir t;
    const std::string path = settingsFilePath(t / "cfg/TarnelSoftware");
    EXPECT_FALSE(readUserPreferences(path).has_value());

    SettingsValues v;
    v.projectStatus = 3;
    v.trainLength[0] = 5;
    v.showWindow = 0;
    ASSERT_TRUE(writeSettingsFile(path, v, "alice"));
    EXPECT_EQ(kp::test::readFile(path),
              "[About]\r\nSoftware= Kestrelpad-1.1.1\r\nUser= alice\r\n-=-\r\n\r\n[Setting]\r\n"
              "UserPreferences= cL:00000409,hv:5\\19\\20,mnp:5,ws:0,ds:1\r\n\r\n");
    EXPECT_EQ(readUserPreferences(path).value(), "cL:00000409,hv:5\\19\\20,mnp:5,ws:0,ds:1");

    t.write("cfg/TarnelSoftware/Kestrelpad/setting.ini", "[Setting]\nOther=1\n");
    EXPECT_EQ(readUserPreferences(path).value(), kDefaultSettingsString) << "a missing key reads as the defaults";
}

// A setting.ini that exists but cannot be read is named with the reason, never taken silently
// for a missing one (a Save would put the defaults over the user's values).
TEST(SettingsFile, UnreadableFileIsReportedWithItsReason) {
    kp::test::TempDir t;
    const std::string path = settingsFilePath(t / "cfg/TarnelSoftware");
    std::string problem = "stale";
    EXPECT_FALSE(readUserPreferences(path, &problem).has_value());
    EXPECT_EQ(problem, "") << "a missing file is no problem";
    EXPECT_EQ(settingsFileProblem(path), "");

    t.write("cfg/TarnelSoftware/Kestrelpad/setting.ini", "[Setting]\nUserPreferences=hv:1\\2\\3\n");
    std::filesystem::resize_file(path, IniFile::kMaxSize + 1);
    EXPECT_FALSE(readUserPreferences(path, &problem).has_value());
    EXPECT_EQ(problem, "it is over 16 MiB");
    EXPECT_EQ(settingsFileProblem(path), "it is over 16 MiB");

    removeFile(path);
    t.mkdir("cfg/TarnelSoftware/Kestrelpad/setting.ini");
    EXPECT_EQ(settingsFileProblem(path), "it is not a regular file");
}

// The program's entries are written over what the file holds; what others put there stays.
// Temporaries that killed saves left are removed, but not one a running save may still use.
TEST(SettingsFile, SaveKeepsForeignEntriesAndRemovesLeftTemporaries) {
    kp::test::TempDir t;
    const std::string path = settingsFilePath(t / "cfg/TarnelSoftware");
    t.write("cfg/TarnelSoftware/Kestrelpad/setting.ini",
            "[About]\r\nSoftware= old\r\nNote=mine\r\n[Setting]\r\nUserPreferences= hv:1\\2\\3\r\n"
            "Theme=dark\r\n[Other]\r\nkey=value\r\n");
    const std::string old = t.write("cfg/TarnelSoftware/Kestrelpad/setting.ini.part-Ab12Cd", "killed save");
    kp::test::touch(old, std::time(nullptr) - 3600);
    const std::string young = t.write("cfg/TarnelSoftware/Kestrelpad/setting.ini.part-Ef34Gh", "save under way");

    SettingsValues v;
    ASSERT_TRUE(writeSettingsFile(path, v, "alice"));
    EXPECT_EQ(kp::test::readFile(path),
              "[About]\r\nSoftware= Kestrelpad-1.1.1\r\nNote=mine\r\nUser= alice\r\n-=-\r\n\r\n[Setting]\r\n"
              "UserPreferences= cL:00000409,hv:18\\19\\20,mnp:5,ws:1,ds:1\r\nTheme=dark\r\n\r\n[Other]\r\n"
              "key=value\r\n\r\n");
    EXPECT_FALSE(pathExists(old));
    EXPECT_TRUE(pathExists(young));
}

// Found by fuzzing: with [Setting] twice, the save went into the second section while the
// next start read the first, so saved settings never took effect.
TEST(SettingsFile, ASectionGivenTwiceGivesBackWhatWasSaved) {
    kp::test::TempDir t;
    const std::string path = settingsFilePath(t / "cfg/TarnelSoftware");
    t.write("cfg/TarnelSoftware/Kestrelpad/setting.ini",
            "[Setting]\r\nUserPreferences= hv:1\\2\\3\r\n[Setting]\r\nTheme=dark\r\n");
    SettingsValues v;
    v.capacityFactor = 2;
    ASSERT_TRUE(writeSettingsFile(path, v, "alice"));
    EXPECT_EQ(readUserPreferences(path).value(), "cL:00000409,hv:18\\19\\20,mnp:2,ws:1,ds:1");
    IniFile ini;
    ini.parse("[A]\r\nx=1\r\n[a]\r\ny=2\r\n");
    ini.setValue("A", "y", "3");
    ini.setValue("A", "z", "4");
    EXPECT_EQ(ini.text(), "[A]\r\nx=1\r\nz=4\r\n\r\n[a]\r\ny=3\r\n\r\n");
}

TEST(Settings, UserSettingsStringFollowsTheSettingsTabRules) {
    SettingsValues v;
    EXPECT_EQ(applyUserSettings("hv:5\\10\\15,mnp:3,ws:0,cL:00000419", v), "");
    EXPECT_EQ(v.trainLength[1], 10);
    EXPECT_EQ(v.commentLayout, "00000419");
    // 0000040C is hexadecimal, but a run reads the layout as a decimal number and would refuse
    // it at every start: saving it would only make the options window open each time.
    for (const char* bad : {"cL:0000040C", "hv:10\\5\\15", "hv:19\\19\\20", "hv:1\\2\\21", "mnp:0", "ws:2", "cL:409", "cL:0000040G",
                            "ps:1", "nonsense"}) {
        SettingsValues before = v;
        EXPECT_EQ(applyUserSettings(std::string("mnp:4,") + bad, v), bad);
        EXPECT_EQ(v.capacityFactor, before.capacityFactor) << "nothing applies when any item is bad";
    }
}

TEST(Settings, MistakenListRecordsWhatWasWrong) {
    NameValueList defaults = settingsListFrom(kDefaultSettingsString);
    NameValueList settings = defaults;
    SettingsMerge(settings, "cL:0000040C,hv:5\\5\\15,mnp:9", "");
    NameValueList mistaken;
    validateSettings(settings, defaults, mistaken);
    EXPECT_EQ(mistaken.lines(), (std::vector<std::string>{"cL:=0000040C", "hv:=5\\5\\15", "mnp:=9"}));
}

TEST(SettingsFile, ReadsOnlyARegularFileOfBoundedSizeInLinearTime) {
#ifdef _WIN32
    GTEST_SKIP() << "the refusal is tested with a FIFO, which Windows does not have";
#else
    kp::test::TempDir t;
    const std::string path = t / "setting.ini";
    // Many repeated items: each merge step must not pass over the whole list.
    std::string many = "[Setting]\nUserPreferences=";
    for (int i = 0; i < 200000; ++i) many += "mnp:" + std::to_string(1 + i % 5) + ",k" + std::to_string(i % 1000) + ":1,";
    many += "mnp:3\n";
    t.write("setting.ini", many);
    const auto start = std::chrono::steady_clock::now();
    NameValueList list = settingsListFrom(readUserPreferences(path).value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(list.value("mnp:"), "3");
    EXPECT_EQ(list.count(), 1001u);

    ASSERT_EQ(mkfifo((t / "fifo.ini").c_str(), 0644), 0);
    EXPECT_FALSE(readUserPreferences(t / "fifo.ini")) << "a FIFO would block the run";
    EXPECT_FALSE(readUserPreferences("/dev/zero")) << "a device never ends";
    ASSERT_EQ(truncate(t.write("huge.ini", "").c_str(), 64 << 20), 0);
    EXPECT_FALSE(readUserPreferences(t / "huge.ini"));
#endif
}

TEST(SettingsFile, SavesThroughALinkAndInParallel) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows; the atomic replace is tested in tests/windows";
#else
    kp::test::TempDir t;
    const std::string target = t / "real/setting.ini";
    t.write("real/setting.ini", "[Setting]\nUserPreferences=mnp:1\n");
    t.mkdir("config/Kestrelpad");
    const std::string link = t / "config/Kestrelpad/setting.ini";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    SettingsValues v;
    v.capacityFactor = 2;
    ASSERT_TRUE(writeSettingsFile(link, v, "me"));
    EXPECT_TRUE(isSymbolicLink(link)) << "the link stays";
    EXPECT_EQ(readUserPreferences(target).value(), "cL:00000409,hv:18\\19\\20,mnp:2,ws:1,ds:1");

    std::atomic<int> failures{0};
    std::vector<std::thread> savers;
    for (int i = 0; i < 8; ++i)
        savers.emplace_back([&] {
            for (int k = 0; k < 20; ++k)
                if (!writeSettingsFile(t / "parallel/setting.ini", v, "me")) ++failures;
        });
    for (auto& s : savers) s.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(readUserPreferences(t / "parallel/setting.ini").value(), "cL:00000409,hv:18\\19\\20,mnp:2,ws:1,ds:1");
#endif
}
