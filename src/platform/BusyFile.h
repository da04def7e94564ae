// Is a file held open by another program? A restore must not replace files that an editor
// or a database still has open.
#pragma once
#include <optional>
#include <set>
#include <string>
#include <cstdint>
#include <utility>

namespace kp {

// Whether any other open file descriptor refers to a file. On Windows: whether an exclusive
// open (no sharing) fails with a sharing violation. Tries a write lease, which the
// kernel refuses while another descriptor is open; where leases are not supported (network
// file systems) or not permitted, looks for the file among /proc/*/fd, read at most once.
class BusyFileCheck {
public:
    bool isBusy(const std::string& path);

private:
    std::optional<std::set<std::pair<std::uint64_t, std::uint64_t>>> m_openFiles; // device, inode
};

} // namespace kp
