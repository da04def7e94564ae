// Copying a whole file so that the target is either the complete copy or untouched.
#pragma once
#include <string>

namespace kp {

// Copies source to target through an aside file (target + ".part"): write, fsync, rename
// over target, fsync the folder. The copy keeps the source's permission bits and
// modification time. On failure the aside file is removed, target keeps what it had, and
// false is returned with errno set.
bool copyFileDurably(const std::string& source, const std::string& target);

} // namespace kp
