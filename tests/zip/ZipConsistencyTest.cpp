// One reading of every archive: variants that other writers emit are read, and archives that
// tools could read in two ways (a local header that disagrees with the directory, ZIP64
// records that disagree with the end record) are refused by verification and extraction
// alike, naming the field. Each archive is built byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ZipFixtures.h"
#include "support/TempDir.h"
#include "zip/ArchiveCheck.h"
#include "zip/ZipArchive.h"

using namespace kp;
using namespace kp::test;

namespace {

// A name in the header's own form (code page 437 or the bytes of a Unix name), no UTF-8 flag.
RawItem unflagged(std::string name, std::string data, std::uint16_t madeBy) {
    RawItem it = item(std::move(name), std::move(data));
    it.flags = 0;
    it.madeBy = madeBy;
    return it;
}
constexpr std::uint16_t kMadeByDos = 0x0014, kMadeByUnix = 0x033F;

// Local header fields, as offsets from its start.
constexpr std::size_t kLocalFlags = 6, kLocalMethod = 8, kLocalCrc = 14, kLocalCompressed = 18,
                      kLocalUncompressed = 22;

const std::string kText = "text that Deflate shrinks, text that Deflate shrinks, text that Deflate shrinks\n";

// "first.txt" comes first, so that a refusal must happen before anything is written.
std::string withFirst(RawItem it, const std::function<void(RawZip&)>& change = {}) {
    RawZip zip = buildZip({item("first.txt", "harmless"), std::move(it)});
    if (change) change(zip);
    return zip.bytes;
}

struct Case {
    const char* what;
    std::function<std::string()> bytes;
    // A sound archive: the name its second item has (its data is "abc" or kText).
    const char* name;
    // Otherwise what the refusal names: the field, and the item where it is the item's.
    const char* refusal;
    const char* item = nullptr;
};

const Case kCases[] = {
    // Sound variants.
    {"ZIP64 records before an end record that needs none",
     [] {
         RawZip z = buildZip({item("first.txt", "harmless"), item("a.txt", "abc")});
         addZip64End(z, false);
         return z.bytes;
     },
     "a.txt", nullptr},
    {"ZIP64 locator counting one disk",
     [] {
         RawZip z = buildZip({item("first.txt", "harmless"), item("a.txt", "abc")});
         addZip64End(z, true, 1);
         return z.bytes;
     },
     "a.txt", nullptr},
    {"end record deferring its disk numbers to the ZIP64 end record",
     [] {
         RawZip z = buildZip({item("first.txt", "harmless"), item("a.txt", "abc")});
         addZip64End(z, true);
         poke16(z.bytes, z.end + 4, 0xFFFF);
         poke16(z.bytes, z.end + 6, 0xFFFF);
         return z.bytes;
     },
     "a.txt", nullptr},
    {"code page 437 glyphs below 0x20 and at 0x7F",
     [] { return withFirst(unflagged("\x01\x03\x0e x\x7f.txt", "abc", kMadeByDos)); }, "☺♥♫ x⌂.txt", nullptr},
    {"ZIP64 local header",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = zip64Extra({3, 3});
         return withFirst(it, [](RawZip& z) {
             poke32(z.bytes, z.local[1] + kLocalCompressed, 0xFFFFFFFFu);
             poke32(z.bytes, z.local[1] + kLocalUncompressed, 0xFFFFFFFFu);
         });
     },
     "a.txt", nullptr},
    {"data descriptor, zeros in the local header",
     [] {
         RawItem it = deflated("a.txt", kText);
         it.dataDescriptor = true;
         return withFirst(it);
     },
     "a.txt", nullptr},
    {"data descriptor, ZIP64 local header with zero sizes",
     [] {
         RawItem it = deflated("a.txt", kText);
         it.dataDescriptor = true;
         it.localExtra = zip64Extra({0, 0});
         return withFirst(it, [](RawZip& z) {
             poke32(z.bytes, z.local[1] + kLocalCompressed, 0xFFFFFFFFu);
             poke32(z.bytes, z.local[1] + kLocalUncompressed, 0xFFFFFFFFu);
         });
     },
     "a.txt", nullptr},
    {"Unicode path fields agreeing in both headers",
     [] {
         RawItem it = unflagged("x\x81.txt", "abc", kMadeByDos);
         it.centralExtra = it.localExtra = unicodePathExtra("x\x81.txt", "xü-unicode.txt");
         return withFirst(it);
     },
     "xü-unicode.txt", nullptr},
    {"stale local Unicode path field (its CRC is of another name)",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = unicodePathExtra("old.txt", "old.txt");
         return withFirst(it);
     },
     "a.txt", nullptr},
    {"zero padding after the local extra fields",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00\x00\x00", 11);
         return withFirst(it);
     },
     "a.txt", nullptr},

    // Local headers that disagree with the directory.
    {"local name",
     [] { return withFirst(item("a.txt", "abc"), [](RawZip& z) { z.bytes[z.local[1] + 30] = 'b'; }); }, nullptr,
     "local header holds another name", "a.txt"},
    {"local compression method",
     [] {
         return withFirst(item("a.txt", "abc"), [](RawZip& z) { poke16(z.bytes, z.local[1] + kLocalMethod, 8); });
     },
     nullptr, "compression method", "a.txt"},
    {"local compressed size",
     [] {
         return withFirst(deflated("a.txt", kText),
                          [](RawZip& z) { poke32(z.bytes, z.local[1] + kLocalCompressed, 7); });
     },
     nullptr, "compressed size", "a.txt"},
    {"local uncompressed size",
     [] {
         return withFirst(deflated("a.txt", kText),
                          [](RawZip& z) { poke32(z.bytes, z.local[1] + kLocalUncompressed, 7); });
     },
     nullptr, "uncompressed size", "a.txt"},
    {"local CRC-32",
     [] {
         return withFirst(item("a.txt", "abc"), [](RawZip& z) { poke32(z.bytes, z.local[1] + kLocalCrc, 1); });
     },
     nullptr, "CRC-32", "a.txt"},
    {"local CRC-32 neither zero nor the directory's beside a data descriptor",
     [] {
         RawItem it = deflated("a.txt", kText);
         it.dataDescriptor = true;
         return withFirst(it, [](RawZip& z) { poke32(z.bytes, z.local[1] + kLocalCrc, 1); });
     },
     nullptr, "CRC-32", "a.txt"},
    {"local ZIP64 size",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = zip64Extra({4, 3});
         return withFirst(it, [](RawZip& z) {
             poke32(z.bytes, z.local[1] + kLocalCompressed, 0xFFFFFFFFu);
             poke32(z.bytes, z.local[1] + kLocalUncompressed, 0xFFFFFFFFu);
         });
     },
     nullptr, "uncompressed size", "a.txt"},
    {"local ZIP64 field too short",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = zip64Extra({3});
         return withFirst(it, [](RawZip& z) {
             poke32(z.bytes, z.local[1] + kLocalCompressed, 0xFFFFFFFFu);
             poke32(z.bytes, z.local[1] + kLocalUncompressed, 0xFFFFFFFFu);
         });
     },
     nullptr, "ZIP64 extra field", "a.txt"},
    {"local extra field running past its block",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = std::string("\x55\x54\x09\x00\x01\x00\x00\x00\x00", 9);
         return withFirst(it);
     },
     nullptr, "local header's extra fields", "a.txt"},
    {"local Unicode path field naming another file",
     [] {
         RawItem it = item("a.txt", "abc");
         it.localExtra = unicodePathExtra("a.txt", "evil.txt");
         return withFirst(it);
     },
     nullptr, "Unicode path field", "a.txt"},
    {"local Unicode path field where the directory has none",
     [] {
         RawItem it = unflagged("x\x81.txt", "abc", kMadeByDos);
         it.localExtra = unicodePathExtra("x\x81.txt", "xü-unicode.txt");
         return withFirst(it);
     },
     nullptr, "Unicode path field", "xü.txt"},

    // Two readings of one directory.
    {"Unicode path field contradicting a UTF-8 name",
     [] {
         RawItem it = item("a.txt", "abc");
         it.centralExtra = unicodePathExtra("a.txt", "evil.txt");
         return withFirst(it);
     },
     nullptr, "Unicode path field", "a.txt"},
    {"ZIP64 records that disagree with an end record that needs none",
     [] {
         RawZip z = buildZip({item("first.txt", "harmless"), item("a.txt", "abc")});
         addZip64End(z, false);
         const std::size_t record = z.end - 76; // the ZIP64 end record and its locator
         poke16(z.bytes, record + 24, 1);       // one item instead of two
         poke16(z.bytes, record + 32, 1);
         return z.bytes;
     },
     nullptr, "ZIP64 end record gives another item count"},
    {"end record deferring its disk numbers to a ZIP64 end record it lacks",
     [] {
         RawZip z = buildZip({item("first.txt", "harmless"), item("a.txt", "abc")});
         poke16(z.bytes, z.end + 4, 0xFFFF);
         return z.bytes;
     },
     nullptr, "disk numbers"},
    {"control character in a name made on Unix",
     [] { return withFirst(unflagged("\x1b[2Jred.txt", "abc", kMadeByUnix)); }, nullptr, "control character"},
    {"control character in a UTF-8 name", [] { return withFirst(item("bell\x07.txt", "abc")); }, nullptr,
     "control character"},
};

