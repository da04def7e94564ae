// The packed FAT ("DOS") date-time of local time. The listing, the archive items and the
// change comparison all go through these two functions, so an unchanged file always
// compares equal to its archived copy.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/Clock.h"

namespace kp {

// Date in the high 16 bits, time in the low 16 bits, seconds in 2-second steps.
using DosDateTime = std::uint32_t;

// Seconds are rounded down to an even number; years before 1980 clamp to 1980-01-01 00:00:00,
// years after 2107 to the last DOS value.
DosDateTime toDosDateTime(std::time_t t);
DosDateTime toDosDateTime(const LocalTime& lt);
LocalTime dosToLocalTime(DosDateTime dos);
std::time_t fromDosDateTime(DosDateTime dos);

// "2010-12-03 15:30:00".
std::string formatLocalTime(const LocalTime& lt);

} // namespace kp
