// The listing an account sees: only directories its access entries cover,
// subdirectories only under an entry with "S", nothing that lies in a
// forbidden directory, and at the home the virtual links whose targets
// exist. Lines are the engine's listing lines.
#pragma once

#include "PathRights.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vendrix::policy {

struct TListingRequest {
    std::string Pattern; // local path: the directory, then a mask or a name
    bool Detailed = true;
    bool AtHome = false; // the listed directory is the home: its virtual links show
    int CurrentYear = 1970;
    // MLSD: facts lines of the facts selected (ftp::TFact bits), with the
    // "perm" letters of Permissions(path, directory).
    bool Machine = false;
    uint8_t Facts = 0;
    std::function<std::string(const std::string& path, bool directory)> Permissions;
};

// Whether the file system's entry at a local path may be shown: false when
// it leads, through a symbolic link, where the account may not go. Asked for
// the listed directory and for each entry that is a link.
using TReachable = std::function<bool(const std::string& path)>;

// The complete listing text; empty when no entry covers the directory.
std::string BuildClientListing(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                               const TListingRequest& request, const TReachable& reachable);

} // namespace vendrix::policy
