// The "perm" fact of machine listings (RFC 3659) from an account's rights:
// each letter says which command the account's access entries would allow
// on the entry, so a client never offers what the server will refuse.
#pragma once

#include "PathRights.h"

#include <string>
#include <vector>

namespace vendrix::policy {

// Files: r (download), w (replace: upload and erase), a (append: upload),
// d (erase), f (rename). Directories: e and l (covered by an entry), c
// (upload into it), m (make a directory in it), p (erase in it), d (remove
// it), f (rename it). Empty under a forbidden directory. `path` is local.
std::string FactPermissions(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                            const std::string& path, bool directory);

} // namespace vendrix::policy
