// An account as the command line and the first-run assistant make it: a
// home folder with one access entry on it, the same keys the user setup
// dialog writes.
#pragma once

#include <optional>
#include <string>

#include "IniDocument.h"

namespace vendrix::app {

struct TNewAccount {
    std::string Name;
    std::string Home;                    // an existing folder; stored with one trailing "/"
    std::string Rights;                  // the 11-position field (see AccountRules.h)
    bool Virtual = false;                // confined to the home folder
    std::optional<std::string> Password; // none: no "Password" key (the anonymous account)
    bool RequireTls = false;             // logs in only over TLS ("RequireTLS", written when set)
};

// Writes the account's section into the dialog-style copy of the file.
void WriteNewAccount(config::TIniDocument& doc, const TNewAccount& account);

// The section of `name` as spelled in the file (names match in any case).
std::optional<std::string> FindAccountSection(const config::TIniDocument& doc, const std::string& name);

} // namespace vendrix::app
