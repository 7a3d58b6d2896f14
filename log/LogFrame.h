// The texts the session log is made of: the on-screen line frame, the file
// line, and the tagged pieces callers build their messages from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "LogAppearance.h"
#include "LogClock.h"

namespace vendrix::log {

// On screen, as tagged text: "[" time "] - " message, or with the date
// "[" date " - " time "] - " message; date and time in the date colour, the
// message inside one text-colour segment.
std::string FrameLine(const config::TLogColors& colors, const TLocalTime& time, bool addDate,
                      std::string_view message);

// In the file: "[HH:MM:SS] - " and the message without tags, ended by CR LF.
std::string FileLine(const TLocalTime& time, std::string_view message);
// "log-yyyy-mm-dd.log".
std::string LogFileName(const TLocalTime& time);

// "[" id "] " with the brackets in the separator colour and the number in the
// identifier colour; the prefix of every line about one client.
std::string ClientPrefix(const config::TLogColors& colors, int64_t id);

// A received command: the client prefix, "KEYWORD: ", the keyword,
// " -- PARAMS: " and the parameters, except that the parameters of PASS (in
// any letter case) become " #####".
std::string CommandLine(const config::TLogColors& colors, int64_t id, std::string_view keyword,
                        std::string_view params);

} // namespace vendrix::log
