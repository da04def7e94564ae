// Writes a new state as one ZIP archive and checks it: after writing, the archive is opened
// again and every stored file's CRC-32 is compared with the file on disk. Runs on the
// writer thread; shares nothing with the user-interface thread but progress reports.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/RunState.h"
#include "platform/Clock.h"
#include "store/StoreOperation.h"
#include "store/zip/ZipArchive.h"

namespace kp {

struct WriterResult {
    std::vector<Mismatch> mismatches; // files whose archived copy differs or is missing
    std::string error;                // why the archive could not be written or read back; empty if it was
};

// afterWrite (may be empty) runs between writing and checking; tests use it.
WriterResult writeAndCheck(const WriterJob& job, const Clock& clock, const ProgressCallback& progress,
                           const std::function<void()>& afterWrite = {});

} // namespace kp
