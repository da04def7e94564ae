// Is a file held open by another program? A restore must not replace files that an editor
// or a database still has open.
#pragma once
#include <string>

namespace kp {

// True when any other open file descriptor refers to the file. Tries a write lease, which
// the kernel refuses while another descriptor is open; where leases are not supported
// (network file systems) or not permitted, looks for the file among /proc/*/fd.
bool isFileBusy(const std::string& path);

} // namespace kp
