#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

#include "ZipFixtures.h"
#include "platform/DosTime.h"
#include "platform/FileSystem.h"
#include "zip/ZipArchive.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::randomBytes;
using kp::test::TempDir;

namespace {

constexpr long long kTime = 1291386600; // 2010-12-03, mid-afternoon

std::string text(std::size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i)
        s += "line " + std::to_string(i) + " of a fairly repetitive text\n";
    s.resize(n);
    return s;
}

// A small project with the kinds of file a store meets.
struct Project {
    TempDir dir;
    std::vector<std::string> files{"Site/a.txt",        "Site/bin/run.sh", "Site/empty.txt",
                                   "Site/Проект €.txt", "Site/random.bin", "Site/tab\tname.txt"};
    Project() {
        dir.write("Site/a.txt", text(5000));
        dir.write("Site/bin/run.sh", "#!/bin/sh\necho hi\n");
        ::chmod((dir / "Site/bin/run.sh").c_str(), 0755);
        dir.write("Site/empty.txt", "");
        dir.write("Site/Проект €.txt", "unicode name");
        dir.write("Site/random.bin", randomBytes(40000, 1));
        dir.write("Site/tab\tname.txt", "tab");
        for (const auto& f : files)
            test::touch(dir / f, kTime);
    }
    // Writes an archive the way the store does: folders, bookkeeping, then the files.
    std::string store(const std::string& name = "A.zip", const SaveOptions& options = SaveOptions()) {
        const std::string path = dir / name;
        ZipArchive zip;
        zip.open(path);
        zip.setSaveOptions(options);
        zip.setComment("a comment\r\nsecond line");
        zip.addFolder("Site/", toDosDateTime(std::time_t(kTime)));
        zip.addFolder("Site/bin/", toDosDateTime(std::time_t(kTime)));
        zip.addFolder("_kpad_/", toDosDateTime(std::time_t(kTime)));
        zip.addFromMemory("_kpad_/project.set", "pn=Site\r\n", toDosDateTime(std::time_t(kTime)));
        EXPECT_EQ(zip.count(), 4u);
        zip.setBaseDirectory(dir.path());
        for (const auto& f : files)
            zip.addFile(f);
        EXPECT_EQ(zip.count(), 4u); // queued files count once written
        zip.save();
        EXPECT_TRUE(zip.skippedFiles().empty());
        EXPECT_EQ(zip.count(), 4u + files.size());
        return path;
    }
};

} // namespace

TEST(ZipArchive, RoundTripKeepsNamesTimesAttributesAndData) {
    Project p;
    const std::string path = p.store();
    EXPECT_FALSE(pathExists(p.dir / "A.tmp"));

    ZipArchive zip;
    zip.open(path);
    ASSERT_EQ(zip.count(), 10u);
    EXPECT_EQ(zip.comment(), "a comment\r\nsecond line");
    EXPECT_EQ(zip.item(0).fileName, "Site/");
    EXPECT_EQ(zip.item(3).fileName, "_kpad_/project.set");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(zip.item(i).isFolder());
        EXPECT_EQ(zip.item(i).externalAttributes, 0x10u);
        EXPECT_EQ(zip.item(i).dosTime, toDosDateTime(std::time_t(kTime)));
    }
    for (std::size_t k = 0; k < p.files.size(); ++k) {
        const ZipItem& item = zip.item(4 + k);
        const std::string data = test::readFile(p.dir / p.files[k]);
        SCOPED_TRACE(item.fileName);
        EXPECT_EQ(item.fileName, p.files[k]);
        EXPECT_EQ(item.crc32, test::crcOf(data));
        EXPECT_EQ(item.uncompressedSize, data.size());
        EXPECT_EQ(item.dosTime, toDosDateTime(std::time_t(kTime)));
        EXPECT_EQ(item.modificationTime, kTime);
        EXPECT_FALSE(item.isFolder());
        EXPECT_EQ(zip.extractToString(item.fileName), data);
    }
    EXPECT_EQ(zip.item(zip.findFile("Site/bin/run.sh")).unixMode(), 0755u);
    EXPECT_EQ(zip.item(zip.findFile("Site/a.txt")).unixMode(), 0644u);
    // Deflate where it helps, stored where it would not.
    EXPECT_EQ(zip.item(zip.findFile("Site/a.txt")).method, 8);
    EXPECT_LT(zip.item(zip.findFile("Site/a.txt")).compressedSize, 1000u);
    EXPECT_EQ(zip.item(zip.findFile("Site/random.bin")).method, 0);
    EXPECT_EQ(zip.item(zip.findFile("Site/empty.txt")).crc32, 0u);
    EXPECT_EQ(zip.extractToString("_kpad_/project.set"), "pn=Site\r\n");
}

