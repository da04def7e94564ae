// kpad as a script sees it: exit codes, what it prints, and the run lock.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "hosts/ConsoleHost.h"
#include "platform/RunLock.h"
#include "support/TempDir.h"

using namespace kp::test;

namespace {

struct Result {
    int status;
    std::string out;
};

class KpadTest : public ::testing::Test {
protected:
    KpadTest() {
        m_dir.write("Site/index.html", "hello");
        m_dir.write("Site/docs/a.txt", "a");
    }

    // Runs kpad at a given local time (faketime), with its own settings folder.
    Result kpad(const std::string& args, const std::string& when = "2010-12-03 15:30:00") const {
        const std::string command = "XDG_CONFIG_HOME='" + (m_dir / "config") +
                                    "' NO_FAKE_STAT=1 ASAN_OPTIONS=verify_asan_link_order=0 faketime '" + when + "' " +
                                    KP_KPAD_PATH + " " + args + " 2>&1";
        Result r;
        r.status = run(command, &r.out);
        return r;
    }
    std::string site() const { return "'" + (m_dir / "Site") + "'"; }

    TempDir m_dir;
};

} // namespace

TEST_F(KpadTest, ArgumentsAndHelp) {
    EXPECT_EQ(kpad("--version").out, "Kestrelpad-1.1.1\n");
    EXPECT_EQ(kpad("--help").status, 0);
    const struct {
        const char* args;
        int status;
        const char* says;
    } cases[] = {
        {"", 2, "a command is missing"},
        {"frobnicate", 2, "unknown command"},
        {"store", 2, "needs the project's full path"},
        {"store /a /b", 2, "only one project path"},
        {"store /x --status urgent", 2, "unknown status"},
        {"store /x --new-version 300.1", 2, "Check value for part 1 of version\nIt must be in 0..100"},
        {"store /x --new-version 1.2.rc_1.x", 2, "a version is A.B or A.B.C"},
        {"store relative/path", 1, "Warning: The correct parameter is absent.  "},
        {"log", 2, "log needs exactly"},
    };
    for (const auto& c : cases) {
        const Result r = kpad(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
    }
}

TEST_F(KpadTest, StoreListAndLog) {
    Result r = kpad("store " + site() + " --comment 'first state' --status important");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, (m_dir / "Site/#tarnel/Site-101203.1530c.zip") + "\n");

    r = kpad("store " + site(), "2010-12-03 15:31:00");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "The project is the same\n");

    m_dir.write("Site/new.txt", "new");
    r = kpad("store " + site(), "2010-12-03 15:32:00");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, (m_dir / "Site/#tarnel/Site-101203.1532.zip") + "\n");

    r = kpad("list " + site(), "2010-12-03 15:33:00");
    EXPECT_EQ(r.out, (m_dir / "Site/#tarnel/Site-101203.1530c.zip") + "\tfirst state\n") << "full archives only";
    r = kpad("list " + site() + " --all", "2010-12-03 15:33:00");
    EXPECT_EQ(r.out, (m_dir / "Site/#tarnel/Site-101203.1532.zip") + "\t\n" +
                         (m_dir / "Site/#tarnel/Site-101203.1530c.zip") + "\tfirst state\n");

    r = kpad("log " + site(), "2010-12-03 15:33:00");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("History of the project \"Site\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  first state"), std::string::npos) << r.out;
}

TEST_F(KpadTest, SecondRunOnTheSameProjectIsRefused) {
    kp::RunLock other;
    ASSERT_TRUE(other.tryLock(m_dir / "Site"));
    const Result r = kpad("store " + site());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Another run of Kestrelpad is working on this project."), std::string::npos) << r.out;
    EXPECT_FALSE(kp::test::readFile(m_dir / "Site/index.html").empty());
}


TEST_F(KpadTest, RestoreByFileName) {
    ASSERT_EQ(kpad("store " + site()).status, 0);
    m_dir.write("Site/index.html", "changed");
    Result r = kpad("restore " + site() + " Site-101203.1530c.zip --comment 'back to the start'", "2010-12-03 15:35:00");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, (m_dir / "Site/#tarnel/Site-101203.1535c.zip") + "\n");
    EXPECT_EQ(readFile(m_dir / "Site/index.html"), "hello");

    r = kpad("restore " + site() + " Site-991231.2359c.zip", "2010-12-03 15:36:00");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("is not a stored state of the project Site"), std::string::npos) << r.out;
    EXPECT_EQ(kpad("restore " + site(), "2010-12-03 15:37:00").status, 2);
}

TEST_F(KpadTest, SettingsAreCheckedAndSavedWithoutStatus) {
    EXPECT_EQ(kpad("settings").out, "cL:00000409\nhv:18\\19\\20\nmnp:5\nws:1\nds:1\n");
    Result r = kpad("settings 'hv:5\\10\\15,mnp:3,ws:0'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(m_dir / "config/TarnelSoftware/Kestrelpad/setting.ini"),
              "[About]\r\nSoftware= Kestrelpad-1.1.1\r\nUser= " + std::string(getpwuid(geteuid())->pw_name) +
                  "\r\n-=-\r\n\r\n[Setting]\r\nUserPreferences= cL:00000409,hv:5\\10\\15,mnp:3,ws:0,ds:1\r\n\r\n");
    for (const char* bad : {"hv:5\\5\\15", "mnp:9", "cL:0000040", "ps:2"}) {
        r = kpad(std::string("settings '") + bad + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.out.find(std::string("invalid setting '") + bad + "'"), std::string::npos) << r.out;
    }
    EXPECT_EQ(kpad("settings").out, "cL:00000409\nhv:5\\10\\15\nmnp:3\nws:0\nds:1\n") << "a refused item saves nothing";
}

