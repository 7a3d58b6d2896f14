// One directory access entry of an account: "directory|rights|link name".
// The rights field has 11 positions, written by the editor in the order
// D U A E M R Y _ S V _ with "_" for a right not given; readers only ask
// whether a letter occurs anywhere in the field.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::config {

inline constexpr char kRightDownload = 'D';
inline constexpr char kRightUpload = 'U';
inline constexpr char kRightDenied = 'A';
inline constexpr char kRightErase = 'E';
inline constexpr char kRightMakeDir = 'M';
inline constexpr char kRightRemoveDir = 'R';
inline constexpr char kRightRename = 'Y';
inline constexpr char kRightSubdirs = 'S';
inline constexpr char kRightVirtual = 'V';

// The rights field of a freshly added entry: no rights.
inline constexpr std::string_view kNoRights = "___________";

struct TAccessEntry {
    std::string Directory;
    std::string Rights;
    std::optional<std::string> LinkName; // absent: no link

    bool Has(char letter) const { return Rights.find(letter) != std::string::npos; }
    bool operator==(const TAccessEntry&) const = default;
};

// Splits on "|"; an empty last field produces no element, so "C:|x|" gives
// two fields. Empty fields before it are kept.
std::vector<std::string> SplitAccessFields(std::string_view value);

TAccessEntry ParseAccessEntry(std::string_view value);
// "directory|rights|link"; the link field is written even when empty.
std::string FormatAccessEntry(const TAccessEntry& entry);
// The 11-position field for the given letters, in the editor's order.
std::string MakeRights(std::string_view letters);

} // namespace vendrix::config
