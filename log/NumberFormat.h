// Numbers in log lines and replies, written the same way whatever the
// process's locale: "," between groups of three digits, "." before decimals.
#pragma once

#include <cstdint>
#include <string>

namespace vendrix::log {

// "1,500,000".
std::string FormatGrouped(int64_t value);
// Grouped, with two decimals: "1,205.63".
std::string FormatFixed2(double value);
// A transfer speed: rounded to five significant digits first, then as
// FormatFixed2 ("100.50", "12,346.00").
std::string FormatSpeed(double value);
// The shortest text that reads back as the same value: "102.4", "0".
std::string FormatDecimal(double value);

} // namespace vendrix::log
