#include "AsciiText.h"

namespace vendrix::net {

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = AsciiUpper(c);
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

std::string_view TrimControl(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace vendrix::net
