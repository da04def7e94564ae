// What changed since the primary archive. An item is unchanged when the archive holds an
// item of the same name (ignoring case) with the same DOS time; project items without such
// a twin are changed (new or modified), archive items without a project item are missing.
//
// The rules are those of a sort-and-prefix comparison of text lines ("name<TAB>t:time" for
// archive items, "name<TAB>t:time,s:size,a:attributes" for project items): two lines whose
// lower-cased texts begin one with the other cancel out; of two unequal lines with the
// same name the shorter goes. Lines only interact with lines of the same name, so the
// comparison runs name group by name group, in time linear in the listing (plus sorting
// what changed), and names holding TAB or line breaks cannot confuse it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DosTime.h"

namespace kp {

struct ArchiveLine {
    std::string name; // item name, "/" separators
    DosDateTime dosTime = 0;
};

struct ProjectLine {
    std::string name;  // path relative to the project's folder ("Site/index.html", "Site/docs/")
    std::string value; // "t:...,s:...,a:..."
};

struct ChangeResult {
    std::vector<std::size_t> changed; // indexes into the project lines, in the lines' sorted order
    std::vector<std::string> missing; // names of archive items the project no longer has, descending
};

ChangeResult detectChanges(const std::vector<ArchiveLine>& archive, const std::vector<ProjectLine>& project);

// The archive's bookkeeping items ("_kpad_/..."), which are never compared.
bool isBookkeepingItem(const std::string& name);

} // namespace kp
