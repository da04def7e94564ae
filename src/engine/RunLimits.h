// The limits and times of a run, each named once: the window, kpad and the engine read them
// from here.
#pragma once
#include <cstddef>

namespace kp {

// What the three version edits hold: parts 1 and 2 are numbers 0..100, part 3 a short tag.
// kpad refuses a longer part as the options window's OK would.
inline constexpr std::size_t kVersionPartLength[3] = {3, 3, 20};

// The run's timer: a plain run shows the card this long before it stores; when the options
// window is due it opens sooner; after the window closes, the store begins one interval later.
inline constexpr int kFirstTickMs = 2000;
inline constexpr int kOptionsDueTickMs = 500;
inline constexpr int kAfterOptionsTickMs = 1000;

// The writer reports every step of every item; the window hears of it at most this often.
inline constexpr int kProgressIntervalMs = 50;

// A failed check names at most this many files; "..." says there were more.
inline constexpr std::size_t kMismatchesShown = 10;

} // namespace kp
