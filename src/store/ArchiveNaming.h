// Where a project's states are kept and how a new one is named:
// <archive folder>/<project name>-<yymmdd>.<hhnn><suffix>.zip
#pragma once
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace kp {

struct ArchiveName {
    std::string path;  // the new archive's full path
    std::string mask;  // <archive folder>/<project name>-??????.*.zip
    int datePos = 0;   // 1-based byte position of the date in the file name
    int timePos = 0;   // datePos + 7
};

// suffix: "" (a plain, relative archive), "c" (a change archive) or "c-v.<version>".
ArchiveName BuildArchiveName(const std::string& archiveFolder, const std::string& projectName,
                             const std::string& suffix, const Clock& clock);

// The 11 characters of the stamp (yymmdd.hhnn) at datePos of a file name; empty when the
// name is too short to hold one.
std::string stampAt(const std::string& fileName, int datePos);
// The stamp read as the integer yymmddhhnn, -1 when it is not one.
long long stampNumber(const std::string& stamp);

// The stamp and suffix of an archive's file name ("101203.1530c"), as the card shows it.
std::string stampAndSuffix(const std::string& archivePath, int datePos);

// The text cut to at most max characters, ending in "..." when cut; empty for max < 4.
std::string ShortenCaption(const std::string& text, int max);
inline bool InRange(int value, int lower, int upper) { return lower <= value && value <= upper; }

// The suffix that closing the options window gives the new archive.
std::string chooseSuffix(bool addVersion, const std::string& versionPart1, const std::string& versionPart2,
                         const std::string& versionPart3, const std::string& comment, bool fullArchiveExists);

} // namespace kp
