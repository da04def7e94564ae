// Deciding what a new state holds: full or relative, which files and folders, the size
// limits, and the bookkeeping texts handed to the writer.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/Project.h"
#include "platform/DosTime.h"
#include "store/ChangeDetection.h"
#include "zip/ZipArchive.h"

namespace kp {

inline constexpr std::int64_t kMaxFileSize = 268435456;     // 256 MiB
inline constexpr std::int64_t kMaxProjectSize = 1073741824; // 1 GiB

struct FolderItem {
    std::string name; // relative path ending in "/"
    DosDateTime dosTime = 0;
    std::optional<std::uint32_t> mode; // Unix permission and special bits, when known
};

// Everything the writer needs, copied in before it starts.
struct WriterJob {
    std::vector<FolderItem> folders;  // parents before their subfolders
    std::vector<std::string> files;   // relative paths
    std::vector<FileFacts> listed;    // per file, as the listing found it (or empty): one
                                      // stat per file for the whole run
    std::string archiveName;          // full path of the new archive
    std::string projectPath;          // the folder the relative paths start from
    std::string settingsText;         // _kpad_/project.set
    std::string logText;              // _kpad_/project.log
    std::string comment;              // the ZIP comment (full archives only)
    std::string primaryArchive;       // full path of the newest full archive, or empty: files
                                      // it holds unchanged are copied, not compressed again
    std::shared_ptr<const ZipReader> primaryReader; // that archive as start-up read it, if it did
};

// The project listing as lines relative to the project's folder.
std::vector<ProjectLine> projectLines(const Project& p);

// An archive's items as comparison lines; the path form fails (Internal) when the archive
// cannot be read.
Result<std::vector<ArchiveLine>> primaryArchiveLines(const std::string& primaryArchive);
std::vector<ArchiveLine> archiveLines(const ZipArchive& zip);

struct Selection {
    bool full = true;
    std::vector<std::size_t> items;   // indexes into projectFiles
    std::string missingText;          // relative archive: missing names each followed by CR LF
};

struct SplitSelection {
    std::vector<std::size_t> folders; // indexes into projectFiles, parents first
    std::vector<std::size_t> files;   // indexes into projectFiles, in selection order
};

// Items that are folders on disk now become folder items; the rest are files.
SplitSelection splitSelection(const Project& p, const std::vector<std::size_t>& items);

// Size refusals of the files, in the order they are shown (one per oversized file, then
// the project total, then the disk space when it is known and can be written to).
std::vector<std::string> sizeRefusals(const Project& p, const std::vector<std::size_t>& files, bool canWrite,
                                      std::int64_t freeDiskSpace);

// The relative path of a listed item.
std::string relativePath(const Project& p, const ListingEntry& e);

} // namespace kp
