#include "store/StoreOperation.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/Messages.h"
#include "zip/KitResult.h"

namespace kp {

namespace {


} // namespace

std::string relativePath(const Project& p, const ListingEntry& e) { return e.path.substr(p.projectPath.size()); }

std::vector<ProjectLine> projectLines(const Project& s) {
    std::vector<ProjectLine> lines;
    lines.reserve(s.projectFiles.size());
    // Whole paths, never cut: a cut that dropped the size field would make a small file
    // look oversized, and deep paths are common on Linux.
    for (const auto& e : s.projectFiles) lines.push_back({relativePath(s, e), e.dosTime, e.size, e.mtime});
    return lines;
}

Result<std::vector<ArchiveLine>> primaryArchiveLines(const std::string& primaryArchive) {
    ZipArchive zip;
    if (Result<void> opened = openArchive(zip, primaryArchive); !opened) return opened.failure();
    return archiveLines(zip);
}

std::vector<ArchiveLine> archiveLines(const ZipArchive& zip) {
    std::vector<ArchiveLine> lines;
    lines.reserve(zip.count());
    for (std::size_t i = 0; i < zip.count(); ++i) {
        const ZipItem& item = zip.item(i);
        lines.push_back({item.fileName, item.dosTime, std::int64_t(item.uncompressedSize), item.modificationTime});
    }
    return lines;
}

SplitSelection splitSelection(const Project& s, const std::vector<std::size_t>& items) {
    SplitSelection split;
    for (std::size_t i : items) {
        if (s.projectFiles[i].isFolder) split.folders.push_back(i);
        else split.files.push_back(i);
    }
    return split;
}

std::vector<std::string> sizeRefusals(const Project& s, const std::vector<std::size_t>& files, bool canWrite,
                                      std::int64_t freeDiskSpace) {
    std::vector<std::string> refusals;
    std::int64_t total = 0;
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        const ListingEntry& e = s.projectFiles[*it];
        if (e.size < 0 || e.size > kMaxFileSize) refusals.push_back(msg::fileTooLarge(relativePath(s, e)));
        else total += e.size;
    }
    if (total > kMaxProjectSize)
        refusals.push_back(msg::kProjectTooLarge);
    if (canWrite && freeDiskSpace >= 0 && 2 * total > freeDiskSpace)
        refusals.push_back(msg::kDiskSpaceLow);
    return refusals;
}

} // namespace kp
