// The languages the setup dialog offers: every "*.lng" file of the language
// folder, by name without the extension, sorted.
#pragma once

#include <string>
#include <vector>

namespace vendrix::config {

std::vector<std::string> ListLanguages(const std::string& languageFolder);

} // namespace vendrix::config
