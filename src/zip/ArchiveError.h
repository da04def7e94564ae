// The one error type of the archive kit. Its messages are meant for the user: they name
// the archive, the item when there is one, and what failed.
#pragma once
#include <stdexcept>
#include <string>

namespace kp {

class ArchiveError : public std::runtime_error {
public:
    using runtime_error::runtime_error;
};

// "Archive A: what" and "Archive A, item N: what".
[[noreturn]] void throwArchiveError(const std::string& archive, const std::string& what);
[[noreturn]] void throwItemError(const std::string& archive, const std::string& item,
                                 const std::string& what);

} // namespace kp
