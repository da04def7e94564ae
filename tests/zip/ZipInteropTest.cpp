// The kit against the common ZIP tools, both ways. The tools are test dependencies: a missing
// one fails the test rather than skipping it.
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

#include "ZipFixtures.h"
#include "platform/DosTime.h"
#include "zip/ArchiveCheck.h"
#include "zip/ZipArchive.h"
#include "support/TempDir.h"

using namespace kp;
using namespace kp::test;

namespace {

constexpr long long kTime = 1291386601; // an odd second: DOS times have 2-second steps
const std::string kUtf8 = "LC_ALL=C.UTF-8 ";
const std::string kPython = "/usr/bin/python3";

std::string text(std::size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i)
        s += "line " + std::to_string(i * 7919 % 1000) + " of some source text\n";
    s.resize(n);
    return s;
}

// Files of every kind the kit writes differently: Deflate, stored, empty, in pieces (both
// Deflate and stored), executable, with names beyond ASCII.
std::vector<std::string> makeTree(const TempDir& t, const std::string& root) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.txt", text(5000)},
        {"bin/run.sh", "#!/bin/sh\necho hi\n"},
        {"empty.txt", ""},
        {"Проект ü€.txt", "unicode name"},
        {"sub/random.bin", randomBytes(30000, 3)},
        {"sub/big.txt", text(200000)},
        {"sub/big-random.bin", randomBytes(70000, 4)},
    };
    std::vector<std::string> names;
    for (const auto& [name, data] : files) {
        const std::string rel = root + "/" + name;
        t.write(rel, data);
        touch(t / rel, kTime);
        names.push_back(rel);
    }
    ::chmod((t / (root + "/bin/run.sh")).c_str(), 0755);
    return names;
}

SaveOptions pieces(bool zip64) {
    SaveOptions o;
    o.wholeFileLimit = 64 * 1024;
    o.chunkSize = 16 * 1024;
    o.forceZip64 = zip64;
    return o;
}

std::string python(const std::string& script, const std::string& args) {
    return kPython + " -c " + shellQuote(script) + " " + args;
}

} // namespace

TEST(ZipInterop, KitArchivesPassEveryToolAndUnzipRestoresBytesTimesAndModes) {
    requireTools({"unzip", "7zz", "bsdtar", kPython});
    for (bool zip64 : {false, true}) {
        SCOPED_TRACE(zip64 ? "forced ZIP64" : "plain");
        TempDir t;
        const std::vector<std::string> files = makeTree(t, "Site");
        const std::string path = t / "A.zip";
        {
            ZipArchive zip;
            zip.open(path);
            zip.setSaveOptions(pieces(zip64));
            zip.setComment("the comment");
            zip.addFolder("Site/", toDosDateTime(std::time_t(kTime)));
            zip.addFromMemory("_kpad_/project.set", "pn=Site\r\n", toDosDateTime(std::time_t(kTime)));
            zip.setBaseDirectory(t.path());
            for (const auto& f : files)
                zip.addFile(f);
            zip.save();
        }
        const std::string q = shellQuote(path);
        EXPECT_EQ(run(kUtf8 + "unzip -tq " + q + " >/dev/null"), 0);
        EXPECT_EQ(run(kUtf8 + "7zz t " + q + " >/dev/null"), 0);
        EXPECT_EQ(run(python("import sys, zipfile\n"
                             "z = zipfile.ZipFile(sys.argv[1])\n"
                             "sys.exit(0 if z.testzip() is None and z.comment == b'the comment' else 1)",
                             q)),
                  0);
        std::string listing;
        EXPECT_EQ(run(kUtf8 + "bsdtar -tf " + q, &listing), 0);
        EXPECT_NE(listing.find("Site/Проект ü€.txt"), std::string::npos) << listing;

        ASSERT_EQ(run(kUtf8 + "unzip -q " + q + " -d " + shellQuote(t / "out")), 0);
        for (const auto& f : files) {
            SCOPED_TRACE(f);
            EXPECT_EQ(readFile(t / ("out/" + f)), readFile(t / f));
            struct stat original, restored;
            ASSERT_EQ(::stat((t / f).c_str(), &original), 0);
            ASSERT_EQ(::stat((t / ("out/" + f)).c_str(), &restored), 0);
            EXPECT_LE(std::llabs(restored.st_mtime - original.st_mtime), 2);
            EXPECT_EQ(restored.st_mode & 0111, original.st_mode & 0111);
        }
        struct stat folder;
        ASSERT_EQ(::stat((t / "out/Site").c_str(), &folder), 0);
        EXPECT_TRUE(S_ISDIR(folder.st_mode));
        EXPECT_EQ(folder.st_mode & 0700, 0700u); // a folder item made by MS-DOS, not mode 0
    }
}

