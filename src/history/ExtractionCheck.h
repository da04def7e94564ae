// What can be known about writing a state's items out before the first one is written, from
// the archives alone: a restore into the project and a copy into another folder both run
// this check, so that neither stops halfway for a reason it could have seen at the start.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "zip/ZipArchive.h"

namespace kp {

struct ItemToWrite {
    const ZipArchive* zip;
    const ZipItem* item;
};

// Why the items cannot all be written where their names say, under a folder whose file
// system takes names of at most maxName bytes; empty when nothing stands in the way. Each
// item: extraction must accept it (extractionProblem), its data must be readable as far as
// that is known unread (ZipArchive::readProblem), and every part of its name must fit and
// be allowed on this system. Together: no path is named twice, and no file stands where
// another item needs a folder ("Site/a" and "Site/a/b.txt").
std::string extractionCheck(const std::vector<ItemToWrite>& items, std::size_t maxName);

} // namespace kp
