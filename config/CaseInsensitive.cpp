#include "CaseInsensitive.h"

#include <cstdint>

namespace vendrix::config {

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