TEST(ZipInterop, ReadsAndChecksArchivesOfOtherTools) {
    requireTools({"zip", "7zz", "bsdtar", kPython});
    TempDir t;
    const std::vector<std::string> files = makeTree(t, "src");
    const std::string cd = "cd " + shellQuote(t.path()) + " && ";
    const std::string pythonWriter =
        "import os, sys, zipfile\n"
        "force = sys.argv[2] == 'zip64'\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for root, dirs, names in sorted(os.walk('src')):\n"
        "        for n in sorted(names):\n"
        "            p = os.path.join(root, n)\n"
        "            with open(p, 'rb') as f, z.open(p, 'w', force_zip64=force) as out:\n"
        "                out.write(f.read())\n";
    const struct {
        const char* tool;
        std::string command;
    } makers[] = {
        {"zip", cd + kUtf8 + "zip -qr zip.zip src"},
        {"zip to a pipe", cd + kUtf8 + "zip -qr - src | cat > pipe.zip"},
        {"7zz", cd + kUtf8 + "7zz a -tzip 7zz.zip src >/dev/null"},
        {"python", cd + python(pythonWriter, "python.zip plain")},
        {"python zip64", cd + python(pythonWriter, "python64.zip zip64")},
        {"bsdtar", cd + kUtf8 + "bsdtar --format zip -cf bsdtar.zip src"},
    };
    const char* archives[] = {"zip.zip", "pipe.zip", "7zz.zip", "python.zip", "python64.zip", "bsdtar.zip"};
    for (std::size_t m = 0; m < std::size(makers); ++m) {
        SCOPED_TRACE(makers[m].tool);
        ASSERT_EQ(run(makers[m].command), 0) << makers[m].command;
        const std::string path = t / archives[m];
        EXPECT_EQ(verifyArchive(path), std::vector<std::string>{});
        ZipArchive zip;
        zip.open(path);
        bool descriptors = false;
        for (std::size_t i = 0; i < zip.count(); ++i)
            descriptors = descriptors || (zip.item(i).flags & 8);
        if (std::string(makers[m].tool) == "zip to a pipe") {
            EXPECT_TRUE(descriptors);
        }
        for (const auto& f : files) {
            SCOPED_TRACE(f);
            ASSERT_GE(zip.findFile(f), 0);
            EXPECT_EQ(zip.extractToString(f), readFile(t / f));
        }
        // Rewriting copies the foreign items raw, and the result is still sound for other tools.
        zip.deleteFiles("src/empty.txt");
        zip.save();
        EXPECT_EQ(run(kUtf8 + "unzip -tq " + shellQuote(path) + " >/dev/null"), 0);
        EXPECT_EQ(verifyArchive(path), std::vector<std::string>{});
    }
}

TEST(ZipInterop, ReadsNamesInTheDosCodePage) {
    requireTools({kPython});
    TempDir t;
    // Python writes non-ASCII names as UTF-8; this writer stores the code page 437 bytes of "café"
    // without the UTF-8 flag and as made by MS-DOS, as DOS and Windows tools do.
    const std::string script = "import sys, zipfile\n"
                               "class Dos(zipfile.ZipInfo):\n"
                               "    def __init__(self, name):\n"
                               "        super().__init__(name)\n"
                               "        self.create_system = 0\n"
                               "    def _encodeFilenameFlags(self):\n"
                               "        return self.filename.encode('cp437'), self.flag_bits\n"
                               "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                               "    z.writestr(Dos('Dossier/café.txt'), 'bonjour ' * 50)\n";
    ASSERT_EQ(run(python(script, shellQuote(t / "dos.zip"))), 0);
    ZipArchive zip;
    zip.open(t / "dos.zip");
    ASSERT_EQ(zip.count(), 1u);
    EXPECT_EQ(zip.item(0).flags & 0x800, 0);
    EXPECT_EQ(zip.item(0).fileName, "Dossier/café.txt");
    std::string expected;
    for (int i = 0; i < 50; ++i)
        expected += "bonjour ";
    EXPECT_EQ(zip.extractToString("Dossier/café.txt"), expected);
}

// An archive whose items were partly copied from an earlier one and partly stored is still a
// plain ZIP for every tool, and both the kit and unzip restore it byte for byte.
TEST(ZipInterop, ArchivesWithCopiedAndStoredItemsPassEveryTool) {
    requireTools({"unzip", "7zz", kPython});
    TempDir t;
    std::vector<std::string> files = makeTree(t, "Site");
    t.write("Site/photo.jpg", randomBytes(20000, 7));
    t.write("Site/clip.mp4", randomBytes(90000, 8)); // in pieces, stored
    files.push_back("Site/photo.jpg");
    files.push_back("Site/clip.mp4");
    auto store = [&](const std::string& name, const std::string& reuse) {
        ZipArchive zip;
        zip.open(t / name);
        zip.setSaveOptions(pieces(false));
        zip.setBaseDirectory(t.path());
        if (!reuse.empty()) zip.reuseItemsOf(t / reuse);
        for (const auto& f : files)
            zip.addFile(f);
        zip.save();
        return zip.reusedFiles().size();
    };
    store("first.zip", "");
    t.write("Site/a.txt", text(5000) + "edited");
    ASSERT_EQ(store("second.zip", "first.zip"), files.size() - 1);

    const std::string q = shellQuote(t / "second.zip");
    EXPECT_EQ(run(kUtf8 + "unzip -tq " + q + " >/dev/null"), 0);
    EXPECT_EQ(run(kUtf8 + "7zz t " + q + " >/dev/null"), 0);
    EXPECT_EQ(run(python("import sys, zipfile\nsys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)", q)), 0);
    ASSERT_EQ(run(kUtf8 + "unzip -q " + q + " -d " + shellQuote(t / "unzipped")), 0);
    ZipArchive zip;
    zip.open(t / "second.zip");
    zip.setBaseDirectory(t / "kit");
    zip.extractFilesEx("*", "");
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        EXPECT_EQ(readFile(t / ("unzipped/" + f)), readFile(t / f));
        EXPECT_EQ(readFile(t / ("kit/" + f)), readFile(t / f));
    }
    EXPECT_EQ(zip.item(zip.findFile("Site/clip.mp4")).method, 0);
    EXPECT_EQ(zip.item(zip.findFile("Site/photo.jpg")).method, 0);
}
