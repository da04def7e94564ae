// What a Linux file system may hold and the kit must carry whole: names with backslashes or
// bytes that are not UTF-8, paths longer than one system call takes, folder modes and special
// bits; and an archive whose local headers name other items than its directory.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "ZipFixtures.h"
#include "platform/DosTime.h"
#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "platform/OutputFile.h"
#include "support/TempDir.h"
#include "zip/ArchiveCheck.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

constexpr DosDateTime kTime = 0x3D834000u;

// Reads and writes through the platform, which reaches paths of any length.
std::string readAnyLength(const std::string& path) {
    InputFile file;
    if (!file.open(path)) return "<cannot open>";
    std::string data(file.size(), '\0');
    return file.readAt(0, data.data(), data.size()) ? data : "<cannot read>";
}

void writeAnyLength(const std::string& path, const std::string& data) {
    ASSERT_TRUE(makeFolders(withoutTrailingSlash(folderPart(path))));
    OutputFile out;
    ASSERT_TRUE(out.create(path + ".part"));
    ASSERT_TRUE(out.write(data.data(), data.size()));
    ASSERT_TRUE(out.commit(path, false));
}

} // namespace

TEST(ZipNames, BackslashesAndBytesThatAreNotUtf8AreKeptAsTheyAre) {
    TempDir t;
    const struct {
        std::string name;
        bool utf8;
    } files[] = {
        {"Site/a\\b.txt", true},
        {"Site/dir\\name/x.txt", true},
        {"Site/caf\xe9.txt", false}, // Latin-1
        {"Site/\xff\xfe/inner.txt", false},
        {"Site/Проект.txt", true},
    };
    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.setBaseDirectory(t.path());
    zip.addFolder("Site/dir\\name/", kTime, 0755);
    zip.addFolder("Site/\xff\xfe/", kTime, 0755);
    std::vector<std::string> names;
    for (const auto& f : files) {
        t.write(f.name, f.name);
        zip.addFile(f.name);
        names.push_back(f.name);
    }
    zip.save();
    ASSERT_TRUE(zip.skippedFiles().empty());

    ZipArchive again;
    again.open(t / "A.zip");
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const int index = again.findFile(f.name);
        ASSERT_GE(index, 0);
        const ZipItem& item = again.item(std::size_t(index));
        EXPECT_EQ(item.fileName, f.name);
        EXPECT_EQ((item.flags & 0x800) != 0, f.utf8);
        EXPECT_EQ(item.host, kHostUnix);
    }
    EXPECT_EQ(again.findFile("Site/a/b.txt"), -1) << "a backslash is no separator";
    EXPECT_EQ(compareWithDisk(again, names, t.path()), (std::vector<std::pair<std::string, std::string>>{}));
    EXPECT_EQ(verifyArchive(t / "A.zip"), std::vector<std::string>{});

    again.setBaseDirectory(t / "out");
    again.extractFilesEx("*", "");
    for (const auto& f : files)
        EXPECT_EQ(readFile(t / ("out/" + f.name)), f.name) << f.name;
    EXPECT_FALSE(pathExists(t / "out/Site/a")) << "no folder was made of the part before a backslash";

    // Unix-made names without the flag are their bytes; the same bytes from MS-DOS are CP437.
    RawItem unixName{"caf\xe9.txt", "u"};
    unixName.flags = 0;
    RawItem dosName{"caf\x82.txt", "d"};
    dosName.flags = 0;
    dosName.madeBy = 0x0014;
    t.write("mixed.zip", buildZip({unixName, dosName}).bytes);
    ZipArchive mixed;
    mixed.open(t / "mixed.zip");
    EXPECT_EQ(mixed.item(0).fileName, "caf\xe9.txt");
    EXPECT_EQ(mixed.item(1).fileName, "café.txt");
}

