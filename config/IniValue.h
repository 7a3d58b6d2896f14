// How a stored value text reads: blanks around it dropped, one pair of
// enclosing quotes dropped, integers in decimal or "0x" hexadecimal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix::config {

// Readers get at most this many characters of a value (a buffer of 2048).
inline constexpr std::size_t kMaxValueLength = 2047;

std::string_view TrimBlanks(std::string_view text);
// Trims, then removes one pair of enclosing double or single quotes.
std::string_view UnquoteValue(std::string_view stored);

// A whole-text integer: optional sign and decimal digits, or "0x"/"0X" and
// hexadecimal digits. Anything else, or a value out of range, is nullopt.
std::optional<int64_t> ParseInt64(std::string_view text);
std::optional<int32_t> ParseInt32(std::string_view text);

} // namespace vendrix::config
