#include "CaseInsensitive.h"

#include <cstdint>

namespace vendrix::config {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = AsciiUpper(c);
    return result;
}

std::size_t TNoCaseHash::operator()(std::string_view text) const {
    // FNV-1a over the lower-cased bytes.
    uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash);
}

} // namespace vendrix::config