TEST_F(KpadTest, DiffVersionsAndExtractOfRealStates) {
    m_dir.write("Site/keep.txt", "keep");
    ASSERT_EQ(kpad("store " + site()).status, 0);
    touch(m_dir.write("Site/index.html", "hello!"), 1300000000); // a store tells changes by time
    std::remove((m_dir / "Site/docs/a.txt").c_str());
    m_dir.write("Site/new.txt", "new");
    Result r = kpad("store " + site(), "2010-12-03 15:32:00");
    ASSERT_EQ(r.out, (m_dir / "Site/#tarnel/Site-101203.1532.zip") + "\n") << "a relative state";
    touch(m_dir / "Site/keep.txt", 1300000100); // a new time, the same content
    m_dir.write("Site/odd\x1b[2J.txt", "x");

    r = kpad("diff " + site(), "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "A Site/odd\\x1b[2J.txt\n1 added, 0 deleted, 0 modified\n") << "keep.txt only touched";

    r = kpad("diff " + site() + " --stat --from Site-101203.1530c.zip --to Site-101203.1532.zip", "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "D Site/docs/a.txt\t1\nM Site/index.html\t5 -> 6\nA Site/new.txt\t3\n"
                     "1 added (3 bytes), 1 deleted (1 bytes), 1 modified (+1 bytes)\n");

    r = kpad("versions " + site() + " index.html", "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    EXPECT_EQ(r.out.rfind("Site-101203.1532.zip\t", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n" "Site-101203.1530c.zip\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\t5\n"), std::string::npos) << r.out;

    const std::string out = "'" + (m_dir / "out") + "'";
    r = kpad("extract " + site() + " Site-101203.1532.zip '*.html' keep.txt --to " + out, "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "2 files copied to " + (m_dir / "out") + "\n");
    EXPECT_EQ(readFile(m_dir / "out/Site/index.html"), "hello!");
    EXPECT_EQ(readFile(m_dir / "out/Site/keep.txt"), "keep") << "from the primary";
    m_dir.write("out/Site/index.html", "mine");
    r = kpad("extract " + site() + " Site-101203.1530c.zip --to " + out, "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("exist already"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(m_dir / "out/Site/index.html"), "mine");
    r = kpad("extract " + site() + " Site-101203.1530c.zip --overwrite --to " + out, "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(m_dir / "out/Site/index.html"), "hello");
    EXPECT_EQ(readFile(m_dir / "out/Site/docs/a.txt"), "a");
}

TEST_F(KpadTest, HistoryCommandArgumentsAndDoubleDash) {
    const struct {
        const char* args;
        int status;
        const char* says;
    } cases[] = {
        {"diff", 2, "diff needs the project's full path"},
        {"diff /x --from a.zip", 2, "--from and --to go together"},
        {"diff /x a.zip b.zip", 2, "at most one archive"},
        {"versions /x", 2, "versions needs"},
        {"extract /x a.zip", 2, "extract needs --to DIR"},
        {"extract /x a.zip --to", 2, "incomplete option '--to'"},
    };
    for (const auto& c : cases) {
        const Result r = kpad(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << ": " << r.out;
    }

    m_dir.write("-rf/x.txt", "x");
    const std::string project = "'" + (m_dir / "-rf") + "'";
    ASSERT_EQ(kpad("store -- " + project).status, 0);
    EXPECT_EQ(kpad("diff " + project + " -rf-101203.1530c.zip").status, 2);
    Result r = kpad("diff " + project + " -- -rf-101203.1530c.zip", "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "0 added, 0 deleted, 0 modified\n");
    r = kpad("diff " + project + " -- -rf-991231.2359c.zip", "2010-12-03 15:40:00");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("is not a stored state of the project -rf"), std::string::npos) << r.out;
    EXPECT_EQ(kpad("versions " + project + " nothing.txt", "2010-12-03 15:40:00").status, 1);
    EXPECT_EQ(kpad("diff " + site()).status, 1) << "no archive yet";
}

TEST_F(KpadTest, StoreShowsAProgressLineOnlyOnATerminal) {
    if (run("command -v script >/dev/null") != 0) GTEST_SKIP() << "script(1) is missing";
    const Result plain = kpad("store " + site());
    EXPECT_EQ(plain.out, (m_dir / "Site/#tarnel/Site-101203.1530c.zip") + "\n") << "stderr is no terminal here";
    m_dir.write("Site/more.txt", "more");
    std::string out;
    const std::string command = "XDG_CONFIG_HOME='" + (m_dir / "config") + "' script -qec \"" + KP_KPAD_PATH +
                                " store '" + (m_dir / "Site") + "'\" /dev/null";
    ASSERT_EQ(run(command, &out), 0) << out;
    EXPECT_NE(out.find("\r1/1 files  0.0/0.0 MB  "), std::string::npos) << out;
}

TEST(ProgressLineTest, FilesBytesRateAndTimeLeft) {
    const struct {
        kp::WriterFigures figures;
        double seconds;
        const char* line;
    } cases[] = {
        {{8000, 0, 100000000, 0, false}, 0.0, "0/8000 files  0.0/100.0 MB"},
        {{8000, 2000, 100000000, 25000000, false}, 0.5, "2000/8000 files  25.0/100.0 MB  50.0 MB/s  0:02 left"},
        {{8000, 4000, 100000000, 50000000, false}, 100.0, "4000/8000 files  50.0/100.0 MB  0.5 MB/s  1:40 left"},
        {{8000, 8000, 100000000, 100000000, true}, 2.04, "8000/8000 files  100.0/100.0 MB  2.0 s"},
    };
    for (const auto& c : cases) EXPECT_EQ(kp::progressLine(c.figures, c.seconds), c.line);
}
