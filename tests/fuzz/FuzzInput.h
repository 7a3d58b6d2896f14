// Helpers shared by the fuzz targets: splitting an input into fields, and a
// plain reference for "*" and "?" patterns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vendrix::fuzz {

// The input cut at every NUL byte; missing fields are empty.
inline std::vector<std::string> Fields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(count);
    size_t f = 0;
    for (size_t i = 0; i < size && f < count; ++i) {
        if (data[i] == 0)
            ++f;
        else
            fields[f] += char(data[i]);
    }
    return fields;
}

// "*" any run of characters, "?" exactly one, anything else itself: the
// table of which prefixes of the pattern match which prefixes of the text.
inline bool WildcardReference(const std::string& pattern, const std::string& text) {
    const size_t n = text.size();
    std::vector<char> row(n + 1, 0), next(n + 1, 0);
    row[0] = 1;
    for (char p : pattern) {
        next.assign(n + 1, 0);
        if (p == '*') {
            next[0] = row[0];
            for (size_t j = 1; j <= n; ++j)
                next[j] = row[j] || next[j - 1];
        } else {
            for (size_t j = 1; j <= n; ++j)
                next[j] = row[j - 1] && (p == '?' || p == text[j - 1]);
        }
        row.swap(next);
    }
    return row[n] != 0;
}

} // namespace vendrix::fuzz
