#include "platform/ProgramArguments.h"

namespace kp {

std::vector<std::string> programArguments(int argc, char** argv) { return {argv, argv + argc}; }

} // namespace kp
