// How the process keeps its memory for a run. A run is one process that lists, stores and
// checks a project and ends, so memory it frees is worth keeping for what comes next.
#pragma once

namespace kp {

// Called first thing in main(). A store of a project of many small files makes hundreds of
// thousands of small objects (names, listing entries, items, directory records); faulting
// their memory in four kilobytes at a time took a third of such a store's time. The heap is
// grown in one large step, in large pages where the system offers them, shared by every
// thread, and freed memory is kept for the rest of the run instead of being given back and
// faulted in again.
void prepareMemoryForRun();

} // namespace kp
