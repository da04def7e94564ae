#include "platform/Clock.h"

namespace kp {

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

LocalTime Clock::localNow() const { return toLocalTime(now()); }

LocalTime toLocalTime(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::time_t fromLocalTime(const LocalTime& lt) {
    std::tm tm{};
    tm.tm_year = lt.year - 1900;
    tm.tm_mon = lt.month - 1;
    tm.tm_mday = lt.day;
    tm.tm_hour = lt.hour;
    tm.tm_min = lt.minute;
    tm.tm_sec = lt.second;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

} // namespace kp
