// The IP deny and allow patterns, against a plain reference matcher. Both
// sides count their first 255 characters, an empty pattern matches nothing,
// a run of two or more stars at the end wants at least one character, and
// letters match in either case.
#include "AsciiText.h"
#include "FuzzInput.h"
#include "IpPattern.h"

#include <cstdlib>

using namespace vendrix;

namespace {
bool Expected(std::string pattern, std::string address) {
    if (pattern.empty()) return false;
    if (pattern == "*") return true;
    pattern.resize(std::min<size_t>(pattern.size(), 255));
    address.resize(std::min<size_t>(address.size(), 255));
    size_t run = pattern.size() - pattern.find_last_not_of('*') - 1;
    if (pattern.find_last_not_of('*') == std::string::npos) run = pattern.size();
    if (run >= 2) pattern = pattern.substr(0, pattern.size() - run) + "?*";
    for (std::string* s : {&pattern, &address})
        for (char& c : *s)
            c = net::AsciiLower(c);
    return fuzz::WildcardReference(pattern, address);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> f = fuzz::Fields(data, size, 2);
    if (policy::IpPatternMatches(f[0], f[1]) != Expected(f[0], f[1])) std::abort();
    if (!policy::IpAdmitted({f[0]}, {f[0]}, f[1])) std::abort(); // an allow beats the same deny
    return 0;
}
