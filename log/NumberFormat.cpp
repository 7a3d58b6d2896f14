#include "NumberFormat.h"

#include <charconv>
#include <cmath>

namespace vendrix::log {

namespace {
// Inserts "," into the digits before the first "." (or the end).
std::string Group(std::string text) {
    size_t start = text[0] == '-' ? 1 : 0;
    size_t end = text.find('.');
    if (end == std::string::npos) end = text.size();
    for (size_t i = end; i > start + 3; i -= 3)
        text.insert(i - 3, 1, ',');
    return text;
}

std::string ToChars(double value, std::chars_format format, int precision) {
    char buf[64];
    auto result = precision < 0 ? std::to_chars(buf, buf + sizeof buf, value, format)
                                : std::to_chars(buf, buf + sizeof buf, value, format, precision);
    return std::string(buf, result.ptr);
}
} // namespace

std::string FormatGrouped(int64_t value) {
    return Group(std::to_string(value));
}

std::string FormatFixed2(double value) {
    if (!std::isfinite(value)) return "0.00";
    std::string text = ToChars(value, std::chars_format::fixed, 2);
    if (text == "-0.00") text = "0.00";
    return Group(text);
}

std::string FormatSpeed(double value) {
    if (!std::isfinite(value)) return "0.00";
    // Through the scientific form with four digits after the point, which
    // rounds to five significant digits exactly as written.
    std::string scientific = ToChars(value, std::chars_format::scientific, 4);
    double rounded = 0;
    std::from_chars(scientific.data(), scientific.data() + scientific.size(), rounded);
    return FormatFixed2(rounded);
}

std::string FormatDecimal(double value) {
    if (!std::isfinite(value)) return "0";
    return ToChars(value, std::chars_format::general, -1);
}

} // namespace vendrix::log
