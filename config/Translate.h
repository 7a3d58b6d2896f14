// The hook through which the policy gets the texts of the current language
// file. The language files belong to the application layer, which fills the
// hook in; an unset hook or a missing key gives an empty text.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::config {

using TTranslate = std::function<std::string(std::string_view key)>;

// Fills the "%s" places of a language text from left to right; "%%" is a
// "%". Places without an argument become empty, surplus arguments are
// dropped, and every other "%" stays as it is, so a translation with the
// wrong number of places never breaks a message.
std::string FormatText(std::string_view text, const std::vector<std::string>& args);

} // namespace vendrix::config
