#include "AccountTable.h"

#include <array>

namespace vendrix::config {

namespace {

using enum TValueType;

// Indexed by TAccountKey; the order must match the enumeration.
constexpr std::array<TKeyDef, static_cast<std::size_t>(TAccountKey::Count)> kAccountKeys{{
    {"", "Password", Text, ""},
    {"", "HomePath", Text, ""},
    {"", "Time-Out", Integer, "0"},
    {"", "MaxUser", Integer, "0"},
    {"", "MaxUserIP", Integer, "0"},
    {"", "MaxSpeed", Integer, "0"},
    {"", "VirtualDir", Boolean, "0"},
    {"", "UserDisable", Boolean, "0"},
    {"", "Ratio", Boolean, "0"},
    {"", "UP", Integer, "0"},
    {"", "DOWN", Integer, "0"},
    {"", "TypeRatio", Integer, "0"},
    {"", "Credit", Integer, "0"},
    {"", "Quota", Integer64, "0"},
    {"", "EnterMessage", Text, ""},
    {"", "ExitMessage", Text, ""},
    {"", "TotalDownload", Integer64, "0"},
    {"", "TotalUpload", Integer64, "0"},
    {"", "RequireTLS", Boolean, "0"},
}};

constexpr TListDef kAccessList{"", "Dir"};

} // namespace

const TKeyDef& AccountKeyDef(TAccountKey key) {
    return kAccountKeys.at(static_cast<std::size_t>(key));
}

const TListDef& AccessListDef() {
    return kAccessList;
}

} // namespace vendrix::config
