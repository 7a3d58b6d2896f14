// The texts the transfer policy adds to replies: the quota and ratio lines of
// a transfer-complete reply and the goodbye text of the QUIT reply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vendrix::policy {

// "226-Maximum disk quota limited to Q Kbytes" and "226-Used disk quota U
// Kbytes", each ended by CR LF.
std::string QuotaLines(int64_t quotaKB, int64_t treeBytes);
// "226-Using UL/DL ratio UP/DOWN, kind" and "226-Current UL/DL ratio credit 0
// unit", each ended by CR LF; empty for a kind outside 0..3.
std::string RatioLines(int64_t up, int64_t down, int64_t typeRatio);
// "221 Goodbye!" followed by one "221" line per line of the goodbye file,
// the last one with a blank after the code.
std::string GoodbyeReply(const std::vector<std::string>& lines);

} // namespace vendrix::policy
