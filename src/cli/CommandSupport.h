// What the kpad commands share: walking the arguments, finding the project and its states,
// and printing names that may hold any byte.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "engine/RunState.h"
#include "hosts/ConsoleHost.h"

namespace kp::cli {

// Walks a command's arguments. "--" ends the options: every argument after it is a plain
// one, so a name beginning with "-" can still be given.
class ArgWalker {
public:
    explicit ArgWalker(const Args& args) : m_args(args) {}
    // Moves to the next argument; false at the end.
    bool next();
    const std::string& arg() const { return m_args[m_at]; }
    // The argument begins with "-" (and is not "-" alone) and no "--" came before it.
    bool isOption() const { return !m_optionsEnded && arg().size() > 1 && arg()[0] == '-'; }
    // The option's value: the next argument, whatever it looks like; false when none is left.
    bool takeValue(std::string& out);

private:
    const Args& m_args;
    std::size_t m_at = std::size_t(-1);
    bool m_optionsEnded = false;
};

// Checks the parameter as a run does (printing its refusals as warnings), resolves the
// project item and finds its archives. Nothing when the parameter is refused.
std::optional<RunState> openProject(const std::string& param);

// The text with every control character, and every byte that is not valid UTF-8, written as
// "\xNN": a file name can hold any byte but "/" and NUL, and one line must stay one line
// and never drive the terminal. keepLineBreaks lets "\n" through, for messages of several lines.
std::string printable(std::string_view text, bool keepLineBreaks = false);

// Prints "kpad: <message>" to stderr and returns 1.
int failed(const std::string& message);
// Prints "kpad: <the failure's text>" to stderr and returns the exit code of its kind.
int failed(const Failure& failure);

} // namespace kp::cli
