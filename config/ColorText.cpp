#include "ColorText.h"

namespace vendrix::config {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<TColor> ParseColorText(std::string_view text) {
    if (text.size() < 7) return std::nullopt;
    uint8_t parts[3];
    for (int i = 0; i < 3; ++i) {
        int high = HexDigit(text[1 + 2 * i]);
        int low = HexDigit(text[2 + 2 * i]);
        if (high < 0 || low < 0) return std::nullopt;
        parts[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return TColor{parts[0], parts[1], parts[2]};
}

std::string FormatColorText(TColor color) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "#";
    for (uint8_t part : {color.Red, color.Green, color.Blue}) {
        text += kDigits[part >> 4];
        text += kDigits[part & 15];
    }
    return text;
}

} // namespace vendrix::config
