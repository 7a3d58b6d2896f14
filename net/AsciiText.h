// ASCII letter case and trimming, shared by every layer. Command words,
// drive letters, file extensions and settings are compared by ASCII case
// only: a locale must not change which command or file a name means.
#pragma once

#include <string>
#include <string_view>

namespace vendrix::net {

inline char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The text with every ASCII letter in upper case; other bytes unchanged.
std::string UpperCase(std::string_view text);
// Whether a and b are equal but for ASCII letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// The text without leading and trailing blanks and control characters
// (every byte up to and including the space).
std::string_view TrimControl(std::string_view text);

} // namespace vendrix::net
