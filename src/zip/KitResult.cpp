#include "zip/KitResult.h"

#include <exception>
#include <type_traits>

#include "zip/ArchiveCheck.h"
#include "zip/Crc32.h"
#include "zip/ZipReader.h"

namespace kp {

namespace {

// The one place where the kit's exceptions become Failures.
template <class Work>
auto caught(FailureKind kind, const std::string& detail, Work&& work) -> Result<std::invoke_result_t<Work>> {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Work>>) {
            work();
            return {};
        } else {
            return work();
        }
    } catch (const std::exception& e) {
        return Failure{kind, e.what(), detail};
    }
}

} // namespace

Result<void> openArchive(ZipArchive& zip, const std::string& path) {
    return caught(FailureKind::Internal, path, [&] { zip.open(path); });
}

Result<void> saveArchive(ZipArchive& zip) {
    return caught(FailureKind::WriteFailed, zip.fileName(), [&] { zip.save(); });
}

Result<void> saveArchive(ZipArchive& zip, const ZipArchive::WrittenArchiveWork& work) {
    return caught(FailureKind::WriteFailed, zip.fileName(), [&] { zip.save(work); });
}

Result<void> setArchiveComment(ZipArchive& zip, const std::string& comment) {
    return caught(FailureKind::BadInput, zip.fileName(), [&] { zip.setComment(comment); });
}

Result<void> addMemoryItem(ZipArchive& zip, const std::string& name, std::string data, DosDateTime time) {
    return caught(FailureKind::BadInput, name, [&] { zip.addFromMemory(name, std::move(data), time); });
}

Result<void> addFolderItem(ZipArchive& zip, const std::string& name, DosDateTime time,
                           std::optional<std::uint32_t> unixMode) {
    return caught(FailureKind::BadInput, name, [&] { zip.addFolder(name, time, unixMode); });
}

Result<void> queueFile(ZipArchive& zip, const std::string& relativePath, std::optional<FileFacts> listed) {
    return caught(FailureKind::Incomplete, relativePath, [&] { zip.addFile(relativePath, listed); });
}

Result<std::string> readItemText(const ZipArchive& zip, const std::string& name) {
    return caught(FailureKind::Internal, zip.fileName(), [&] { return zip.extractToString(name); });
}

Result<void> readItemData(const ZipArchive& zip, const std::string& name,
                          const std::function<void(const char*, std::size_t)>& sink) {
    return caught(FailureKind::Internal, zip.fileName(), [&] { zip.readItem(name, sink); });
}

Result<void> extractItems(ZipArchive& zip, const std::string& mask, const std::string& excludeMask) {
    return caught(FailureKind::RestoreFailed, zip.fileName(), [&] { zip.extractFilesEx(mask, excludeMask); });
}

Result<std::string> readCommentOf(const std::string& path) {
    return caught(FailureKind::Internal, path, [&] { return readArchiveComment(path); });
}

Result<std::vector<std::string>> verifyArchiveFile(const std::string& path) {
    return caught(FailureKind::Internal, path, [&] { return verifyArchive(path); });
}

Result<std::uint32_t> fileCrc32(const std::string& path) {
    return caught(FailureKind::Incomplete, path, [&] { return GetFileCrc32(path); });
}

} // namespace kp
