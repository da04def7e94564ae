#include "platform/DosTime.h"

#include <cstdio>

namespace kp {

namespace {
constexpr DosDateTime kFirstDos = (0u << 25) | (1u << 21) | (1u << 16); // 1980-01-01 00:00:00
constexpr DosDateTime kLastDos = (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
} // namespace

DosDateTime toDosDateTime(const LocalTime& lt) {
    if (lt.year < 1980) return kFirstDos;
    if (lt.year > 2107) return kLastDos;
    return (std::uint32_t(lt.year - 1980) << 25) | (std::uint32_t(lt.month) << 21) |
           (std::uint32_t(lt.day) << 16) | (std::uint32_t(lt.hour) << 11) |
           (std::uint32_t(lt.minute) << 5) | std::uint32_t(lt.second / 2);
}

DosDateTime toDosDateTime(std::time_t t) { return toDosDateTime(toLocalTime(t)); }

LocalTime dosToLocalTime(DosDateTime dos) {
    return {int((dos >> 25) & 0x7F) + 1980, int((dos >> 21) & 0x0F), int((dos >> 16) & 0x1F),
            int((dos >> 11) & 0x1F),        int((dos >> 5) & 0x3F),  int(dos & 0x1F) * 2};
}

std::time_t fromDosDateTime(DosDateTime dos) { return fromLocalTime(dosToLocalTime(dos)); }

std::string formatLocalTime(const LocalTime& lt) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", lt.year, lt.month, lt.day, lt.hour,
                  lt.minute, lt.second);
    return buf;
}

} // namespace kp