TEST(ZipNames, PathsLongerThanTheSystemTakesWholeAreStoredAndExtracted) {
    TempDir t;
    std::string deep = "Site";
    while (deep.size() < 4300)
        deep += "/a-folder-name-of-some-length-" + std::to_string(deep.size());
    const std::string file = deep + "/deep.txt";
    writeAnyLength(t / file, "deep down");

    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.setBaseDirectory(t.path());
    zip.addFolder(deep + "/", kTime, 0700);
    zip.addFile(file);
    zip.save();
    ASSERT_EQ(zip.skippedFiles(), std::vector<std::string>{});
    EXPECT_EQ(compareWithDisk(zip, {file}, t.path()), (std::vector<std::pair<std::string, std::string>>{}));

    zip.setBaseDirectory(t / "out");
    zip.extractFilesEx("*", "");
    EXPECT_EQ(readAnyLength(t / ("out/" + file)), "deep down");
}

TEST(ZipNames, FolderItemsCarryTheirModeAndAreFoundAsEveryToolWritesThem) {
    TempDir t;
    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.addFolder("shared/", kTime, 02775);
    zip.addFolder("tmp/", kTime, 01777);
    zip.addFolder("old/", kTime); // no mode known: made by MS-DOS, as before
    zip.save();
    ZipArchive again;
    again.open(t / "A.zip");
    const struct {
        std::uint32_t external;
        std::uint8_t host;
        std::uint32_t mode;
    } expected[] = {{(042775u << 16) | 0x10, kHostUnix, 02775},
                    {(041777u << 16) | 0x10, kHostUnix, 01777},
                    {0x10, kHostDos, 0}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(again.item(i).fileName);
        EXPECT_TRUE(again.item(i).isFolder());
        EXPECT_EQ(again.item(i).externalAttributes, expected[i].external);
        EXPECT_EQ(again.item(i).host, expected[i].host);
        EXPECT_EQ(again.item(i).unixMode(), expected[i].mode);
    }
    ZipItem attributeOnly;
    attributeOnly.fileName = "Folder";
    attributeOnly.externalAttributes = 0x10;
    EXPECT_TRUE(attributeOnly.isFolder());
    ZipItem unixFolder;
    unixFolder.fileName = "Folder/";
    unixFolder.host = kHostUnix;
    unixFolder.externalAttributes = 040755u << 16;
    EXPECT_TRUE(unixFolder.isFolder());
}

TEST(ZipNames, ExtractedFilesKeepTheirSpecialBits) {
    TempDir t;
    ZipArchive zip;
    zip.open(t / "A.zip");
    zip.addFromMemory("setuid", "u", kTime, 0104755u << 16);
    zip.addFromMemory("setgid", "g", kTime, 0102750u << 16);
    zip.addFromMemory("plain", "p", kTime, 0100600u << 16);
    zip.save();
    zip.setBaseDirectory(t / "out");
    zip.extractFilesEx("*", "");
    const std::pair<const char*, mode_t> modes[] = {{"setuid", 04755}, {"setgid", 02750}, {"plain", 0600}};
    for (const auto& [name, mode] : modes) {
        struct stat st;
        ASSERT_EQ(::stat((t / ("out/" + std::string(name))).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << name;
    }
}

// The directory lists "a.txt", the local header says "b.txt": tools that walk local headers
// would see another archive than this kit, so the item counts as damaged.
TEST(ZipNames, LocalHeaderNamingAnotherItemIsRefusedAsDamage) {
    TempDir t;
    RawItem good{"good.txt", "fine"}, forged{"a.txt", "forged"};
    RawZip raw = buildZip({good, forged});
    raw.bytes.replace(raw.local[1] + 30, 5, "b.txt");
    const std::string path = t.write("forged.zip", raw.bytes);

    const std::vector<std::string> bad = verifyArchive(path);
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_NE(bad[0].find("a.txt"), std::string::npos) << bad[0];
    EXPECT_NE(bad[0].find("another name"), std::string::npos) << bad[0];

    ZipArchive zip;
    zip.open(path);
    EXPECT_EQ(zip.extractToString("good.txt"), "fine");
    EXPECT_THROW(zip.extractToString("a.txt"), ArchiveError);
    zip.setBaseDirectory(t / "out");
    EXPECT_THROW(zip.extractFilesEx("*", ""), ArchiveError);
    EXPECT_FALSE(pathExists(t / "out/good.txt")) << "refused before anything is written";
}
