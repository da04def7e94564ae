// The names the program gives things on disk and inside archives. Every file spells them
// from here.
#pragma once
#include <cstddef>

namespace kp {

inline constexpr const char* kArchiveFolderName = "#tarnel";   // beside or inside the project
inline constexpr const char* kOldArchiveFolderName = "#arh";   // left out of listings like #tarnel
inline constexpr const char* kRepositoryName = "repository";   // version archives kept out of the trains
inline constexpr const char* kBookkeepingFolder = "_kpad_";    // inside every archive
inline constexpr const char* kBookkeepingPrefix = "_kpad_/";
inline constexpr const char* kProjectSetItem = "_kpad_/project.set";
inline constexpr const char* kProjectLogItem = "_kpad_/project.log";
// The folder and its two records, written before the project's files.
inline constexpr std::size_t kBookkeepingItems = 3;
// A new or rewritten archive is written under its ".tmp" twin and renamed when complete
// (ZipArchive::temporaryTwin).
inline constexpr const char* kTemporarySuffix = ".tmp";
// Extraction writes each file aside under this prefix beside its target (ZipArchive::extractOne)
// and renames it into place; listings leave such files out.
inline constexpr const char* kExtractionTemporaryPrefix = ".kpad-extract-";
// <archive folder>/<project name> + this: written before a restore deletes anything, removed
// when it has finished; found at start-up, it tells of a restore that did not finish.
inline constexpr const char* kRestoreMarkerSuffix = ".restoring";

} // namespace kp
