// A save that copies the compressed data of an earlier archive's items for files that still
// hold the same data, and that stores what Deflate would barely shrink.
#include <gtest/gtest.h>

#include "ZipFixtures.h"
#include "support/TempDir.h"
#include "zip/ArchiveCheck.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

std::string text(std::size_t n, int seed = 0) {
    std::string s;
    for (int i = 0; s.size() < n; ++i)
        s += "line " + std::to_string(i * 7919 % 1000 + seed) + " of some source text\n";
    s.resize(n);
    return s;
}

// Random bytes of 240 values: about 1 % smaller under Deflate.
std::string skewedBytes(std::size_t n) {
    std::string s = randomBytes(n, 9);
    for (char& c : s)
        c = char(static_cast<unsigned char>(c) % 240);
    return s;
}

// Small limits, so that "large" files (read in pieces) are a few hundred KiB.
SaveOptions smallPieces() {
    SaveOptions o;
    o.wholeFileLimit = 64 * 1024;
    o.chunkSize = 16 * 1024;
    o.memoryBudget = 100 * 1024;
    return o;
}

void save(const TempDir& t, const std::string& archive, const std::vector<std::string>& files,
          const std::string& primary = "") {
    ZipArchive zip;
    zip.open(t / archive);
    zip.setSaveOptions(smallPieces());
    zip.setBaseDirectory(t.path());
    if (!primary.empty()) zip.reuseItemsOf(t / primary);
    for (const auto& f : files)
        zip.addFile(f);
    zip.save();
}

} // namespace

TEST(ZipReuse, UnchangedFilesAreCopiedAndEverythingElseIsCompressed) {
    TempDir t;
    const std::vector<std::string> files = {"P/same.txt",     "P/same-size.txt",  "P/resized.txt",
                                            "P/big-same.txt", "P/big-edited.txt", "P/stored-same.bin",
                                            "P/new.txt"};
    t.write("P/same.txt", text(5000));
    t.write("P/same-size.txt", text(5000, 1));
    t.write("P/resized.txt", text(5000, 2));
    t.write("P/big-same.txt", text(300000, 3));
    t.write("P/big-edited.txt", text(300000, 4));
    t.write("P/stored-same.bin", randomBytes(3000, 5));
    save(t, "primary.zip", {files.begin(), files.end() - 1});

    t.write("P/same-size.txt", text(5000, 6)); // same name and size, other data
    t.write("P/resized.txt", text(6000, 2));
    std::string edited = text(300000, 4);
    edited[150000] = '#'; // a large file edited in place, keeping its size
    t.write("P/big-edited.txt", edited);
    t.write("P/new.txt", text(100));
    save(t, "next.zip", files, "primary.zip");

    ZipArchive primary, next;
    primary.open(t / "primary.zip");
    next.open(t / "next.zip");
    EXPECT_EQ(next.reusedFiles(), std::vector<std::string>{}) << "kept for the save that made them only";
    EXPECT_EQ(verifyArchive(t / "next.zip"), std::vector<std::string>{});
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        EXPECT_EQ(next.extractToString(f), readFile(t / f));
    }
    for (const char* f : {"P/same.txt", "P/big-same.txt", "P/stored-same.bin"}) {
        SCOPED_TRACE(f);
        const ZipItem& before = primary.item(primary.findFile(f));
        const ZipItem& after = next.item(next.findFile(f));
        EXPECT_EQ(after.method, before.method);
        EXPECT_EQ(after.compressedSize, before.compressedSize);
        EXPECT_EQ(after.crc32, before.crc32);
    }
}

