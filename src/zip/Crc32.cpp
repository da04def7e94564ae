#include "zip/Crc32.h"

#include <cerrno>
#include <cstdio>
#include <libdeflate.h>
#include <memory>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "platform/InputFile.h"

namespace kp {

namespace {

constexpr std::size_t kBlockSize = 32768;

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();
static_assert(kTable[1] == 0x77073096u && kTable[255] == 0x2D02EF8Du);

[[noreturn]] void throwFileError(const std::string& path, const char* what, int err) {
    throw std::runtime_error("Cannot " + std::string(what) + " the file " + path + ": " + errorText(err));
}

} // namespace

const std::array<std::uint32_t, 256>& crc32Table() {
    return kTable;
}

std::uint32_t UpdateCrc32(std::uint32_t value, const void* data, std::size_t n) {
    // libdeflate complements on entry and exit; undo both to keep the raw running value.
    return ~libdeflate_crc32(~value, data, n);
}

std::uint32_t GetStreamCrc32(std::istream& in) {
    const std::ios::iostate oldState = in.rdstate();
    in.clear(); // a stream standing at its end has eofbit set, which makes tellg fail
    const std::streampos oldPos = in.tellg();
    in.seekg(0);
    // A stream that cannot go back to its start would give the CRC of nothing, which is the
    // CRC of an empty file: an error, not a result.
    if (oldPos == std::streampos(-1) || in.fail()) {
        in.clear();
        in.setstate(oldState);
        throw std::runtime_error("the stream cannot be read from its start");
    }
    std::uint32_t value = 0xFFFFFFFFu;
    auto buffer = std::make_unique<char[]>(kBlockSize); // each call has its own block
    while (in) {
        in.read(buffer.get(), kBlockSize);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        value = UpdateCrc32(value, buffer.get(), std::size_t(got));
    }
    const bool readFailed = in.bad();
    in.clear();
    in.seekg(oldPos);
    in.setstate(oldState);
    if (readFailed) throw std::runtime_error("the stream could not be read to its end");
    return ~value;
}

std::uint32_t GetFileCrc32(const std::string& path) {
    // Only a regular file is read: a FIFO put where a file was must not block the check for ever.
    InputFile file;
    if (!file.open(path)) throwFileError(path, errno == EISDIR || errno == EINVAL ? "read" : "open", errno);
    std::uint32_t value = 0xFFFFFFFFu;
    // No read past the end of a small file once it has all the bytes it had, and a block no
    // larger than the file (nothing is kept per thread: see ZipReader::ReadAhead).
    const std::size_t block = std::size_t(std::min<std::uint64_t>(file.size() + 1, kBlockSize));
    const std::unique_ptr<char[]> buffer(new char[block]);
    std::uint64_t total = 0;
    for (;;) {
        const std::ptrdiff_t got = file.read(buffer.get(), block);
        if (got < 0) throwFileError(path, "read", errno);
        if (got == 0) break;
        value = UpdateCrc32(value, buffer.get(), std::size_t(got));
        total += std::uint64_t(got);
        if (std::size_t(got) < block && total >= file.size()) break;
    }
    return ~value;
}

std::string crc32Hex(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", crc);
    return text;
}

} // namespace kp
