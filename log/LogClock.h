// The wall-clock time the session log stamps its lines with, injectable so
// that tests can stand at any moment (midnight, for one).
#pragma once

#include <functional>
#include <string>

namespace vendrix::log {

struct TLocalTime {
    int Year = 1970;
    int Month = 1; // 1-12
    int Day = 1;   // 1-31
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

using TLogClock = std::function<TLocalTime()>;

// Now, in the local time zone.
TLocalTime SystemLocalTime();

std::string FormatLogTime(const TLocalTime& t); // "HH:MM:SS", 24 hours
std::string FormatLogDate(const TLocalTime& t); // "yyyy-mm-dd"

} // namespace vendrix::log
