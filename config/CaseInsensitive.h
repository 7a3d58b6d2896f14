// Case-insensitive comparison and hashing of section and key names. Names are
// compared by ASCII letter case only: the files are written by hand and by the
// dialogs, and a locale must not change which key a name finds.
#pragma once

#include "AsciiText.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vendrix::config {

// The ASCII case helpers every layer shares, under the names the files'
// code uses.
using net::AsciiLower;
using net::AsciiUpper;
using net::EqualsNoCase;
using net::UpperCase;

// Transparent hash and equality, so maps keyed by std::string can be searched
// with a std::string_view without building a string per lookup.
struct TNoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const;
};

struct TNoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};

} // namespace vendrix::config
