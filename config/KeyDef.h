// One row of a key table: where a value lives, what kind it is and what a
// reader gets when the key is missing or unreadable.
#pragma once

#include <cstdint>
#include <string_view>

namespace vendrix::config {

enum class TValueType { Text, Integer, Integer64, Boolean };

struct TKeyDef {
    std::string_view Section; // empty in the account table: the account's own section
    std::string_view Key;
    TValueType Type;
    std::string_view Default; // as it would be stored: "0", "1", "#000000", ...
};

// A numbered list: Prefix+"0", Prefix+"1", ... in one section.
struct TListDef {
    std::string_view Section; // empty in the account table: the account's own section
    std::string_view Prefix;
};

// The default of an Integer, Integer64 or Boolean row as a number.
int64_t NumericDefault(const TKeyDef& def);

} // namespace vendrix::config
