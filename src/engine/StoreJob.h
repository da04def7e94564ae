// The run's part of a store: whether the new state is relative, and the writer's inputs
// with the bookkeeping texts composed from what the user chose.
#pragma once
#include "engine/RunState.h"
#include "store/StoreOperation.h"

namespace kp {

// A relative archive is written when no version is added, the comment is blank and a full
// archive exists; otherwise a full one.
bool writesRelativeArchive(const RunState& s);

// True when the relative archive this run would write holds what the newest archive holds:
// the newest is a relative archive of the same primary, with the same changed items (names,
// times, sizes) and the same missing text. Another copy would only push older states out.
bool sameAsLatestRelative(const RunState& s, const ChangeResult& changes, const std::string& missingText,
                          bool ignoreCase);

// The writer's inputs with the bookkeeping texts of the new state.
WriterJob composeWriterJob(const RunState& s, const Selection& selection, const SplitSelection& split);

} // namespace kp