// A copy is taken only when the earlier item gives back the file's very bytes; a large file,
// never held whole, is compared by size and CRC only and named for the check to compare.
TEST(ZipReuse, SaveReportsWhichFilesItCopied) {
    TempDir t;
    const std::vector<std::string> files = {"P/a.txt", "P/b.txt", "P/big.txt", "P/damaged.bin", "P/big-damaged.bin"};
    t.write("P/a.txt", text(5000));
    t.write("P/b.txt", text(5000, 1));
    t.write("P/big.txt", text(300000, 2));
    t.write("P/damaged.bin", randomBytes(3000, 3));       // stored: its bytes lie in the archive as they are
    t.write("P/big-damaged.bin", randomBytes(300000, 4)); // the same, read in pieces
    save(t, "primary.zip", files);
    std::string primary = readFile(t / "primary.zip");
    for (const char* f : {"P/damaged.bin", "P/big-damaged.bin"}) {
        const std::size_t at = primary.find(readFile(t / f));
        ASSERT_NE(at, std::string::npos) << f;
        primary[at + 1000] = char(primary[at + 1000] ^ 0x20); // directory and CRC untouched
    }
    t.write("primary.zip", primary);
    t.write("P/b.txt", text(5000, 3));

    ZipArchive zip;
    zip.open(t / "next.zip");
    zip.setSaveOptions(smallPieces());
    zip.setBaseDirectory(t.path());
    ASSERT_TRUE(zip.reuseItemsOf(t / "primary.zip"));
    for (const auto& f : files)
        zip.addFile(f);
    zip.save();
    EXPECT_EQ(zip.reusedFiles(), (std::vector<std::string>{"P/a.txt", "P/big.txt", "P/big-damaged.bin"}));
    EXPECT_EQ(zip.reuseOutcome().comparedByCrcOnly, (std::vector<std::string>{"P/big.txt", "P/big-damaged.bin"}));
    EXPECT_EQ(zip.reuseOutcome().refused, std::vector<std::string>{"P/damaged.bin"});
    EXPECT_EQ(zip.extractToString("P/damaged.bin"), readFile(t / "P/damaged.bin")) << "compressed from the file";

    // An earlier archive that cannot be read only means that everything is compressed.
    ZipArchive fresh;
    fresh.open(t / "fresh.zip");
    fresh.setBaseDirectory(t.path());
    t.write("not-a.zip", "no archive at all");
    EXPECT_FALSE(fresh.reuseItemsOf(t / "not-a.zip"));
    EXPECT_FALSE(fresh.reuseItemsOf(t / "missing.zip"));
    fresh.addFile("P/a.txt");
    fresh.save();
    EXPECT_TRUE(fresh.reusedFiles().empty());
    EXPECT_EQ(fresh.extractToString("P/a.txt"), readFile(t / "P/a.txt"));
}

TEST(ZipReuse, DataThatDeflateWouldBarelyShrinkIsStored) {
    TempDir t;
    const struct {
        std::string name, data;
        int method;
    } cases[] = {
        {"P/notes.txt", text(5000), 8},
        {"P/photo.JPG", text(5000), 0}, // named as compressed data: not even tried
        {"P/archive.tar.gz", text(5000), 0},
        {"P/noise.bin", randomBytes(300000, 1), 0}, // the first block does not shrink
        {"P/small-noise", randomBytes(1000, 2), 0},
        {"P/nearly.bin", skewedBytes(50000), 0},        // Deflate would shrink it, but by less than 3 %
        {"P/big.txt", text(300000), 8},                 // in pieces
        {"P/big-noise.dat", randomBytes(300000, 4), 0}, // in pieces, after a trial
        {"P/big-text.mp4", text(300000), 0},            // in pieces, by its name
    };
    std::vector<std::string> names;
    for (const auto& c : cases) {
        t.write(c.name, c.data);
        names.push_back(c.name);
    }
    save(t, "A.zip", names);
    ZipArchive zip;
    zip.open(t / "A.zip");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ZipItem& item = zip.item(zip.findFile(c.name));
        EXPECT_EQ(item.method, c.method);
        EXPECT_EQ(zip.extractToString(c.name), c.data);
    }
}
