// The kit's edge: each operation that fails leaves the kit as a Failure of the kind its
// callers act on, carrying the kit's own text (which names the archive or the item).
#include <gtest/gtest.h>

#include <functional>

#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "zip/KitResult.h"

using namespace kp;
using namespace kp::test;

namespace {

// Whether it worked, and why not, without the value.
template <class T>
Result<void> outcomeOf(const Result<T>& r) {
    return r ? Result<void>() : Result<void>(r.failure());
}

} // namespace

TEST(KitResult, EachFailureLeavesTheKitWithItsKindAndTheKitsText) {
    TempDir dir;
    const std::string junk = dir.write("junk.zip", "not an archive at all");
    const std::string good = dir / "good.zip";
    {
        ZipArchive zip;
        ASSERT_TRUE(openArchive(zip, good).ok());
        ASSERT_TRUE(addMemoryItem(zip, "Site/a.txt", "a", 0x3D834000u).ok());
        ASSERT_TRUE(saveArchive(zip).ok());
    }
    ZipArchive opened;
    ASSERT_TRUE(openArchive(opened, good).ok());
    EXPECT_EQ(readItemText(opened, "Site/a.txt").value(), "a");

    const struct {
        const char* what;
        std::function<Result<void>()> call;
        FailureKind kind;
        std::string says;
    } cases[] = {
        {"open a damaged archive", [&] { ZipArchive z; return openArchive(z, junk); }, FailureKind::Internal,
         "junk.zip"},
        {"save where no folder is",
         [&] {
             ZipArchive z;
             if (Result<void> r = openArchive(z, dir / "none/new.zip"); !r) return r;
             if (Result<void> r = addMemoryItem(z, "Site/a.txt", "a", 0x3D834000u); !r) return r;
             return saveArchive(z);
         },
         FailureKind::WriteFailed, "new.zip"},
        {"a comment over 65,535 bytes",
         [&] { ZipArchive z; (void)openArchive(z, dir / "c.zip"); return setArchiveComment(z, std::string(70000, 'c')); },
         FailureKind::BadInput, ""},
        {"an item name with a \"..\" part",
         [&] { ZipArchive z; (void)openArchive(z, dir / "n.zip"); return addMemoryItem(z, "../x", "x", 0x3D834000u); },
         FailureKind::BadInput, "../x"},
        {"a folder whose name cannot be stored",
         [&] { ZipArchive z; (void)openArchive(z, dir / "d.zip"); return addFolderItem(z, "Site/bad\x01/", 0x3D834000u); },
         FailureKind::BadInput, "Site/bad"},
        {"a file whose name cannot be stored",
         [&] { ZipArchive z; (void)openArchive(z, dir / "f.zip"); return queueFile(z, "/etc/passwd"); },
         FailureKind::Incomplete, "/etc/passwd"},
        {"an item the archive lacks", [&] { return outcomeOf(readItemText(opened, "Site/b.txt")); },
         FailureKind::Internal, "Site/b.txt"},
        {"verify a damaged archive", [&] { return outcomeOf(verifyArchiveFile(junk)); },
         FailureKind::Internal, "junk.zip"},
        {"the comment of a damaged archive", [&] { return outcomeOf(readCommentOf(junk)); },
         FailureKind::Internal, "junk.zip"},
        {"the CRC of a missing file", [&] { return outcomeOf(fileCrc32(dir / "gone.txt")); },
         FailureKind::Incomplete, "gone.txt"},
    };
    for (const auto& c : cases) {
        const Result<void> r = c.call();
        ASSERT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.failure().kind, c.kind) << c.what;
        EXPECT_FALSE(r.failure().text.empty()) << c.what;
        EXPECT_NE(r.failure().text.find(c.says), std::string::npos) << c.what << ": " << r.failure().text;
    }
    EXPECT_FALSE(pathExists(dir / "none")) << "a failed save leaves nothing behind";
}
