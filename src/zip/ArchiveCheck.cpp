#include "zip/ArchiveCheck.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/FileSystem.h"
#include "zip/Crc32.h"
#include "zip/ByteSource.h"
#include "zip/WorkerPool.h"
#include "zip/ZipReader.h"

namespace kp {


std::vector<std::pair<std::string, std::string>>
compareWithDisk(const ZipArchive& archive, const std::vector<std::string>& relativeFiles,
                const std::string& baseDirectory, unsigned threads) {
    std::vector<std::optional<std::string>> verdicts(relativeFiles.size());
    runInParallel(relativeFiles.size(), threads, [&](std::size_t i) {
        const std::string& name = relativeFiles[i];
        const int index = archive.findFile(name);
        if (index < 0) {
            verdicts[i] = "00000000";
            return;
        }
        const std::uint32_t stored = archive.item(std::size_t(index)).crc32;
        try {
            if (GetFileCrc32(joinPath(baseDirectory, name)) == stored) return;
        } catch (const std::exception&) {
            // an unreadable file is as much a mismatch as a changed one
        }
        verdicts[i] = crc32Hex(stored);
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
