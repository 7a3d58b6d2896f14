#include "AccountRules.h"

#include "AccessEntry.h"

namespace vendrix::config {

bool IsValidAccountName(std::string_view name) {
    static constexpr std::string_view refused = "\\/:|*?\"<>[]";
    if (name.find_first_not_of(" \t") == std::string_view::npos) return false;
    // The account file drops blanks around a section name: such a name would
    // name a section that is never found again.
    if (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t')
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (refused.find(char(c)) != std::string_view::npos || c < 0x20 || c == 0x7f) return false;
        // U+0080..U+009F, the second set of control characters, in UTF-8.
        if (c == 0xc2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) <= 0x9f) return false;
    }
    return true;
}

std::optional<std::string> RightsFromLetters(std::string_view letters) {
    std::string upper;
    for (char c : letters) {
        const char u = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
        if (kRightLetters.find(u) == std::string_view::npos) return std::nullopt;
        upper.push_back(u);
    }
    return MakeRights(upper);
}

bool IsWellFormedRights(std::string_view field) {
    if (field.size() != kNoRights.size()) return false;
    for (char c : field)
        if (c != '_' && kRightLetters.find(c) == std::string_view::npos) return false;
    return true;
}

} // namespace vendrix::config
