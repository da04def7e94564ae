// Damaged and hostile archives, each built byte by byte: every one is refused with a message
// that says what is wrong, and extraction writes nothing at all, least of all outside its folder.
#include <gtest/gtest.h>

#include <functional>

#include "ZipFixtures.h"
#include "zip/ZipArchive.h"
#include "support/TempDir.h"

using namespace kp;
using namespace kp::test;

namespace {

std::string zipOf(std::vector<RawItem> items, const std::string& comment = "") {
    return buildZip(items, comment).bytes;
}

// A benign item first: refusing must happen before it is written.
std::string withFirst(RawItem evil) {
    return zipOf({item("first.txt", "harmless"), std::move(evil)});
}

std::string patched(std::vector<RawItem> items, const std::function<void(RawZip&)>& change) {
    RawZip zip = buildZip(items);
    change(zip);
    return zip.bytes;
}

struct HostileCase {
    const char* what;
    std::function<std::string()> bytes;
    const char* message;
};

const std::string kText = [] {
    std::string s;
    for (int i = 0; i < 200; ++i)
        s += "repetitive text " + std::to_string(i % 7) + "\n";
    return s;
}();

const HostileCase kCases[] = {
    {"not an archive", [] { return std::string("just some text, long enough to scan"); },
     "end-of-directory record is missing"},
    {"too short", [] { return std::string("PK\x05\x06", 4); }, "not a ZIP archive"},
    {"truncated end",
     [] {
         auto b = zipOf({item("a.txt", "abc")});
         return b.substr(0, b.size() - 5);
     },
     "end-of-directory record is missing"},
    {"bytes cut from the middle",
     [] {
         auto b = zipOf({item("a.txt", "abcdefgh")});
         return b.substr(0, 30) + b.substr(36);
     },
     "does not end where"},
    {"directory offset wrong",
     [] { return patched({item("a.txt", "abc")}, [](RawZip& z) { poke32(z.bytes, z.end + 16, 1); }); },
     "does not end where"},
    {"count far beyond the directory",
     [] {
         return patched({item("a.txt", "abc")}, [](RawZip& z) {
             poke16(z.bytes, z.end + 8, 60000);
             poke16(z.bytes, z.end + 10, 60000);
         });
     },
     "claims 60000 items"},
    {"local header offset outside the data",
     [] {
         return patched({item("a.txt", "abc")},
                        [](RawZip& z) { poke32(z.bytes, z.central[0] + 42, 0x7FFFFFF0); });
     },
     "lies outside"},
    {"offset to no local header",
     [] {
         return patched({item("a.txt", "abcdefghijklmnopqrstuvwxyz0123456789")},
                        [](RawZip& z) { poke32(z.bytes, z.central[0] + 42, 40); });
     },
     "no local header"},
    {"stored sizes that differ",
     [] {
         auto it = item("a.txt", "abc");
         it.uncompressedSize = 8;
         return zipOf({it});
     },
     "sizes differ"},
    {"data running past the archive",
     [] {
         auto it = item("a.txt", "abc");
         it.compressedSize = it.uncompressedSize = 100000;
         return zipOf({it});
     },
     "runs past"},
    {"overlapping items",
     [] {
         return patched({item("a.txt", "abc"), item("b.txt", "def")},
                        [](RawZip& z) { poke32(z.bytes, z.central[1] + 42, 0); });
     },
     "overlaps"},
    {"duplicate names",
     [] {
         return zipOf({item("a.txt", "1"), item("a.txt", "2")});
     },
     "two items of this name"},
    {"NUL in a name", [] { return zipOf({item(std::string("a\0/../../x", 10), "1")}); }, "NUL byte"},
    {"escape sequence in a name", [] { return zipOf({item("\x1b[2Jred.txt", "1")}); }, "control character"},
    {"name marked UTF-8 that is not", [] { return zipOf({item("bad\xff\xfe.txt", "1")}); },
     "marked as UTF-8"},
    {"comment imitating an end record",
     [] {
         RawZip fake = buildZip({item("fake.txt", "fake")});
         std::string tail = fake.bytes.substr(fake.end); // 22 bytes that end the file by themselves
         return zipOf({item("a.txt", "abc")}, tail);
     },
     "imitates an end-of-directory record"},
    {"4 GiB claimed size",
     [] {
         auto it = deflated("a.txt", "hello");
         it.uncompressedSize = 0xFFFFFFFEu;
         return zipOf({it});
     },
     "more than Deflate can produce"},
    {"huge size claimed through ZIP64",
     [] {
         auto it = deflated("a.txt", "hello");
         it.uncompressedSize = 0xFFFFFFFFu;
         it.centralExtra = zip64Extra({1ull << 40});
         return zipOf({it});
     },
     "more than Deflate can produce"},
    {"damaged extra field",
     [] {
         auto it = item("a.txt", "abc");
         it.centralExtra = std::string("\x01\x00\xff\x00", 4);
         return zipOf({it});
     },
     "extra fields are damaged"},
    {"spanned archive",
     [] { return patched({item("a.txt", "abc")}, [](RawZip& z) { poke16(z.bytes, z.end + 4, 1); }); },
     "spans several disks"},
    {"ZIP64 locator pointing outside",
     [] {
         RawZip z = buildZip({item("a.txt", "abc")});
         poke32(z.bytes, z.end + 16, 0xFFFFFFFFu); // the directory offset defers to ZIP64
         std::string locator("PK\x06\x07\0\0\0\0", 8);
         locator += std::string("\xf0\xff\xff\x7f\0\0\0\0\x01\0\0\0", 12);
         return z.bytes.substr(0, z.end) + locator + z.bytes.substr(z.end);
     },
     "locator points outside"},
    // Data problems, found while the data streams.
    {"wrong CRC",
     [] {
         auto it = item("a.txt", "abc");
         it.crc = 0x12345678;
         return withFirst(it);
     },
     "does not match its CRC-32"},
    {"size larger than the data",
     [] {
         auto it = deflated("a.txt", kText);
         it.uncompressedSize = kText.size() + 1;
         return zipOf({it});
     },
     "shorter than its recorded size"},
    {"size smaller than the data",
     [] {
         auto it = deflated("a.txt", kText);
         it.uncompressedSize = 10;
         return zipOf({it});
     },
     "longer than its recorded size"},
    {"damaged Deflate data",
     [] {
         auto it = item("a.txt", "\xff\xff\xff\xff\xff\xff");
         it.method = 8;
         it.uncompressedSize = 6;
         return zipOf({it});
     },
     "compressed data is damaged"},
    {"Deflate data cut short",
     [] {
         auto it = deflated("a.txt", kText);
         it.data.resize(it.data.size() / 2);
         it.compressedSize = std::uint32_t(it.data.size());
         return zipOf({it});
     },
     "ends early"},
    {"encrypted item",
     [] {
         auto it = item("a.txt", "abc");
         it.flags |= 1;
         return zipOf({it});
     },
     "encrypted"},
    {"unknown method",
     [] {
         auto it = item("a.txt", "abc");
         it.method = 12;
         return zipOf({it});
     },
     "method 12"},
    // Names that would reach outside the target folder.
    {"parent part", [] { return withFirst(item("../evil.txt", "x")); }, "\"..\" part"},
    {"parent part deeper down", [] { return withFirst(item("Site/../../evil.txt", "x")); }, "\"..\" part"},
    {"absolute name", [] { return withFirst(item("/tmp/evil.txt", "x")); }, "absolute"},
    {"drive letter", [] { return withFirst(item("C:/evil.txt", "x")); }, "drive letter"},
    {"symbolic link",
     [] {
         auto it = item("link", "/etc/passwd");
         it.external = 0120777u << 16;
         return withFirst(it);
     },
     "symbolic link"},
};

} // namespace

