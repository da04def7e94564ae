// Is a file held open by another program? A restore must not replace files that an editor
// or a database still has open.
#pragma once
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <utility>

namespace kp {

// Whether any other open file descriptor refers to a file. Tries a write lease, which the
// kernel refuses while another descriptor is open; where leases are not supported (network
// file systems) or not permitted, looks for the file among /proc/*/fd, read at most once.
class BusyFileCheck {
public:
    bool isBusy(const std::string& path);

private:
    std::optional<std::set<std::pair<dev_t, ino_t>>> m_openFiles;
};

} // namespace kp
