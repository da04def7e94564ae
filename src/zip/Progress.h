// How the kit reports the progress of long work: the whole archive and the current item,
// each in percent.
#pragma once
#include <functional>

namespace kp {

enum class ProgressScope { Archive, Item };
// Called from the thread that does the work; the receiver marshals to its own thread.
using ProgressCallback = std::function<void(ProgressScope, int percent)>;

} // namespace kp