TEST(ZipArchive, LargeFilesAreCompressedInPiecesThatFormOneStream) {
    Project p;
    p.dir.write("Site/big.txt", text(300000));
    p.dir.write("Site/big-random.bin", randomBytes(200000, 2));
    p.files.push_back("Site/big.txt");
    p.files.push_back("Site/big-random.bin");
    SaveOptions small;
    small.wholeFileLimit = 64 * 1024;
    small.chunkSize = 16 * 1024;
    small.memoryBudget = 100 * 1024;
    small.threads = 3;
    ZipArchive zip;
    zip.open(p.store("A.zip", small));
    EXPECT_EQ(zip.extractToString("Site/big.txt"), test::readFile(p.dir / "Site/big.txt"));
    EXPECT_EQ(zip.item(zip.findFile("Site/big.txt")).method, 8);
    EXPECT_EQ(zip.extractToString("Site/big-random.bin"), test::readFile(p.dir / "Site/big-random.bin"));
    EXPECT_EQ(zip.item(zip.findFile("Site/big-random.bin")).method, 0);
}

TEST(ZipArchive, DeleteAndAddReplacesOneItemAndCopiesTheOthersUnchanged) {
    Project p;
    const std::string path = p.store();
    ZipArchive before;
    before.open(path);

    ZipArchive zip;
    zip.open(path);
    zip.deleteFiles("_kpad_\\project.set");
    EXPECT_EQ(zip.findFile("_kpad_/project.set"), -1);
    zip.addFromMemory("_kpad_/project.set", "edited", toDosDateTime(std::time_t(kTime)));
    zip.save();
    EXPECT_FALSE(pathExists(p.dir / "A.tmp"));

    ZipArchive after;
    after.open(path);
    ASSERT_EQ(after.count(), before.count());
    EXPECT_EQ(after.extractToString("_kpad_/project.set"), "edited");
    EXPECT_EQ(after.comment(), before.comment());
    for (std::size_t i = 0; i < after.count(); ++i) {
        const ZipItem& a = after.item(i);
        if (a.fileName == "_kpad_/project.set") continue;
        const ZipItem& b = before.item(before.findFile(a.fileName));
        SCOPED_TRACE(a.fileName);
        EXPECT_EQ(a.compressedSize, b.compressedSize);
        EXPECT_EQ(a.method, b.method);
        EXPECT_EQ(a.crc32, b.crc32);
        EXPECT_EQ(a.externalAttributes, b.externalAttributes);
        EXPECT_EQ(a.dosTime, b.dosTime);
        EXPECT_EQ(after.extractToString(a.fileName), before.extractToString(a.fileName));
    }
}

TEST(ZipArchive, FindFileIsAnExactLookupThatAcceptsBackslashes) {
    Project p;
    ZipArchive zip;
    zip.open(p.store());
    EXPECT_EQ(zip.findFile("Site\\bin\\run.sh"), zip.findFile("Site/bin/run.sh"));
    EXPECT_GE(zip.findFile("Site/bin/"), 0);
    EXPECT_EQ(zip.findFile("site/a.txt"), -1);
    EXPECT_EQ(zip.findFile("Site/a"), -1);
    EXPECT_THROW(zip.extractToString("Site/none.txt"), ArchiveError);
}

