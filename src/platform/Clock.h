// The one source of "now" for the whole program, so that tests can run a store
// "on 3 December 2010 at 15:30" without waiting.
#pragma once
#include <ctime>
#include <functional>

namespace kp {

// Broken-down local time, as the archive names and the stamps use it.
struct LocalTime {
    int year = 0;   // four digits
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
    int second = 0; // 0..59
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::time_t now() const = 0;
    LocalTime localNow() const;
};

class SystemClock final : public Clock {
public:
    std::time_t now() const override { return std::time(nullptr); }
};

// A clock that stands still until told otherwise; for tests and for replaying runs.
class FixedClock final : public Clock {
public:
    explicit FixedClock(std::time_t t) : m_now(t) {}
    std::time_t now() const override { return m_now; }
    void set(std::time_t t) { m_now = t; }
    void advance(std::time_t seconds) { m_now += seconds; }

private:
    std::time_t m_now;
};

const Clock& systemClock();

LocalTime toLocalTime(std::time_t t);
std::time_t fromLocalTime(const LocalTime& lt); // -1 when the fields do not form a time

} // namespace kp
