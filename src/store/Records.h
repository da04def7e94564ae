// The bookkeeping texts every archive carries: "_kpad_/project.set" (the record of one
// state), "_kpad_/project.log" (the readable history, newest entry first) and the ZIP
// comment of a full archive. All three are UTF-8 with CR LF line breaks, no byte-order
// mark. Archive names inside them are relative to the archive folder, so a project folder
// can be moved or renamed without its history pointing elsewhere.
#pragma once
#include <string>

namespace kp {

enum class ArchiveKind { Full, Relative };

struct ProjectSetFields {
    std::string projectName;
    std::string archiveName; // relative to the archive folder
    int projectStatus = 0;   // 0 default (never written), 1 standard, 2 important, 3 valuable
    ArchiveKind kind = ArchiveKind::Full;
    std::string comment;        // full archive: the comment exactly as entered
    std::string primaryArchive; // relative archive: the primary archive's relative name
    std::string missingText;    // relative archive: paths each followed by CR LF, descending order
};

std::string ComposeProjectSet(const ProjectSetFields& fields);

// The comment, CR LF, and "[ " archive name " ]", with no line break after it.
std::string ComposeZipComment(const std::string& comment, const std::string& archiveName);

// The heading, the new entry, then the previous log with its first heading (compared
// ignoring case) removed, so the history keeps exactly one heading at its top.
std::string ComposeProjectLog(const std::string& latestLogText, const std::string& projectName,
                              const std::string& archiveName, const std::string& comment);

// The log heading for a project: 80 "=", the title line, 80 "=".
std::string projectLogHeading(const std::string& projectName);

// fullPath without the leading archiveFolder + "/" (matched ignoring case), e.g.
// "Site-101203.1530c.zip" or "repository/Site-101203.1530c-v.1.2.zip". A path outside the
// archive folder is returned unchanged.
std::string relativeArchiveName(const std::string& archiveFolder, const std::string& fullPath);

// Word wrap at 77 characters; every line break of the result is CR LF (lone CR or LF
// become CR LF first, and every line break starts the count again).
std::string wrapComment77(const std::string& text);

// The settings lines of a project.set text ("ps:2"), or "" when it has no settings section.
// Only this part may be merged into the effective settings: the comment, the project name
// and the missing paths are the user's text and may hold words like "hv:1\1\1" that must
// not change how the project is kept.
std::string projectSetSettingsText(const std::string& projectSetText);

// What a relative archive's project.set records: the primary archive's relative name and the
// missing text (paths each followed by CR LF). Both empty for a full archive's record.
struct RelativeRecord {
    std::string primaryArchive;
    std::string missingText;
};
RelativeRecord projectSetRelativeRecord(const std::string& projectSetText);

} // namespace kp
