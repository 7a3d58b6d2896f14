// The IP deny and allow patterns: "*" and "?" and their odd cases, and
// patterns with many stars, which must not take time exponential in them.
#include "IpPattern.h"

#include <gtest/gtest.h>

using namespace vendrix::policy;

namespace {

TEST(IpPattern, StarsQuestionMarksAndTrailingStarRuns) {
    struct TCase {
        std::string pattern, address;
        bool match;
    } cases[] = {
        {"*", "", true},
        {"", "", false},
        {"10.0.0.1*", "10.0.0.1", true},
        // A run of two or more stars at the end wants at least one character.
        {"10.0.0.1**", "10.0.0.1", false},
        {"10.0.0.1**", "10.0.0.12", true},
        {"**", "", false},
        {"**", "1", true},
        {"1**2", "12", true},
        {"1?*", "1", false},
        {"*.1", "10.0.0.1", true},
        {"*.?", "10.0.0.12", false},
        // IPv6 hexadecimal digits match in either case.
        {"FE80::*", "fe80::1", true},
        {"2001:DB8::?", "2001:db8::a", true},
        {"2001:db8::A", "2001:DB8::a", true},
        {"2001:db8::b", "2001:db8::a", false},
        {std::string(300, '*'), "1", true},
        // Only the first 255 characters of each count.
        {std::string(255, '1') + "x", std::string(255, '1') + "y", true},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(IpPatternMatches(t.pattern, t.address), t.match) << t.pattern << " / " << t.address;
}

TEST(IpPattern, ManyStarsAgainstALongAddressFinish) {
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*1";
    pattern += "*2";
    EXPECT_FALSE(IpPatternMatches(pattern, std::string(200, '1')));
    EXPECT_TRUE(IpPatternMatches(pattern, std::string(200, '1') + "2"));
}

} // namespace
