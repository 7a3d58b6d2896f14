#include "IpPattern.h"

#include "AsciiText.h"

namespace vendrix::policy {

namespace {
// "*" takes none or more characters, "?" one; letters (the hexadecimal
// digits of IPv6 addresses) match in either case. Once the address is used up
// only an empty rest or a lone "*" matches, so "10.0.0.1**" does not match
// "10.0.0.1": a run of two or more stars at the end wants one character at
// least, as "?*" does. Matched with one backtrack point (the last star), in
// time linear in the product of the lengths at worst, whatever the pattern.
bool Match(std::string pattern, const std::string& a) {
    size_t last = pattern.find_last_not_of('*');
    size_t run = last == std::string::npos ? pattern.size() : pattern.size() - last - 1;
    if (run >= 2) pattern.replace(pattern.size() - run, run, "?*");
    const std::string& p = pattern;
    size_t i = 0, j = 0, star = std::string::npos, resume = 0;
    while (j < a.size()) {
        if (i < p.size() &&
            (p[i] == '?' || (p[i] != '*' && net::AsciiLower(p[i]) == net::AsciiLower(a[j])))) {
            ++i;
            ++j;
        } else if (i < p.size() && p[i] == '*') {
            star = i++;
            resume = j;
        } else if (star != std::string::npos) {
            i = star + 1;
            j = ++resume;
        } else {
            return false;
        }
    }
    while (i < p.size() && p[i] == '*')
        ++i;
    return i == p.size();
}
} // namespace

bool IpPatternMatches(const std::string& pattern, const std::string& address) {
    if (pattern.empty()) return false;
    if (pattern == "*") return true;
    // Both are taken up to 255 characters; a longer text is no address.
    return Match(pattern.substr(0, 255), address.substr(0, 255));
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
