// Colours written as text: "#" and two hexadecimal digits each for red,
// green and blue. The first character is not looked at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix::config {

struct TColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;

    bool operator==(const TColor&) const = default;
};

// Characters 2-3, 4-5 and 6-7 as hexadecimal; nullopt when the text is
// shorter or those characters are no hexadecimal digits.
std::optional<TColor> ParseColorText(std::string_view text);
// "#RRGGBB" in upper case.
std::string FormatColorText(TColor color);

} // namespace vendrix::config
