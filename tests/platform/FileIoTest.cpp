#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::readFile;
using kp::test::TempDir;

TEST(InputFile, OpensRegularFilesOnlyAndReadsExactRanges) {
    TempDir t;
    InputFile file;
    ASSERT_TRUE(file.open(t.write("f.txt", "0123456789")));
    EXPECT_EQ(file.size(), 10u);
    char buf[4];
    ASSERT_TRUE(file.readAt(6, buf, 4));
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_FALSE(file.readAt(8, buf, 4)); // past the end: not all there
    EXPECT_EQ(errno, 0);

    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        int err;
    } refused[] = {{t.mkdir("folder"), EISDIR}, {t / "fifo", EINVAL}, {t / "missing", ENOENT}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.path);
        EXPECT_FALSE(file.open(r.path)); // the FIFO is refused at once, not waited on
        EXPECT_EQ(errno, r.err);
        EXPECT_FALSE(file.isOpen());
    }
}

TEST(OutputFile, AppearsUnderItsNameOnlyWhenCommitted) {
    TempDir t;
    const std::string victim = t.write("victim.txt", "keep");
    // A stale twin that is a link: replaced, never written through.
    ASSERT_EQ(::symlink(victim.c_str(), (t / "A.tmp").c_str()), 0);
    {
        OutputFile out;
        ASSERT_TRUE(out.create(t / "A.tmp"));
        ASSERT_TRUE(out.write("hello world", 11));
        ASSERT_TRUE(out.writeAt(0, "J", 1));
        ASSERT_TRUE(out.truncate(5));
        ASSERT_TRUE(out.write("!", 1));
        ASSERT_TRUE(out.flush());
        ASSERT_TRUE(out.commit(t / "A.zip", true));
    }
    EXPECT_EQ(readFile(t / "A.zip"), "Jello!");
    EXPECT_EQ(readFile(victim), "keep");
    EXPECT_FALSE(pathExists(t / "A.tmp"));

    {
        OutputFile abandoned;
        ASSERT_TRUE(abandoned.createUnique(t.path(), ".part-"));
        ASSERT_TRUE(abandoned.write("x", 1));
        EXPECT_TRUE(pathExists(abandoned.path()));
    }
    EXPECT_EQ(listFolder(t.path()).size(), 2u); // A.zip and victim.txt only
}
