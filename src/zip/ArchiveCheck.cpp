#include "zip/ArchiveCheck.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/InputFile.h"
#include "zip/Crc32.h"
#include "zip/ByteSource.h"
#include "zip/WorkerPool.h"
#include "zip/ZipReader.h"

namespace kp {

namespace {

constexpr std::size_t kBlock = 32768;
constexpr std::size_t kFilesPerTurn = 64; // files a thread takes at once, mostly of one folder

// Whether the file holds the item's bytes: the item's size and CRC. The item's size tells how
// much to read, one byte further, so that a file that grew shows without asking the system
// for its size: a small file costs an open, one read and a close.
bool fileHoldsItem(const std::string& path, const ZipItem& item, FolderCursor& folder) {
    InputFile file;
    if (!file.openListed(path, folder)) return false;
    const std::uint64_t size = item.uncompressedSize;
    const std::size_t blockSize = std::size_t(std::min<std::uint64_t>(size + 1, kBlock));
    const std::unique_ptr<char[]> block(new char[blockSize]); // small for a small file
    std::uint64_t total = 0;
    std::uint32_t value = 0xFFFFFFFFu;
    for (;;) {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(size + 1 - total, blockSize));
        const std::ptrdiff_t got = file.read(block.get(), want);
        if (got < 0) return false; // a folder, or a read error: unreadable is a mismatch too
        if (got == 0) break;
        total += std::uint64_t(got);
        if (total > size) return false;
        value = UpdateCrc32(value, block.get(), std::size_t(got));
        if (total == size && std::size_t(got) < want) break; // the end, as a short read tells
    }
    // An empty FIFO put where an empty file was reads as that file.
    return total == size && ~value == item.crc32 && (size > 0 || file.isRegularFile());
}

} // namespace

std::vector<std::pair<std::string, std::string>>
compareWithDisk(const ZipArchive& archive, const std::vector<std::string>& relativeFiles,
                const std::string& baseDirectory, unsigned threads) {
    std::vector<std::optional<std::string>> verdicts(relativeFiles.size());
    runByFolder(relativeFiles.size(), threads, kFilesPerTurn, [&](std::size_t i, FolderCursor& folder) {
        const std::string& name = relativeFiles[i];
        const int index = archive.findFile(name);
        if (index < 0) {
            verdicts[i] = "00000000";
            return;
        }
        const ZipItem& item = archive.item(std::size_t(index));
        if (!fileHoldsItem(joinPath(baseDirectory, name), item, folder)) verdicts[i] = crc32Hex(item.crc32);
    });

    std::vector<std::pair<std::string, std::string>> mismatches;
    for (std::size_t i = 0; i < relativeFiles.size(); ++i)
        if (verdicts[i]) mismatches.emplace_back(relativeFiles[i], std::move(*verdicts[i]));
    return mismatches;
}

std::vector<std::string> itemsWithBadData(const ZipArchive& archive, const std::vector<std::string>& names,
                                          unsigned threads) {
    std::vector<char> bad(names.size(), 0);
    runInParallel(names.size(), threads, [&](std::size_t i) {
        try {
            archive.readItem(names[i], [](const char*, std::size_t) {});
        } catch (const std::exception&) {
            bad[i] = 1;
        }
    });
    std::vector<std::string> out;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (bad[i]) out.push_back(names[i]);
    return out;
}

std::vector<std::string> verifyArchive(const std::string& path) {
    std::shared_ptr<ByteSource> source;
    try {
        source = std::make_shared<FileSource>(path);
    } catch (const std::system_error& e) {
        throwArchiveError(path, "cannot open it: " + errorText(e.code().value()));
    }
    const ZipReader reader(source, path);
    std::vector<std::string> bad;
    for (const auto& entry : reader.entries()) {
        try {
            reader.readItem(entry, [](const char*, std::size_t) {});
        } catch (const ArchiveError& e) {
            bad.emplace_back(e.what());
        }
    }
    return bad;
}

} // namespace kp
