// The first-run assistant's work, apart from its window: whether a base
// folder still needs it, what it refuses, and what it writes.
#pragma once

#include <string>

namespace vendrix::app {

struct TFirstRunChoice {
    std::string Folder;    // the folder to share
    bool Anonymous = true; // anonymous read-only, else an account with a password
    std::string Name;      // the account, when not anonymous
    std::string Password;
    std::string Port;
};

// No account in the account file (missing, empty or unreadable): nobody can
// log in, and the window offers the assistant.
bool NeedsFirstRun(const std::string& base);

// The language key of why the choice cannot be written, or empty.
std::string FirstRunError(const TFirstRunChoice& choice);

// Writes the account ("anonymous": downloads only; a named account: every
// right on its folder, both confined to it) and the port, through the same
// libraries and atomic saves as the dialogs.
void ApplyFirstRun(const std::string& base, const TFirstRunChoice& choice);

} // namespace vendrix::app
