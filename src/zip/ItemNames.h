// Rules for item names: what the writer agrees to store, what the reader accepts, what
// extraction may write, and the masks of deleteFiles and extractFilesEx.
#pragma once
#include <string>
#include <string_view>

#include "zip/ZipItem.h"

namespace kp {

// Why a stored name cannot be accepted at all, or empty. NUL and control characters are
// refused because they hide or fake parts of a path when shown or passed on; TAB, CR and
// LF are let through, since Linux file names may hold them and such files must be backed up.
std::string nameCharacterProblem(std::string_view name);

// Why the writer refuses a name, or empty: it must be a clean relative UTF-8 path of at most
// 65,535 bytes, "/" separated, without empty, "." or ".." parts, drive letters or backslashes
// (the program looks items up with "\" standing for "/", so a backslash would be ambiguous).
std::string writableNameProblem(std::string_view name);

// Why extraction must not write an item, or empty: absolute names, drive letters, ".." parts,
// backslashes and symbolic links could all reach outside the target folder.
std::string extractionProblem(const ZipItem& item);

// '*' matches any run of characters ("/" included), '?' one byte; "\" in a mask means "/".
bool matchesMask(std::string_view name, std::string_view mask);

} // namespace kp
