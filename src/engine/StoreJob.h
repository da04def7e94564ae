// The run's part of a store: whether the new state is relative, and the writer's inputs
// with the bookkeeping texts composed from what the user chose.
#pragma once
#include "engine/RunState.h"
#include "store/StoreOperation.h"

namespace kp {

// A relative archive is written when no version is added, the comment is blank and a full
// archive exists; otherwise a full one.
bool writesRelativeArchive(const RunState& s);

// The writer's inputs with the bookkeeping texts of the new state.
WriterJob composeWriterJob(const RunState& s, const Selection& selection, const SplitSelection& split);

} // namespace kp