std::string verdictOf(const std::string& path) {
    try {
        const std::vector<std::string> bad = verifyArchive(path);
        return bad.empty() ? std::string() : bad.front();
    } catch (const ArchiveError& e) {
        return e.what();
    }
}

} // namespace

TEST(ZipConsistency, SoundVariantsAreReadAndEveryAmbiguityIsRefusedNamingTheField) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        const std::string path = t.write("case.zip", c.bytes());
        t.mkdir("out");
        const std::string verdict = verdictOf(path);
        std::string extraction;
        try {
            ZipArchive zip;
            zip.open(path);
            zip.setBaseDirectory(t / "out");
            zip.extractFilesEx("*", "");
        } catch (const ArchiveError& e) {
            extraction = e.what();
        }

        if (c.name) {
            EXPECT_EQ(verdict, "");
            EXPECT_EQ(extraction, "");
            const std::string data = readFile(t / ("out/" + std::string(c.name)));
            EXPECT_TRUE(data == "abc" || data == kText) << data;
            std::vector<std::string> expected{c.name, "first.txt"};
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(entriesUnder(t / "out"), expected);
            continue;
        }
        EXPECT_NE(verdict.find(c.refusal), std::string::npos) << verdict;
        EXPECT_NE(extraction.find(c.refusal), std::string::npos) << extraction;
        if (c.item) {
            const std::string item = "item \"" + std::string(c.item) + "\": ";
            EXPECT_NE(verdict.find(item), std::string::npos) << verdict;
            EXPECT_NE(extraction.find(item), std::string::npos) << extraction;
        }
        EXPECT_EQ(entriesUnder(t / "out"), std::vector<std::string>{}) << "refused before anything is written";
    }
}
