// Which file names count as archives of a project, and in what order they stand.
//
// An archive is named <project name>-yymmdd.hhnn<suffix>.zip. The part after the project
// name is the tail ("-101203.1530c.zip"); it is ASCII, and positions in it are 1-based.
// By suffix: none is a plain (relative) archive, "c" a change archive and "c-v." plus a
// version a version archive; change and version archives are full copies of the project.
// Files whose tail does not have this form are ignored by the whole program and never
// touched.
#pragma once
#include <string>
#include <vector>

namespace kp {

struct ArchiveRef {
    std::string tail; // "-101203.1530c.zip"
    std::string head; // "<folder>/<project name>"
    std::string fullPath() const { return head + tail; }
};

// Removes every entry whose tail is not a valid archive name for the date todayYymmdd
// (names dated before 2 August 2008 or after today are refused) and sorts the rest in the
// case-insensitive order of tail, then head: oldest first, and within one minute the plain
// archive before the full one (the tail's "." sorts before "c").
void ValidateArchiveNames(std::vector<ArchiveRef>& lines, int todayYymmdd);

bool isValidArchiveTail(const std::string& tail, int todayYymmdd);
// A change or version archive ("c" after the time, either case).
bool isFullArchiveTail(const std::string& tail);
// The version text "1.2.3" of a version archive's tail, the third part possibly empty
// ("1.2."); empty when the tail is not a version archive.
std::string versionOfTail(const std::string& tail);

int yymmddOf(int year, int month, int day);

} // namespace kp
