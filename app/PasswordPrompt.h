// Asking for a password on the terminal without showing it.
#pragma once

#include <optional>
#include <string>

namespace vendrix::app {

// Asks twice on standard input, the prompts on standard error, with the
// echo off; nothing when standard input is no terminal, the input ends or
// the two answers differ (said on standard error).
std::optional<std::string> AskNewPassword();

// One line of `in` without its line end: a password given with
// --password-stdin. Nothing when the input ends before any character.
std::optional<std::string> ReadPasswordLine(std::istream& in);

} // namespace vendrix::app
