// The kit's edge. Inside, the kit throws ArchiveError (and the sink's and the system's errors
// below it); what callers outside src/zip receive is a Result, whose Failure carries the
// kit's text as the user is shown it and the archive's path as the detail.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "zip/ZipArchive.h"

namespace kp {

// An existing archive read and listed; a path where nothing exists gives an empty new
// archive. Internal when it cannot be read or is damaged.
Result<void> openArchive(ZipArchive& zip, const std::string& path);
// All pending changes written (ZipArchive::save). WriteFailed; the old archive stays.
Result<void> saveArchive(ZipArchive& zip);
// The same, with work on the archive as written (ZipArchive::save(work)).
Result<void> saveArchive(ZipArchive& zip, const ZipArchive::WrittenArchiveWork& work);
// The comment set; BadInput when it is over 65,535 bytes.
Result<void> setArchiveComment(ZipArchive& zip, const std::string& comment);
// An item from memory added; BadInput when its name cannot be stored or is taken.
Result<void> addMemoryItem(ZipArchive& zip, const std::string& name, std::string data, DosDateTime time);
// A folder item added (ZipArchive::addFolder); BadInput when its name cannot be stored or is
// taken.
Result<void> addFolderItem(ZipArchive& zip, const std::string& name, DosDateTime time,
                           std::optional<std::uint32_t> unixMode = {});
// A file queued under its relative path; Incomplete when its name cannot be stored (the
// file is then left out and the save goes on).
Result<void> queueFile(ZipArchive& zip, const std::string& relativePath,
                       std::optional<FileFacts> listed = std::nullopt);

// The item's data, checked against its stored size and CRC. Internal when it proves wrong.
Result<std::string> readItemText(const ZipArchive& zip, const std::string& name);
// The same, piece by piece into sink (ZipArchive::readItem).
Result<void> readItemData(const ZipArchive& zip, const std::string& name,
                          const std::function<void(const char*, std::size_t)>& sink);
// Every matching item written under the base directory (ZipArchive::extractFilesEx).
// RestoreFailed.
Result<void> extractItems(ZipArchive& zip, const std::string& mask, const std::string& excludeMask);

// The archive's comment alone (readArchiveComment); Internal when its end is damaged.
Result<std::string> readCommentOf(const std::string& path);

// One readable line per bad item of the archive (verifyArchive); Internal when the archive
// cannot be opened or its directory is damaged.
Result<std::vector<std::string>> verifyArchiveFile(const std::string& path);
// The CRC-32 of a file on disk; Incomplete when it cannot be read.
Result<std::uint32_t> fileCrc32(const std::string& path);

} // namespace kp
