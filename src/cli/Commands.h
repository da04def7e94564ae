// The kpad commands, one file each (cmd_*.cpp). Each takes the arguments after its own
// name and returns the process exit code: 0 done, 1 refused or failed, 2 bad arguments,
// 3 stored but incomplete (some files or folders could not be read).
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace kp::cli {

using Args = std::vector<std::string>;

int cmdStore(const Args& args);
int cmdList(const Args& args);
int cmdLog(const Args& args);
int cmdVerify(const Args& args);
int cmdRestore(const Args& args);
int cmdSettings(const Args& args);
int cmdDiff(const Args& args);
int cmdVersions(const Args& args);
int cmdExtract(const Args& args);

// The text as written to out: on a terminal every control character but the line break is
// shown escaped (a name may hold any byte); to a pipe or file, exactly as it is.
std::string forOutput(const std::string& text, std::FILE* out);

// Prints "kpad: <message>" to stderr and returns 2.
int badArguments(const std::string& message);

} // namespace kp::cli
