// How a failure travels up the layers: one Failure (what kind, the text the user is shown,
// and the detail for a log line) in one result type. A layer may use exceptions inside
// itself; what leaves it is a Result.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kp {

enum class FailureKind {
    Refused,       // a check refused the work before it began (a size, the clock, a name, access)
    BadInput,      // what the user gave is not valid (an argument, a version part)
    WriteFailed,   // a file or folder could not be written
    CheckFailed,   // what was written is not what the disk holds
    RestoreFailed, // the project's files could not be put back
    Incomplete,    // done, but some files or folders could not be read
    Internal,      // what the program cannot go on from (a damaged archive, a kit error)
};

struct Failure {
    FailureKind kind = FailureKind::Internal;
    std::string text;   // as the user is shown it
    std::string detail; // for a log line: the path, the system's reason
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Failure failure) : m_value(std::move(failure)) {}

    bool ok() const { return m_value.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_value); }
    T& value() { return std::get<0>(m_value); }
    const Failure& failure() const { return std::get<1>(m_value); }

private:
    std::variant<T, Failure> m_value;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return !m_failure; }
    explicit operator bool() const { return ok(); }
    const Failure& failure() const { return *m_failure; }

private:
    std::optional<Failure> m_failure;
};

} // namespace kp
