// What the user setup dialog and the command line both refuse in an account:
// one set of rules, so an account made in one is accepted by the other.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vendrix::config {

// A name that can be a section of the account file and be typed at login:
// not empty or blank, no control character, none of \ / : | * ? " < > [ ].
bool IsValidAccountName(std::string_view name);

// The rights letters an access entry may hold, in the editor's order.
inline constexpr std::string_view kRightLetters = "DUAEMRYSV";

// The 11-position rights field for letters given in any order and case
// ("dls" is refused: "L" is no right), or nothing when one is not a right.
std::optional<std::string> RightsFromLetters(std::string_view letters);

// A rights field of 11 positions, each a rights letter or "_". Readers only
// ask whether a letter occurs, so a letter out of the editor's order is
// still well formed.
bool IsWellFormedRights(std::string_view field);

} // namespace vendrix::config
