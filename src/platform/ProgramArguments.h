// The command line as UTF-8 texts, whatever the system hands over: Windows passes main()
// its arguments in the ANSI code page, which cannot name every file.
#pragma once
#include <string>
#include <vector>

namespace kp {

// The program's arguments, argv[0] included. On Windows also switches the console's output
// to UTF-8, so that names print as they are.
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace kp