TEST(ZipHostile, EveryCaseIsRefusedWithItsMessageAndNothingIsWritten) {
    for (const HostileCase& c : kCases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        t.write("evil.zip", c.bytes());
        t.mkdir("target");
        ZipArchive zip;
        try {
            zip.open(t / "evil.zip");
            zip.setBaseDirectory(t / "target");
            zip.extractFilesEx("*", "");
            ADD_FAILURE() << "accepted";
        } catch (const ArchiveError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
            EXPECT_NE(message.find(t / "evil.zip"), std::string::npos) << message;
        }
        if (std::string(c.message) == "does not match its CRC-32") {
            // Found only after "first.txt" was written; the bad item itself is not left behind.
            EXPECT_EQ(entriesUnder(t.path()),
                      (std::vector<std::string>{"evil.zip", "target/", "target/first.txt"}));
        } else {
            EXPECT_EQ(entriesUnder(t.path()), (std::vector<std::string>{"evil.zip", "target/"}));
        }
    }
}

TEST(ZipHostile, NamesInTheDosCodePageAndUnicodePathFieldsAreDecoded) {
    TempDir t;
    RawItem dos = item("caf\x82.txt", "cp437"); // é in code page 437
    dos.flags = 0;
    dos.madeBy = 0x0014; // MS-DOS
    RawItem marked = item("Проект.txt", "utf8");
    // An Info-ZIP Unicode path field names the item in UTF-8 when the header holds another form.
    RawItem unicode = item("x?.txt", "unicode path");
    unicode.flags = 0;
    unicode.centralExtra = unicodePathExtra("x?.txt", "xü.txt");
    t.write("names.zip", zipOf({dos, marked, unicode}));

    ZipArchive zip;
    zip.open(t / "names.zip");
    ASSERT_EQ(zip.count(), 3u);
    EXPECT_EQ(zip.item(0).fileName, "café.txt");
    EXPECT_EQ(zip.item(1).fileName, "Проект.txt");
    EXPECT_EQ(zip.item(2).fileName, "xü.txt");
    EXPECT_EQ(zip.extractToString("xü.txt"), "unicode path");
}

// Bytes that read like a ZIP64 locator may stand right before the end record of a sound
// archive (here the end of an extra field); they must not make it unreadable.
TEST(ZipHostile, LocatorLookAlikeBeforeAPlainEndRecordIsIgnored) {
    RawItem it = item("a.txt", "abc");
    it.centralExtra = std::string("\xfe\xca\x14\0", 4) + std::string("PK\x06\x07", 4) + std::string(16, '\x01');
    TempDir dir;
    const std::string path = dir.write("sound.zip", buildZip({it}).bytes);
    ZipArchive zip;
    ASSERT_NO_THROW(zip.open(path));
    EXPECT_EQ(zip.extractToString("a.txt"), "abc");
}
