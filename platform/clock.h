// The clock service: the local time now, to the second.
//
// SystemClock reads the system's clock and time zone; a test passes a clock of its own.
#pragma once

namespace lz::clock {

// A local date and time as a user reads it: month 1 to 12, day 1 to 31, hour 0 to 23.
struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const LocalTime&) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

class SystemClock final : public Clock {
public:
    LocalTime now() override;
};

}  // namespace lz::clock
