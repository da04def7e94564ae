#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <sys/stat.h>

#include "ZipFixtures.h"
#include "zip/Crc32.h"
#include "support/TempDir.h"

using namespace kp;
using kp::test::randomBytes;
using kp::test::TempDir;

namespace {

} // namespace

TEST(Crc32, TableAndKnownValues) {
    EXPECT_EQ(crc32Table()[0], 0u);
    EXPECT_EQ(crc32Table()[1], 0x77073096u);
    EXPECT_EQ(crc32Table()[255], 0x2D02EF8Du);
    // The check value of CRC-32/ISO-HDLC, the one ZIP stores.
    EXPECT_EQ(~UpdateCrc32(0xFFFFFFFFu, "123456789", 9), 0xCBF43926u);
    // UpdateCrc32 complements neither way: one table step per byte, as the table defines it.
    const unsigned char b = 0x5A;
    const std::uint32_t v = 0x12345678u;
    EXPECT_EQ(UpdateCrc32(v, &b, 1), crc32Table()[(v ^ b) & 0xFF] ^ (v >> 8));
    EXPECT_EQ(crc32Hex(0xCBF43926u), "CBF43926");
    EXPECT_EQ(crc32Hex(0), "00000000");
}

TEST(Crc32, BlockBoundariesGiveTheSameResultAsOnePass) {
    TempDir t;
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(32767), std::size_t(32768),
                             std::size_t(32769), std::size_t(3 * 32768 + 5)}) {
        const std::string data = randomBytes(size, unsigned(size));
        const std::uint32_t expected = test::crcOf(data);
        SCOPED_TRACE(size);
        EXPECT_EQ(GetFileCrc32(t.write("f" + std::to_string(size), data)), expected);
        std::istringstream in(data);
        EXPECT_EQ(GetStreamCrc32(in), expected);
    }
}

TEST(Crc32, StreamIsReadFromItsStartAndLeftWhereItStood) {
    std::stringstream s;
    s << "some text that is long enough";
    s.seekg(0, std::ios::end);
    char c;
    s.get(c); // now at the end with eofbit set, as after reading everything
    ASSERT_TRUE(s.eof());
    EXPECT_EQ(GetStreamCrc32(s), test::crcOf("some text that is long enough"));
    EXPECT_TRUE(s.eof());
    s.clear();
    EXPECT_EQ(s.tellg(), std::streampos(29));

    std::istringstream mid("abcdef");
    mid.seekg(3);
    EXPECT_EQ(GetStreamCrc32(mid), test::crcOf("abcdef"));
    EXPECT_EQ(mid.tellg(), std::streampos(3));
}

TEST(Crc32, FileThatCannotBeReadIsAnErrorNamingIt) {
    TempDir t;
    const std::string missing = t / "missing.txt";
    try {
        GetFileCrc32(missing);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_THROW(GetFileCrc32(t.mkdir("folder")), std::runtime_error);
    const std::string fifo = t / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(GetFileCrc32(fifo), std::runtime_error); // refused at once, not blocking
}
