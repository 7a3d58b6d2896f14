// The paths a reply shows to the client: an account confined to its home
// sees the home as "/"; under the drive-letter style the drive is shown in
// the client's slash form.
#pragma once

#include "PathRules.h"

#include <string>

namespace vendrix::policy {

// `home` is the session's home directory (local form, trailing separator).
// Only paths that begin with the home, at the start of the reply or after a
// blank or a quote, are rewritten: a path that merely contains the home's
// text (/tmp/srv/ftp/ beside the home /srv/ftp/) is another path.
std::string ClientReply(const ftp::TPathStyle& style, const std::string& home, bool virtualDir,
                        std::string answer);

} // namespace vendrix::policy
