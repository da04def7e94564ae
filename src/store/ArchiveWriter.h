// Writes a new state as one ZIP archive and checks it: after writing, the archive is opened
// again and every stored file's CRC-32 is compared with the file on disk. Runs on the
// writer thread; shares nothing with the user-interface thread but progress reports.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Result.h"
#include "store/StoreOperation.h"
#include "zip/ZipArchive.h"

namespace kp {

// A file whose archived copy does not match it: relative path and the archive's CRC
// ("00000000" when the file is missing from the archive).
struct Mismatch {
    std::string path;
    std::string crc;
    bool operator==(const Mismatch&) const = default;
};

// A file the writer had to leave out because it could not be read or its name not stored.
struct UnreadableFile {
    std::string path;   // relative path
    std::string reason; // "Permission denied"
    bool operator==(const UnreadableFile&) const = default;
};

struct WriterResult {
    std::vector<Mismatch> mismatches; // files whose archived copy differs or is missing
    // Left out of the archive and not checked: unlike a mismatch, this is no sign of a busy
    // file, and the archive is kept.
    std::vector<UnreadableFile> unreadable;
    // Why the archive could not be written or read back from the disk (WriteFailed); none
    // when it was.
    std::optional<Failure> failure;
    // Files whose data was copied from the primary archive and proved not to be the file's:
    // the copy would not inflate to its own CRC, or inflated to other bytes than the file
    // holds under the same size and CRC. The archive must be written again without copying.
    std::vector<std::string> badCopies;
    bool ok() const { return !failure; }
};

// afterWrite (may be empty) runs between writing and checking; tests use it.
// The job is taken over: its bookkeeping texts move into the archive, not copied (a project
// log may be large).
WriterResult writeAndCheck(WriterJob job, const Clock& clock, const ProgressCallback& progress,
                           const std::function<void()>& afterWrite = {});

} // namespace kp
