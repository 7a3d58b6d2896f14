// A log sink that writes each line, as the view would show it, to a file
// descriptor: standard output for the daemon. On a terminal the runs are
// coloured with ANSI escapes; otherwise the text is plain.
#pragma once

#include <functional>
#include <string>

#include "ColorText.h"
#include "SessionLog.h"

namespace vendrix::log {

// Runs drawn in `textColor` (the view's text colour, black by default) keep
// the terminal's own text colour, so the default settings stay readable on a
// dark terminal; every other colour is written as a 24-bit colour escape.
std::string FormatForStream(const std::string& framedLine, config::TColor textColor, bool ansi);

// Asks for `flush` to run once the current burst of lines is over (the
// daemon hands the event loop's round end), so a busy server writes its
// lines in one system call per round instead of one per line.
using TFlushScheduler = std::function<void(std::function<void()> flush)>;

// `textColor` is asked at each line, so a colour change applies at once.
// Without a scheduler each line is written at once; with one, lines wait for
// the scheduled flush, for 64 KiB of text, or for the sink's end (the last
// copy of the sink destroyed), whichever comes first.
TLogSink MakeStreamLogSink(int fd, bool ansi, std::function<config::TColor()> textColor,
                           TFlushScheduler schedule = {});
// Standard output, with colours when it is a terminal.
TLogSink MakeStdoutLogSink(std::function<config::TColor()> textColor, TFlushScheduler schedule = {});

} // namespace vendrix::log
