// Line assembly, fed byte by byte and in bulk.
#include "FtpTypes.h"
#include "LineBuffer.h"

#include <gtest/gtest.h>
#include <vector>

using namespace vendrix::ftp;

namespace {

std::vector<std::string> FeedByteByByte(TLineBuffer& lb, const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (char b : bytes) {
        lb.Append(&b, 1);
        while (lb.NextLine(line))
            lines.push_back(line);
    }
    return lines;
}

TEST(LineBuffer, SplitsLinesFedByteByByte) {
    struct TCase {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"NOOP\r\n", {"NOOP"}},
        {"NOOP\n", {"NOOP"}},
        {"\r\n", {"\r"}}, // a lone CR is kept: fewer than two bytes precede the LF
        {"a\r\nb\r\n", {"a", "b"}},
        {"x\r\r\n", {"x\r"}},
        {"partial", {}},
    };
    for (const TCase& t : cases) {
        TLineBuffer lb;
        EXPECT_EQ(FeedByteByByte(lb, t.bytes), t.lines) << t.bytes;
    }
}

TEST(LineBuffer, FullBufferWithoutLineEndBecomesOver) {
    TLineBuffer lb(16);
    std::vector<std::string> lines = FeedByteByByte(lb, std::string(15, 'A') + "B\r\n");
    // 15 bytes fill a 16-byte buffer (one byte stays free): OVER, then the rest.
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "OVER");
    EXPECT_EQ(lines[1], "B");
}

TEST(LineBuffer, SizeChangesOnlyWhenEmpty) {
    TLineBuffer lb(2048);
    lb.Append("NO", 2);
    try {
        lb.SetSize(4096);
        FAIL();
    } catch (const EFtpError& e) {
        EXPECT_STREQ(e.what(), "Data in buffer, can't change size");
    }
    EXPECT_EQ(lb.Size(), 2048);
    std::string line;
    lb.Append("OP\r\n", 4);
    ASSERT_TRUE(lb.NextLine(line));
    lb.SetSize(4096);
    EXPECT_EQ(lb.Size(), 4096);
    lb.SetSize(-5);
    EXPECT_EQ(lb.Size(), 0);
    EXPECT_EQ(lb.WriteSpace(), 0);
}

} // namespace
