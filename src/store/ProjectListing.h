// The project listing: every file and folder of the project with its time, size and
// attributes, parents before their contents. Entries are kept as records, not as text
// lines, so that names holding TAB, CR or LF cannot corrupt a listing or a comparison.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/DosTime.h"
#include "platform/Text.h"

namespace kp {

struct ListingEntry {
    std::string path;          // full path; a folder's ends in "/"
    bool isFolder = false;
    bool isDriveRoot = false;  // the listing of "/" itself: its value reads "a:drive"
    bool hasValue = true;      // false when the folder's own entry could not be looked up
    DosDateTime dosTime = 0;
    std::int64_t size = 0;
    std::uint32_t attributes = 0;
    std::uint32_t mode = 0;    // Unix permission bits
    std::int64_t mtime = -1;   // modification time, UTC seconds; -1 when not known
};

using ProjectListing = std::vector<ListingEntry>;

// "t:<dos>,s:<size>,a:<attributes>", or "a:drive" for the drive root, or "" without a value.
std::string listingValue(const ListingEntry& e);
// path, TAB, value: the listing line as shown to people and in reports.
std::string listingLine(const ListingEntry& e);

// A file or folder of the project that could not be read, so the listing lacks it or its
// contents.
struct UnreadableItem {
    std::string path; // full path; a folder's ends in "/"
    int error = 0;    // errno value
};

class IgnoreRules;
struct IgnoreRule;

// An item the project's ignore file leaves out, with the rule that matched.
struct IgnoredItem {
    std::string path; // full path; a folder's ends in "/"
    const IgnoreRule* rule = nullptr;
};

struct ScanOptions {
    std::string mask = "*";            // "*" and "?" wildcards; applies at every depth
    bool literalMask = false;          // the mask is one exact name (a one-file project)
    std::vector<std::string> excluded; // folder names left out at any depth, ignoring case
    std::function<void()> onEntry;     // called once per entry, to keep a window alive
    std::vector<UnreadableItem>* unreadable = nullptr; // receives what could not be read
    // Files an extraction left aside (kExtractionTemporaryPrefix) are never listed; their
    // full paths go here, so the caller can remove them.
    std::vector<std::string>* extractionTemporaries = nullptr;
    // The project's ignore file: what it matches is left out as an excluded folder is, and
    // reported to ignored when given. Paths are judged relative to the listed folder.
    const IgnoreRules* ignore = nullptr;
    std::vector<IgnoredItem>* ignored = nullptr;
};

// A seam for tests, which run as root and so can read every folder: a folder for which fault
// returns an errno value is treated as one that could not be opened. Empty to end it.
void setFolderFaultForTesting(std::function<int(const std::string& folder)> fault);

// Lists folder into list. When list is empty the folder's own line comes first.
void ScanProject(ProjectListing& list, const std::string& folder, const ScanOptions& options);

} // namespace kp
