// What changed since the primary archive. A project item is unchanged when the archive holds
// an item of the same name with the same DOS time and, for a file, the same size and (when
// the archive item records it) the same exact modification time: the DOS time alone has
// two-second steps and clamps every time before 1980 to one value, so it cannot show every
// rewrite. Project items without such a twin are changed (new or modified); archive items
// without a project item of their name are missing.
//
// Names are compared exactly where the file system tells "A.txt" and "a.txt" apart, and
// ignoring case where it does not. Lines are records, so names holding TAB or line breaks
// cannot confuse the comparison.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DosTime.h"
#include "store/ProjectListing.h"

namespace kp {

struct ArchiveLine {
    std::string name; // item name, "/" separators
    DosDateTime dosTime = 0;
    std::int64_t size = -1;  // uncompressed size, -1 when not known
    std::int64_t mtime = -1; // exact modification time (UTC seconds) the item records, -1 if none
};

struct ProjectLine {
    std::string name; // path relative to the project's folder ("Site/index.html", "Site/docs/")
    DosDateTime dosTime = 0;
    std::int64_t size = 0;
    std::int64_t mtime = -1; // exact modification time (UTC seconds), -1 when not known
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

struct ChangeResult {
    std::vector<std::size_t> changed; // indexes into the project lines, in case-insensitive name order
    std::vector<std::string> missing; // names of archive items the project no longer has, descending
};

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project,
                           bool ignoreCase = false);
// The same over the listing itself, each path read without its first prefixLength bytes
// (the project's folder): the changed indexes are the listing's.
ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const ProjectListing& listing,
                           std::size_t prefixLength, bool ignoreCase = false);

// The archive's bookkeeping items ("_kpad_/..."), which are never compared.
bool isBookkeepingItem(const std::string& name);

} // namespace kp