TEST(ZipArchive, RefusesWhatTheFormatCannotHoldInsteadOfTruncatingIt) {
    TempDir t;
    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.addFromMemory("taken.txt", "x", 0x3C210000);
    const struct {
        std::string name, message;
    } cases[] = {
        {std::string(65536, 'n'), "longer than 65,535 bytes"},
        {"../up.txt", "\"..\" part"},
        {"Site/../../up.txt", "\"..\" part"},
        {"/etc/passwd", "absolute"},
        {"C:/x.txt", "drive letter"},
        {"a//b.txt", "empty part"},
        {"bell\x07.txt", "control character"},
        {std::string("nul\0x", 5), "NUL"},
        {"taken.txt", "already holds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            zip.addFromMemory(c.name, "data", 0x3C210000);
            ADD_FAILURE() << "accepted";
        } catch (const ArchiveError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(zip.setComment(std::string(65536, 'c')), ArchiveError);
    EXPECT_THROW(zip.setComment(std::string("imitation PK\x05\x06 of an end record")), ArchiveError);

    // The longest name and comment that fit do round-trip.
    const std::string longest(65535, 'n');
    zip.addFromMemory(longest, "long", 0x3C210000);
    zip.setComment(std::string(65535, 'c'));
    zip.save();
    ZipArchive again;
    again.open(t / "A.zip");
    EXPECT_EQ(again.count(), 2u);
    EXPECT_EQ(again.extractToString(longest), "long");
    EXPECT_EQ(again.comment().size(), 65535u);
}

// A directory of several megabytes is read through a window: entries that straddle its
// edges, the longest name among them, all come back whole and in order.
TEST(ZipArchive, ADirectoryLargerThanTheReadingWindowReadsWhole) {
    TempDir t;
    ZipArchive zip;
    zip.open(t / "Many.zip");
    std::vector<std::string> names;
    for (int i = 0; i < 6000; ++i) {
        if (i == 2500) {
            names.push_back(std::string(65535, 'L'));
            zip.addFromMemory(names.back(), "longest", 0x3C210000);
        }
        names.push_back("dir/" + std::to_string(i) + std::string(std::size_t(300 + i % 457), 'x'));
        zip.addFromMemory(names.back(), std::to_string(i), 0x3C210000);
    }
    zip.save();
    ZipArchive again;
    again.open(t / "Many.zip");
    ASSERT_EQ(again.count(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(again.item(i).fileName, names[i]);
    EXPECT_EQ(again.extractToString(names.back()), "5999");
    EXPECT_EQ(again.extractToString(std::string(65535, 'L')), "longest");
}

TEST(ZipArchive, FilesThatVanishedOrAreNoFilesAreSkippedAndListed) {
    Project p;
    ASSERT_EQ(::mkfifo((p.dir / "Site/fifo").c_str(), 0600), 0);
    ZipArchive zip;
    zip.open(p.dir / "A.zip");
    zip.setBaseDirectory(p.dir.path());
    zip.addFile("Site/a.txt");
    zip.addFile("Site/gone.txt");
    zip.addFile("Site/fifo"); // reading it would block the save for ever
    zip.addFile("Site/bin");  // a folder where a file was listed
    zip.addFile("Site/empty.txt");
    zip.save();
    EXPECT_EQ(zip.skippedFiles(), (std::vector<std::string>{"Site/gone.txt", "Site/fifo", "Site/bin"}));
    ASSERT_EQ(zip.count(), 2u);
    EXPECT_EQ(zip.item(0).fileName, "Site/a.txt");
    EXPECT_EQ(zip.item(1).fileName, "Site/empty.txt");
}

// A store plans from its listing; a file read otherwise than listed moments before is stored
// as it is found, never as the listing said: grown, shrunk, emptied, or no longer a file.
TEST(ZipArchive, FilesReadOtherwiseThanListedAreStoredAsFound) {
    TempDir t;
    t.write("same.txt", "listed as it is");
    t.write("grown.txt", "0123456789"); // listed with 3 bytes
    t.write("shrunk.txt", "abc");       // listed with 10 bytes
    t.write("empty.txt", "");
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0); // a file of 0 bytes when listed
    const auto listed = [](std::uint64_t size) { return FileFacts{size, 0640, kTime, 0}; };
    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.setBaseDirectory(t.path());
    zip.addFile("same.txt", listed(15));
    zip.addFile("grown.txt", listed(3));
    zip.addFile("shrunk.txt", listed(10));
    zip.addFile("empty.txt", listed(0));
    zip.addFile("fifo", listed(0));
    zip.save();
    EXPECT_EQ(zip.skippedFiles(), std::vector<std::string>{"fifo"});
    ASSERT_EQ(zip.count(), 4u);
    for (const std::string name : {"same.txt", "grown.txt", "shrunk.txt", "empty.txt"}) {
        SCOPED_TRACE(name);
        const std::string data = test::readFile(t / name);
        const ZipItem& item = zip.item(std::size_t(zip.findFile(name)));
        EXPECT_EQ(item.uncompressedSize, data.size());
        EXPECT_EQ(item.crc32, test::crcOf(data));
        EXPECT_EQ(zip.extractToString(name), data);
    }
    // Found as listed, the listing's facts are the item's.
    EXPECT_EQ(zip.item(std::size_t(zip.findFile("same.txt"))).modificationTime, kTime);
    EXPECT_EQ(zip.item(std::size_t(zip.findFile("same.txt"))).unixMode(), 0640u);
}

TEST(ZipArchive, ProgressIsReportedForTheArchiveAndEachItem) {
    Project p;
    ZipArchive zip;
    zip.open(p.dir / "A.zip");
    std::vector<int> archive;
    int items = 0;
    zip.setProgressCallback([&](ProgressScope scope, int percent) {
        if (scope == ProgressScope::Archive)
            archive.push_back(percent);
        else if (percent == 100)
            ++items;
    });
    zip.setBaseDirectory(p.dir.path());
    for (const auto& f : p.files)
        zip.addFile(f);
    zip.save();
    ASSERT_FALSE(archive.empty());
    EXPECT_EQ(archive.front(), 0);
    EXPECT_EQ(archive.back(), 100);
    EXPECT_TRUE(std::is_sorted(archive.begin(), archive.end()));
    EXPECT_EQ(items, int(p.files.size()));
}

TEST(ZipArchive, NewArchiveIsCreatedBySaveEvenWhenEmpty) {
    TempDir t;
    ZipArchive zip;
    zip.open(t / "New.zip");
    EXPECT_EQ(zip.count(), 0u);
    EXPECT_FALSE(pathExists(t / "New.zip"));
    zip.save();
    ZipArchive again;
    again.open(t / "New.zip");
    EXPECT_EQ(again.count(), 0u);
    zip.closeArchive();
    EXPECT_EQ(zip.fileName(), "");
    EXPECT_EQ(ZipArchive::temporaryTwin("/p/Site-101203.1530c.zip"), "/p/Site-101203.1530c.tmp");
    EXPECT_EQ(ZipArchive::temporaryTwin("/p/X.ZIP"), "/p/X.tmp");
    EXPECT_EQ(ZipArchive::temporaryTwin("/p/noext"), "/p/noext.tmp");
}

TEST(ZipArchive, Zip64RecordsWhenForcedAndWhenTheCountOutgrowsSixteenBits) {
    Project p;
    SaveOptions zip64;
    zip64.forceZip64 = true;
    ZipArchive zip;
    zip.open(p.store("Z.zip", zip64));
    ASSERT_EQ(zip.count(), 10u);
    for (std::size_t i = 0; i < zip.count(); ++i)
        EXPECT_EQ(test::crcOf(zip.extractToString(zip.item(i).fileName)), zip.item(i).crc32);

    TempDir t;
    ZipArchive many;
    many.open(t / "M.zip");
    for (int i = 0; i < 66000; ++i)
        many.addFolder("f" + std::to_string(i) + "/", 0x3C210000);
    many.save();
    ZipArchive again;
    again.open(t / "M.zip");
    ASSERT_EQ(again.count(), 66000u);
    EXPECT_EQ(again.item(65999).fileName, "f65999/");
}

TEST(ZipArchive, ExtractFilesExRestoresTheTreeButNotTheExcludedItems) {
    Project p;
    const std::string path = p.store();
    ZipArchive zip;
    zip.open(path);
    zip.setBaseDirectory(p.dir / "out");
    zip.extractFilesEx("*", "_kpad_\\*");
    EXPECT_EQ(
        test::entriesUnder(p.dir / "out"),
        (std::vector<std::string>{"Site/", "Site/a.txt", "Site/bin/", "Site/bin/run.sh", "Site/empty.txt",
                                  "Site/random.bin", "Site/tab\tname.txt", "Site/Проект €.txt"}));
    for (const auto& f : p.files) {
        SCOPED_TRACE(f);
        EXPECT_EQ(test::readFile(p.dir / ("out/" + f)), test::readFile(p.dir / f));
        struct stat st;
        ASSERT_EQ(::stat((p.dir / ("out/" + f)).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, kTime);
        EXPECT_EQ(st.st_mode & 0777, f == "Site/bin/run.sh" ? 0755u : 0644u);
    }
    // Extracting again replaces the files in place.
    p.dir.write("out/Site/a.txt", "edited");
    zip.extractFilesEx("Site/a.txt", "");
    EXPECT_EQ(test::readFile(p.dir / "out/Site/a.txt"), test::readFile(p.dir / "Site/a.txt"));
}
