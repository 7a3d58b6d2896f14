#include "LogFrame.h"

#include "CaseInsensitive.h"
#include "TaggedText.h"

namespace vendrix::log {

std::string FrameLine(const config::TLogColors& colors, const TLocalTime& time, bool addDate,
                      std::string_view message) {
    std::string line = Segment(colors.Sep, "[");
    if (addDate) line += Segment(colors.Date, FormatLogDate(time)) + Segment(colors.Sep, " - ");
    line += Segment(colors.Date, FormatLogTime(time));
    line += Segment(colors.Sep, "] - ");
    line += Segment(colors.Text, message);
    return line;
}

std::string FileLine(const TLocalTime& time, std::string_view message) {
    return "[" + FormatLogTime(time) + "] - " + StripTags(message) + "\r\n";
}

std::string LogFileName(const TLocalTime& time) {
    return "log-" + FormatLogDate(time) + ".log";
}

std::string ClientPrefix(const config::TLogColors& colors, int64_t id) {
    return Segment(colors.Sep, "[") + Segment(colors.ID, std::to_string(id)) + Segment(colors.Sep, "] ");
}

std::string CommandLine(const config::TLogColors& colors, int64_t id, std::string_view keyword,
                        std::string_view params) {
    std::string line = ClientPrefix(colors, id);
    line += Segment(colors.Misc, "KEYWORD: ");
    line += keyword;
    line += Segment(colors.Misc, " -- PARAMS: ");
    if (config::EqualsNoCase(keyword, "PASS"))
        line += " #####";
    else
        line += params;
    return line;
}

} // namespace vendrix::log
