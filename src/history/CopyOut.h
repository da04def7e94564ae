// Copying files of a stored state into a folder of the user's choice, without touching the
// project or its archives: "give me back just this file". Items keep their stored paths
// under the folder ("Site/docs/a.txt"), their times and their permission bits.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/ProjectState.h"

namespace kp {

struct CopyRequest {
    std::string archive;               // the state (a full path among the project's states)
    std::vector<std::string> patterns; // see PathPattern.h; with no patterns and no paths, the whole state
    std::vector<std::string> paths;    // exact item names, as a window lists them
    std::string targetFolder;          // absolute; made when missing
    bool overwrite = false;            // replace files that exist already
};

struct CopyProgress {
    std::size_t filesDone = 0, files = 0;
    std::uint64_t bytesDone = 0, bytes = 0;
};
using CopyProgressCallback = std::function<void(const CopyProgress&)>;

struct CopyResult {
    std::vector<std::string> written;  // full paths of the files written
    std::vector<std::string> existing; // full paths that exist already (nothing is written then)
    // Why not every chosen file was copied: Refused (the request, or a check before
    // anything was written), Internal (the state can't be read), WriteFailed (while writing;
    // the text names the files written before it).
    std::optional<Failure> failure;
    bool ok() const { return !failure; }
    std::string errorText() const { return failure ? failure->text : std::string(); }
};

// Checks everything before writing anything: the state can be read, a file matches (not only
// folders), the items can all be written where their names say (history/ExtractionCheck.h,
// as a restore checks them), no target lies in the project or its archive folder or
// behind a link, no file would be replaced without overwrite, and the folder's disk has
// room. Every file is then written aside and checked against its CRC; only when all are
// written are they renamed into place, so damaged data leaves the folder as it was. A
// failure after that adds to error which files are in place.
CopyResult copyFilesOut(const Project& project, const CopyRequest& request,
                        const CopyProgressCallback& progress = {});

} // namespace kp
