#include "TransferReplies.h"

#include "NumberFormat.h"

namespace vendrix::policy {

std::string QuotaLines(int64_t quotaKB, int64_t treeBytes) {
    return "226-Maximum disk quota limited to " + std::to_string(quotaKB) + " Kbytes\r\n" +
           "226-Used disk quota " + log::FormatFixed2(double(treeBytes) / 1024.0) + " Kbytes\r\n";
}

std::string RatioLines(int64_t up, int64_t down, int64_t typeRatio) {
    static const char* const kKinds[] = {"Count files per Session", "Count bytes per Session",
                                         "Count files on all Sessions", "Count bytes on all Sessions"};
    if (typeRatio < 0 || typeRatio > 3) return "";
    const char* unit = typeRatio % 2 == 0 ? "files" : "bytes";
    // The ratio is announced only: nothing is counted against it, so the
    // credit shown is always 0.
    return "226-Using UL/DL ratio " + std::to_string(up) + "/" + std::to_string(down) + ", " +
           kKinds[typeRatio] + "\r\n226-Current UL/DL ratio credit 0 " + unit + "\r\n";
}

std::string GoodbyeReply(const std::vector<std::string>& lines) {
    std::string reply = std::string("221") + (lines.empty() ? " " : "-") + "Goodbye!";
    for (size_t i = 0; i < lines.size(); ++i)
        reply += "\r\n221" + std::string(i + 1 < lines.size() ? "-" : " ") + lines[i];
    return reply;
}

} // namespace vendrix::policy
