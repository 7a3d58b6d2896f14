#include "IpPattern.h"

namespace vendrix::policy {

namespace {
bool Match(const char* p, const char* a) {
    for (;;) {
        if (*a == '\0') {
            // Once the address is used up only an empty rest or a lone "*"
            // matches: "10.0.0.1**" does not match "10.0.0.1".
            return *p == '\0' || (p[0] == '*' && p[1] == '\0');
        }
        if (*p == '\0') return false;
        if (*p == '*') {
            // "*" takes none or more characters.
            if (Match(p + 1, a)) return true;
            ++a;
            continue;
        }
        if (*p != '?' && *p != *a) return false;
        ++p;
        ++a;
    }
}
} // namespace

bool IpPatternMatches(const std::string& pattern, const std::string& address) {
    if (pattern.empty()) return false;
    if (pattern == "*") return true;
    // Both are taken up to 255 characters; a longer text is no address.
    return Match(pattern.substr(0, 255).c_str(), address.substr(0, 255).c_str());
}

bool IpAdmitted(const std::vector<std::string>& deny, const std::vector<std::string>& allow,
                const std::string& address) {
    bool allowed = true;
    for (const std::string& p : deny)
        if (IpPatternMatches(p, address)) allowed = false;
    for (const std::string& p : allow)
        if (IpPatternMatches(p, address)) allowed = true;
    return allowed;
}

} // namespace vendrix::policy
