#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include "platform/FileSystem.h"

using namespace kp;

TEST(FileSystem, FreeSpaceIsWhatThisUserMayFill) {
    struct statvfs vfs;
    ASSERT_EQ(statvfs("/tmp", &vfs), 0);
    const std::int64_t available = std::int64_t(vfs.f_bavail) * std::int64_t(vfs.f_frsize);
    // Blocks kept for the superuser are free but not available; allow for other writers meanwhile.
    EXPECT_NEAR(double(freeDiskSpace("/tmp")), double(available), 64.0 * 1024 * 1024);
    EXPECT_LE(freeDiskSpace("/tmp"), std::int64_t(vfs.f_bfree) * std::int64_t(vfs.f_frsize));
    EXPECT_EQ(freeDiskSpace("/no/such/folder"), -1);
}
