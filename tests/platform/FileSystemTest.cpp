#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::TempDir;

TEST(FileSystem, FreeSpaceIsWhatThisUserMayFill) {
    struct statvfs vfs;
    ASSERT_EQ(statvfs("/tmp", &vfs), 0);
    const std::int64_t available = std::int64_t(vfs.f_bavail) * std::int64_t(vfs.f_frsize);
    // Blocks kept for the superuser are free but not available; allow for other writers meanwhile.
    EXPECT_NEAR(double(freeDiskSpace("/tmp")), double(available), 64.0 * 1024 * 1024);
    EXPECT_LE(freeDiskSpace("/tmp"), std::int64_t(vfs.f_bfree) * std::int64_t(vfs.f_frsize));
    EXPECT_EQ(freeDiskSpace("/no/such/folder"), -1);
}

// A folder deeper than PATH_MAX, made relative to each parent since no full path reaches it.
TEST(FileSystem, FilesDeeperThanTheSystemLimitAreMadeReadAndCopied) {
#ifdef _WIN32
    GTEST_SKIP() << "long paths on Windows: tests/windows";
#else
    TempDir t;
    int fd = open(t.mkdir("deep").c_str(), O_RDONLY | O_DIRECTORY);
    const std::string part(200, 'd');
    std::string deep = t / "deep";
    for (int level = 0; level < 25; ++level) {
        ASSERT_EQ(mkdirat(fd, part.c_str(), 0755), 0);
        const int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        deep += "/" + part;
    }
    close(fd);
    const std::string file = deep + "/new.txt";
    ASSERT_GT(file.size(), 4096u);

    ASSERT_TRUE(createNewFile(file));
    EXPECT_FALSE(createNewFile(file)) << "never replaces a file";
    EXPECT_EQ(readProblem(file), 0);
    EXPECT_EQ(entryNames(deep), std::vector<std::string>{"new.txt"});
    ASSERT_TRUE(writeFileAtomically(file, "deep text"));
    ASSERT_TRUE(copyFileDurably(file, deep + "/copy.txt"));
    std::string whole, regular;
    EXPECT_TRUE(readWholeFile(deep + "/copy.txt", whole));
    EXPECT_TRUE(readRegularFile(file, 100, regular));
    EXPECT_EQ(whole, "deep text");
    EXPECT_EQ(regular, "deep text");
#endif
}
