// Rules for item names: what the writer agrees to store, what the reader accepts, what
// extraction may write, and the masks of deleteFiles and extractFilesEx.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "zip/ZipItem.h"

namespace kp {

// Why a stored name cannot be accepted at all, or empty. NUL and control characters are
// refused because they hide or fake parts of a path when shown or passed on; TAB, CR and
// LF are let through, since Linux file names may hold them and such files must be backed up.
std::string nameCharacterProblem(std::string_view name);

// A name stored in code page 437, as archives made on DOS and Windows hold them, in UTF-8. The
// bytes 0x01-0x1F and 0x7F are that code page's glyphs there (☺ ☻ ♥ ... ⌂), not control
// characters; NUL stays NUL, for the name checks to refuse.
std::string dosNameToUtf8(std::string_view raw);

// Why the writer refuses a name, or empty: it must be a clean relative path of at most 65,535
// bytes, "/" separated, without empty, "." or ".." parts or drive letters. A backslash is an
// ordinary character of a Linux name, and a name that is not UTF-8 is stored as its bytes.
std::string writableNameProblem(std::string_view name);

// The language-encoding flag (bit 11) for a new item of this name: set for UTF-8 names; a
// name that is not UTF-8 is stored as its bytes without it, as Info-ZIP does on Linux, and
// read back as those bytes from an item made by Unix.
std::uint16_t nameEncodingFlag(std::string_view name);

// Why extraction must not write an item, or empty: absolute names, drive letters, ".." parts
// and symbolic links could all reach outside the target folder. A backslash cannot: on Linux
// it is part of a name, never a separator. Empty and "." parts and folders that carry data
// are refused too: such an item has no place of its own to be written to.
std::string extractionProblem(const ZipItem& item);

// The item's path: its name without the "/" that ends a folder's name.
std::string_view itemPath(std::string_view name);

// '*' matches any run of characters ("/" included), '?' one byte; "\" in a mask means "/".
bool matchesMask(std::string_view name, std::string_view mask);

} // namespace kp
