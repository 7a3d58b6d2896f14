// The English texts built into the program, taken from lng/english.lng when
// it is built: a language file that lacks a key, or is missing altogether,
// never leaves a message blank.
#pragma once

#include <string_view>

#include "IniDocument.h"

namespace vendrix::config {

// The text of lng/english.lng as it was at build time.
std::string_view BuiltinEnglishText();
// The same text, parsed once.
const TIniDocument& BuiltinEnglish();

} // namespace vendrix::config
