// Address patterns of the IP deny and allow lists: "*" matches any run of
// characters, "?" exactly one, everything else itself.
#pragma once

#include <string>
#include <vector>

namespace vendrix::policy {

bool IpPatternMatches(const std::string& pattern, const std::string& address);

// Allowed unless a deny pattern matches and no allow pattern does.
bool IpAdmitted(const std::vector<std::string>& deny, const std::vector<std::string>& allow,
                const std::string& address);

} // namespace vendrix::policy
