// ASCII case and trimming: only ASCII letters change case, and trimming takes
// every blank and control byte from both ends but nothing from the middle.
#include "AsciiText.h"

#include <gtest/gtest.h>

using namespace vendrix::net;

TEST(AsciiText, UpperCaseTouchesOnlyAsciiLetters) {
    EXPECT_EQ(UpperCase("retr"), "RETR");
    EXPECT_EQ(UpperCase("a n"), "A N");
    EXPECT_EQ(UpperCase("setup.exe"), "SETUP.EXE");
    EXPECT_EQ(UpperCase("\xc3\xa4z9_"), "\xc3\xa4Z9_"); // UTF-8 bytes stay as they are
    EXPECT_EQ(UpperCase(""), "");
}

TEST(AsciiText, EqualsNoCase) {
    struct TCase {
        const char* A;
        const char* B;
        bool Equal;
    } const cases[] = {
        {"C:", "c:", true}, {"Pub", "PUB", true}, {"pub", "pubs", false}, {"\xc3\xa4", "\xc3\x84", false},
        {"", "", true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(EqualsNoCase(c.A, c.B), c.Equal) << c.A << " / " << c.B;
}

TEST(AsciiText, TrimControl) {
    struct TCase {
        const char* In;
        const char* Out;
    } const cases[] = {
        {"  anonymous \r\n", "anonymous"},
        {"\t127.0.0.1\v", "127.0.0.1"},
        {"a b", "a b"},
        {"\x01x\x1f", "x"},
        {"   ", ""},
        {"", ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TrimControl(c.In), c.Out) << c.In;
}
