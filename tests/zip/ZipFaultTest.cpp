// The fault seam: a sink that fails its k-th write, its flush or its rename, the way a full or
// failing disk does. Whatever fails, the old archive stays as it was (or no archive appears),
// no partial file is left, and the error says what failed.
#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include "ZipFixtures.h"
#include "platform/FileSystem.h"
#include "zip/ZipArchive.h"
#include "support/TempDir.h"

using namespace kp;
using namespace kp::test;

namespace {

struct Faults {
    int failingWrite = 0; // 1-based; 0 = none
    bool failFlush = false;
    bool failRename = false;
    int writes = 0; // counted as they happen
};

class FailingSink final : public OutputSink {
public:
    FailingSink(std::unique_ptr<OutputSink> inner, Faults& faults)
        : m_inner(std::move(inner)), m_faults(faults) {}
    void write(const void* data, std::size_t n) override {
        count();
        m_inner->write(data, n);
    }
    void writeAt(std::uint64_t offset, const void* data, std::size_t n) override {
        count();
        m_inner->writeAt(offset, data, n);
    }
    void truncate(std::uint64_t size) override {
        count();
        m_inner->truncate(size);
    }
    std::uint64_t position() const override { return m_inner->position(); }
    void drain() override { m_inner->drain(); }
    void flush() override {
        if (m_faults.failFlush) throw SinkError("flush", EIO);
        m_inner->flush();
    }
    void commit(const std::string& finalPath) override {
        if (m_faults.failRename) throw SinkError("rename", EACCES);
        m_inner->commit(finalPath);
    }
    void discard() noexcept override { m_inner->discard(); }

private:
    void count() {
        if (++m_faults.writes == m_faults.failingWrite) throw SinkError("write", ENOSPC);
    }
    std::unique_ptr<OutputSink> m_inner;
    Faults& m_faults;
};

std::string someText(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "text line " + std::to_string(i % 97) + "\n";
    return s;
}

// Small pieces, so that the pieces path (with its header patch and its rewind) is exercised too.
SaveOptions smallPieces() {
    SaveOptions o;
    o.wholeFileLimit = 16 * 1024;
    o.chunkSize = 8 * 1024;
    o.memoryBudget = 48 * 1024;
    return o;
}

struct Workspace {
    TempDir dir;
    Workspace() {
        dir.write("Site/a.txt", someText(300));
        dir.write("Site/big.txt", someText(4000)); // compressed in pieces
        std::mt19937 rng(7);
        std::string noise(40000, '\0');
        for (char& c : noise)
            c = char(rng());
        dir.write("Site/noise.bin", noise); // pieces, then stored after all
    }
    // Changes an archive the way saving an edited log does, plus files to compress.
    void change(ZipArchive& zip, Faults& faults) {
        zip.setSaveOptions(smallPieces());
        zip.setSinkFactory([&faults](const std::string& path) {
            return std::make_unique<FailingSink>(makeFileSink(path), faults);
        });
        zip.setBaseDirectory(dir.path());
        zip.deleteFiles("_kpad_/project.log");
        zip.addFromMemory("_kpad_/project.log", someText(50), 0x3C210000);
        if (zip.findFile("Site/a.txt") < 0)
            for (const char* f : {"Site/a.txt", "Site/big.txt", "Site/noise.bin"})
                zip.addFile(f);
        zip.setComment("changed");
    }
};

void expectFailure(ZipArchive& zip, const std::string& expected) {
    try {
        zip.save();
        ADD_FAILURE() << "the save succeeded";
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
}

} // namespace

TEST(ZipFaults, FailingRewriteLeavesTheOldArchiveIntact) {
    Workspace w;
    const std::string path = w.dir / "A.zip";
    {
        ZipArchive zip;
        zip.open(path);
        zip.addFromMemory("_kpad_/project.log", "old log", 0x3C210000);
        zip.save();
    }
    const std::string original = readFile(path);

    Faults dryRun;
    {
        TempDir other;
        const std::string copy = other.write("A.zip", original);
        ZipArchive zip;
        zip.open(copy);
        w.change(zip, dryRun);
        zip.save();
    }
    ASSERT_GT(dryRun.writes, 10);

    for (int k = 1; k <= dryRun.writes; ++k) {
        SCOPED_TRACE("failing write " + std::to_string(k));
        Faults faults;
        faults.failingWrite = k;
        ZipArchive zip;
        zip.open(path);
        w.change(zip, faults);
        expectFailure(zip, "the disk is full");
        EXPECT_EQ(readFile(path), original);
        EXPECT_FALSE(pathExists(w.dir / "A.tmp"));
    }

    Faults flush;
    flush.failFlush = true;
    ZipArchive zip;
    zip.open(path);
    w.change(zip, flush);
    expectFailure(zip, "cannot flush it to the disk");
    flush.failFlush = false;
    flush.failRename = true;
    expectFailure(zip, "cannot rename " + w.dir / "A.tmp");
    EXPECT_EQ(readFile(path), original);
    EXPECT_FALSE(pathExists(w.dir / "A.tmp"));

    // Nothing pending was lost: once the disk is fine again, the same save goes through.
    flush.failRename = false;
    zip.save();
    ZipArchive again;
    again.open(path);
    EXPECT_EQ(again.comment(), "changed");
    EXPECT_EQ(again.extractToString("_kpad_/project.log"), someText(50));
    EXPECT_EQ(again.extractToString("Site/big.txt"), someText(4000));
}

// The check of a store runs on the archive as written, while the disk takes it where the
// system allows (on the file not yet renamed); a flush that fails afterwards still fails the save.
TEST(ZipFaults, WorkOnTheWrittenArchiveSeesItWholeAndAFailedFlushStillFailsTheSave) {
    Workspace w;
    const std::string path = w.dir / "A.zip";
    for (const bool failFlush : {true, false}) {
        SCOPED_TRACE(failFlush ? "the flush fails" : "the flush succeeds");
        Faults faults;
        faults.failFlush = failFlush;
        ZipArchive zip;
        zip.open(path);
        w.change(zip, faults);
        int worked = 0;
        const auto work = [&](const ZipArchive& written) {
            ++worked;
            EXPECT_EQ(written.fileName(), path);
            EXPECT_EQ(pathExists(path), !openFilesCanBeRenamed()) << "before the rename where it may be";
            EXPECT_EQ(written.extractToString("Site/big.txt"), someText(4000));
            EXPECT_EQ(written.comment(), "changed");
        };
        if (failFlush) {
            try {
                zip.save(work);
                ADD_FAILURE() << "the save succeeded";
            } catch (const ArchiveError& e) {
                EXPECT_NE(std::string(e.what()).find("cannot flush it to the disk"), std::string::npos) << e.what();
            }
            EXPECT_EQ(worked, openFilesCanBeRenamed() ? 1 : 0);
            EXPECT_FALSE(pathExists(path));
        } else {
            zip.save(work);
            EXPECT_EQ(worked, 1);
            EXPECT_EQ(zip.extractToString("_kpad_/project.log"), someText(50)) << "read from the archive as renamed";
        }
        EXPECT_FALSE(pathExists(w.dir / "A.tmp"));
    }
}

TEST(ZipFaults, FailingNewArchiveLeavesNoArchiveAtAll) {
    Workspace w;
    Faults dryRun;
    {
        ZipArchive zip;
        zip.open(w.dir / "Dry.zip");
        w.change(zip, dryRun);
        zip.save();
    }
    for (int k = 1; k <= dryRun.writes; ++k) {
        SCOPED_TRACE("failing write " + std::to_string(k));
        Faults faults;
        faults.failingWrite = k;
        ZipArchive zip;
        zip.open(w.dir / "New.zip");
        w.change(zip, faults);
        expectFailure(zip, "the disk is full");
        EXPECT_FALSE(pathExists(w.dir / "New.zip"));
        EXPECT_FALSE(pathExists(w.dir / "New.tmp"));
    }
}

namespace {

// Failures from outside the file layer: a progress callback that throws, and an old item
// whose name no longer fits once decoded (CP437 bytes become two-byte UTF-8 characters).
TEST(ZipFaults, ForeignFailuresLeaveTheOldArchiveAndNoTemporary) {
    TempDir dir;
    {
        ZipArchive fresh;
        fresh.open(dir / "cb.zip");
        fresh.addFromMemory("a.txt", "a", 0x3D834000u);
        fresh.setProgressCallback([](ProgressScope, int) { throw std::runtime_error("cancelled"); });
        EXPECT_THROW(fresh.save(), std::runtime_error);
    }
    EXPECT_FALSE(pathExists(dir / "cb.zip"));
    EXPECT_FALSE(pathExists(dir / "cb.tmp"));

    RawItem longName;
    longName.name = std::string(40000, '\x80'); // CP437 "Ç", two bytes in UTF-8
    longName.flags = 0;
    longName.madeBy = 0x0014; // MS-DOS: the name is CP437
    RawItem other;
    other.name = "ok.txt";
    const std::string original = buildZip({longName, other}).bytes;
    const std::string path = dir.write("old.zip", original);
    ZipArchive zip;
    zip.open(path);
    zip.deleteFiles("ok.txt");
    EXPECT_THROW(zip.save(), ArchiveError);
    EXPECT_EQ(readFile(path), original);
    EXPECT_FALSE(pathExists(dir / "old.tmp"));
}

} // namespace
