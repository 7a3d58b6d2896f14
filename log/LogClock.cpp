#include "LogClock.h"

#include <cstdio>
#include <ctime>

namespace vendrix::log {

TLocalTime SystemLocalTime() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string FormatLogTime(const TLocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.Hour, t.Minute, t.Second);
    return text;
}

std::string FormatLogDate(const TLocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.Year, t.Month, t.Day);
    return text;
}

} // namespace vendrix::log
