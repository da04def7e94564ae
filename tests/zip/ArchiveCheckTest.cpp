#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

#include "ZipFixtures.h"
#include "platform/FileSystem.h"
#include "zip/ArchiveCheck.h"
#include "zip/Crc32.h"
#include "zip/ZipArchive.h"
#include "support/TempDir.h"

using namespace kp;
using namespace kp::test;

namespace {

std::string storeFiles(const TempDir& t, const std::vector<std::string>& files) {
    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.setBaseDirectory(t.path());
    for (const auto& f : files)
        zip.addFile(f);
    zip.save();
    return t / "A.zip";
}

} // namespace

TEST(ArchiveCheck, CompareWithDiskReportsMissingChangedAndUnreadableFilesInOrder) {
    TempDir t;
    const std::vector<std::string> stored = {"Site/same.txt", "Site/changed.txt", "Site/deleted.txt",
                                             "Site/empty.txt", "Site/Проект.txt"};
    for (const auto& f : stored)
        t.write(f, f == "Site/empty.txt" ? "" : "content of " + f);
    const std::string path = storeFiles(t, stored);
    t.write("Site/changed.txt", "changed after writing");
    removeFile(t / "Site/deleted.txt");
    t.write("Site/not-stored.txt", "x");

    ZipArchive zip;
    zip.open(path);
    const std::vector<std::string> listed = {"Site/same.txt",    "Site/not-stored.txt", "Site/changed.txt",
                                             "Site/deleted.txt", "Site/empty.txt",      "Site/Проект.txt"};
    const auto expected = std::vector<std::pair<std::string, std::string>>{
        {"Site/not-stored.txt", "00000000"},
        {"Site/changed.txt", crc32Hex(crcOf("content of Site/changed.txt"))},
        {"Site/deleted.txt", crc32Hex(crcOf("content of Site/deleted.txt"))},
    };
    for (unsigned threads : {1u, 2u, 5u}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(compareWithDisk(zip, listed, t.path(), threads), expected);
    }
}

TEST(ArchiveCheck, VerifyFindsDamagedItemsAndRefusesUnreadableArchives) {
    TempDir t;
    t.write("a.txt", "first file, stored");
    t.write("b.txt", "second file, stored");
    const std::string path = storeFiles(t, {"a.txt", "b.txt"});
    EXPECT_EQ(verifyArchive(path), std::vector<std::string>{});

    std::string bytes = readFile(path);
    const std::size_t at = bytes.find("second file");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'S';
    t.write("bad.zip", bytes);
    const auto lines = verifyArchive(t / "bad.zip");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("item \"b.txt\": its data does not match its CRC-32"), std::string::npos)
        << lines[0];

    EXPECT_THROW(verifyArchive(t / "missing.zip"), ArchiveError);
    t.write("text.zip", "not an archive at all");
    EXPECT_THROW(verifyArchive(t / "text.zip"), ArchiveError);
}

TEST(ArchiveCheck, KpadVerifyPrintsBadItemsAndSetsItsExitStatus) {
    TempDir t;
    t.write("a.txt", "a stored file");
    const std::string good = storeFiles(t, {"a.txt"});
    std::string bytes = readFile(good);
    bytes[bytes.find("a stored")] = 'A';
    const std::string bad = t.write("bad.zip", bytes);
    const std::string kpad = shellQuote(KP_KPAD_PATH) + " verify ";

    std::string out;
    EXPECT_EQ(run(kpad + shellQuote(good), &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(run(kpad + shellQuote(good) + " " + shellQuote(bad), &out), 1);
    EXPECT_NE(out.find("item \"a.txt\""), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_EQ(run(kpad + shellQuote(t / "missing.zip") + " 2>/dev/null", &out), 1);
    EXPECT_EQ(run(shellQuote(KP_KPAD_PATH) + " verify 2>/dev/null"), 2);
}

// The check reads each file only as far as its item's size and one byte more, folder by
// folder: a file that grew or shrank by a byte is a mismatch, sizes around the reading block
// match, and a folder or an empty FIFO in a file's place is a mismatch without blocking.
TEST(ArchiveCheck, CompareWithDiskJudgesFilesByTheItemsSizeAndCrc) {
    TempDir t;
    struct Case {
        std::string name;
        std::size_t size;
        std::function<void(const std::string&)> afterStoring;
        bool matches;
    };
    const auto grow = [&](const std::string& f) { t.write(f, readFile(t / f) + "x"); };
    const auto shrink = [&](const std::string& f) { std::string s = readFile(t / f); s.pop_back(); t.write(f, s); };
    const auto toFolder = [&](const std::string& f) { removeFile(t / f); t.mkdir(f); };
    const auto toFifo = [&](const std::string& f) { removeFile(t / f); ASSERT_EQ(::mkfifo((t / f).c_str(), 0600), 0); };
    const std::vector<Case> cases = {
        {"a/empty", 0, nullptr, true},          {"b/one", 1, nullptr, true},
        {"a/block-1", 32767, nullptr, true},    {"b/block", 32768, nullptr, true},
        {"a/block+1", 32769, nullptr, true},    {"b/two-blocks", 65536, nullptr, true},
        {"a/grown", 32768, grow, false},        {"b/shrunk", 32769, shrink, false},
        {"a/grown-empty", 0, grow, false},      {"b/folder", 10, toFolder, false},
        {"a/fifo-empty", 0, toFifo, false},     {"b/fifo", 10, toFifo, false},
    };
    std::vector<std::string> names;
    for (const Case& c : cases) {
        t.write(c.name, randomBytes(c.size, unsigned(c.size)));
        names.push_back(c.name);
    }
    const std::string path = storeFiles(t, names);
    for (const Case& c : cases)
        if (c.afterStoring) c.afterStoring(c.name);

    ZipArchive zip;
    zip.open(path);
    std::vector<std::pair<std::string, std::string>> expected;
    for (const Case& c : cases)
        if (!c.matches) expected.emplace_back(c.name, crc32Hex(zip.item(std::size_t(zip.findFile(c.name))).crc32));
    for (unsigned threads : {1u, 2u}) {
        SCOPED_TRACE(threads);
        EXPECT_EQ(compareWithDisk(zip, names, t.path(), threads), expected);
    }
}
