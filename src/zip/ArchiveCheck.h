// The two integrity checks of a stored state: the files on disk against the CRCs that a new
// archive holds for them, and every item of an archive against its own CRC.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "zip/ZipArchive.h"

namespace kp {

// For each file, in the given order, that the archive lacks: {name, "00000000"}; for each
// whose file on disk has another size or CRC or cannot be read: {name, the archive's CRC as eight
// upper-case hexadecimal digits}. Files are checksummed by several threads at once.
std::vector<std::pair<std::string, std::string>>
compareWithDisk(const ZipArchive& archive, const std::vector<std::string>& relativeFiles,
                const std::string& baseDirectory, unsigned threads = 2);

// Of the named items, those whose data does not decompress to its stored size and CRC (or
// that the archive lacks), in the given order. Items are read by several threads at once.
std::vector<std::string> itemsWithBadData(const ZipArchive& archive, const std::vector<std::string>& names,
                                          unsigned threads = 2);

// Decompresses every item and checks it against its stored CRC and size; one readable line per
// bad item. Throws ArchiveError when the archive cannot be opened or its directory is damaged.
std::vector<std::string> verifyArchive(const std::string& path);

} // namespace kp
