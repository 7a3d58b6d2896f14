// The lines the log view shows once at program start, before any event:
// version, translator's notes, and a warning when the language file was
// written for an older format. They are plain lines, not tagged text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "LanguageFile.h"

namespace vendrix::app {

struct THeaderLine {
    std::string Text;
    bool Warning = false; // drawn bold and red

    bool operator==(const THeaderLine&) const = default;
};

// "LangueVer" compared character by character with "1.10": "1.09" and an
// empty value are older, "1.10" and "1.2" are not.
bool IsOldLanguageFormat(std::string_view version);

std::vector<THeaderLine> StartupHeaderLines(const config::TLanguage& language);

} // namespace vendrix::app
