// Every key the program looks up in a language file, with the number of
// "%s" places its callers fill. A language file should define them all.
#pragma once

#include <span>
#include <string_view>

namespace vendrix::config {

struct TLanguageKey {
    std::string_view Key;
    int Places; // "%s" places the caller fills
};

std::span<const TLanguageKey> LanguageKeys();

} // namespace vendrix::config
