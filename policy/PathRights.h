// The pure rules behind path confinement: lexical normalisation, path
// containment, virtual links, and the rights an account's access entries
// grant on a path. Written once over a path style, so the drive-letter
// examples can be checked beside the POSIX paths the server uses.
//
// Containment is by whole components from the start of the path: a
// directory contains itself and everything below it, so /srv/ftp/ does not
// contain /srv/ftp2/ nor /tmp/srv/ftp/. Names compare case-sensitively under
// POSIX and without regard to ASCII case under the Windows style.
#pragma once

#include "AccessEntry.h"
#include "PathRules.h"

#include <string>
#include <vector>

namespace vendrix::policy {

using ftp::TPathStyle;

// Removes "." segments, empty segments ("//") and each ".." with the segment
// before it; ".." at the root stays at the root. The drive part (Windows
// style) is kept. A path that ended with a separator, ".", or ".." names a
// directory and keeps a trailing separator.
std::string CollapseDots(const TPathStyle& style, const std::string& path);

// Everything up to and including the last separator (the whole path when
// it ends with one); empty without a separator.
std::string DirectoryPart(const TPathStyle& style, const std::string& path);
// Everything after the last separator.
std::string NamePart(const TPathStyle& style, const std::string& path);

// The directory with a trailing separator.
std::string WithTrailingSep(const TPathStyle& style, std::string dir);

// Whether `path` is the directory `dir` or lies below it. A trailing
// separator on either side does not matter.
bool PathWithin(const TPathStyle& style, const std::string& dir, const std::string& path);
// Whole-path equality under the style's case rule.
bool SamePath(const TPathStyle& style, const std::string& a, const std::string& b);

// The entries with their directories collapsed and given a trailing
// separator, the form every comparison uses.
std::vector<config::TAccessEntry> NormalizedEntries(const TPathStyle& style,
                                                    std::vector<config::TAccessEntry> entries);

// Replaces the home's link-name prefix of `path` by the link's directory,
// for every "V" entry with a link name, in entry order, each applied to the
// result of the one before.
std::string MapVirtualLink(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                           const std::string& path, const std::string& home);

// True when the path lies in the directory of an "A" entry. The path itself
// counts, not only its directory: a forbidden directory can be neither
// renamed nor removed from outside.
bool IsAccessForbidden(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                       const std::string& path);

// True when the directory of an "A" entry lies at or below the path. Such a
// folder can be neither renamed nor removed: moving it would carry the
// forbidden folder out from under its entry. Only "A" entries matter here,
// since every other entry only adds rights: what a move takes away from
// them is lost, never gained.
bool HoldsForbidden(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
                    const std::string& path);

// True when an entry grants `letter` for the path: an "S" entry whose
// directory contains the path's directory part, or an entry without "S"
// whose directory is that directory part.
bool HasRight(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
              const std::string& path, char letter);

// True when some entry's directory contains the path's directory part (the
// coverage of listings, SIZE and MDTM).
bool IsCovered(const TPathStyle& style, const std::vector<config::TAccessEntry>& entries,
               const std::string& path);

// The real path that a path names for an account confined to its home: the
// client sees the home as "/". A path already under the home is taken as it
// stands (it came from the current directory); any other absolute path is
// read from the client's root. Dots never climb above the home.
std::string RerootUnderHome(const TPathStyle& style, const std::string& home, const std::string& path);

} // namespace vendrix::policy
