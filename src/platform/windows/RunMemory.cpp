#include "platform/RunMemory.h"

namespace kp {

// The Windows heap keeps what a run frees by itself; large pages need a privilege users lack.
void prepareMemoryForRun() {}

} // namespace kp
