// The colour markup of log messages. A segment is "#" plus six characters (a
// colour as RRGGBB), "<", the content and ">"; a segment may hold further
// segments one level deep. Any eight characters matching "#??????<" open a
// segment and any ">" closes the innermost one; there is no escape, so a ">"
// inside logged content ends its segment early. Text outside every segment is
// not shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ColorText.h"

namespace vendrix::log {

// colorText + "<" + content + ">".
std::string Segment(std::string_view colorText, std::string_view content);

// The message without any opener ("#", six characters, "<") and without any
// ">": the form written to the log file.
std::string StripTags(std::string_view tagged);

struct TColoredRun {
    std::string Text;
    config::TColor Color;

    bool operator==(const TColoredRun&) const = default;
};

// The pieces a view appends for one line, in order, each in its colour.
// `textColor` (the view's text colour) stands in where no colour is known:
// text behind a stray ">" before any inner segment, or a colour text that is
// no colour. Empty pieces are left out.
std::vector<TColoredRun> RenderTagged(std::string_view tagged, config::TColor textColor);

} // namespace vendrix::log
