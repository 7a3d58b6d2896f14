// The log view's colours (section "Color") and font (section "Font").
#pragma once

#include <string>

#include "ColorText.h"
#include "SettingsFile.h"

namespace vendrix::config {

// Each colour as its "#RRGGBB" text, ready to open a tagged segment.
struct TLogColors {
    std::string Sep = "#000000";    // brackets and dashes of the line frame
    std::string Text = "#000000";   // the message; the view's text colour
    std::string ID = "#000000";     // client numbers
    std::string Client = "#000000"; // user names
    std::string IP = "#000000";     // client addresses
    std::string Date = "#000000";   // date and time stamp of each line
    std::string Time = "#000000";   // durations
    std::string Misc = "#000000";   // labels and other values
    std::string File = "#000000";   // file and folder names
    std::string Back = "#FFFFFF";   // the view's background

    bool operator==(const TLogColors&) const = default;
};

struct TLogFont {
    std::string Name = "MS Sans Serif";
    int CharSet = 1;
    int Size = 8;
    int Style = 0; // 1 bold, 2 italic, 4 underline, 8 strike-out

    bool operator==(const TLogFont&) const = default;
};

// A colour text that is no colour reads as its key's default, so segments
// always open with a well-formed "#RRGGBB<".
TLogColors ReadLogColors(const TSettings& settings);
void WriteLogColors(TSettingsFile& file, const TLogColors& colors);

TLogFont ReadLogFont(const TSettings& settings);
void WriteLogFont(TSettingsFile& file, const TLogFont& font);

} // namespace vendrix::config
