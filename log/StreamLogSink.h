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

// `textColor` is asked at each line, so a colour change applies at once.
TLogSink MakeStreamLogSink(int fd, bool ansi, std::function<config::TColor()> textColor);
// Standard output, with colours when it is a terminal.
TLogSink MakeStdoutLogSink(std::function<config::TColor()> textColor);

} // namespace vendrix::log
