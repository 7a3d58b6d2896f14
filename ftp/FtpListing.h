// The directory listing format of LIST and NLST, and the search that feeds it.
// Pure functions over plain entries, so the policy layer can write its own
// listings (with virtual directories) in exactly the same lines.
#pragma once

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace vendrix::ftp {

// One directory entry as a listing shows it. The time is local time.
struct TListEntry {
    std::string Name;
    bool Directory = false;
    // The permission bits as the file system holds them (setuid, setgid and
    // sticky included): the mode column shows them as Unix servers do, so
    // mirroring clients copy modes that work.
    uint32_t Permissions = 0644;
    bool Hidden = false; // the name begins with "." (but is not "." or "..")
    bool Link = false;   // a symbolic link (the other fields describe its target)
    int64_t Size = 0;
    int Year = 1970;
    int Month = 1; // 1..12
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
};

// The entry that a stat of the file called name describes.
TListEntry ListEntryFromStat(std::string name, const struct stat& st);

// The LIST line of an entry with CR LF, for example
// "-rw-r--r--   1 ftp      ftp         1234 Mar 05 14:07 readme.txt";
// empty for a hidden entry. The time shows when the entry's year is
// currentYear, the year otherwise. Raises EFtpError for a month outside 1..12.
std::string DetailedLine(const TListEntry& entry, int currentYear);
// DetailedLine appended to `out`, without a string of its own per line.
void AppendDetailedLine(std::string& out, const TListEntry& entry, int currentYear);
// The bytes of the LIST (detailed) or NLST lines of `entries` where every
// number fits its column: room to reserve for a listing at once.
size_t ListingBytes(const std::vector<TListEntry>& entries, bool detailed);
// The mode column of a LIST line: "d" or "-", then the permission bits as
// "rwxr-xr-x", with s/S and t/T for setuid, setgid and sticky.
std::string ModeText(bool directory, uint32_t permissions);
void AppendModeText(std::string& out, bool directory, uint32_t permissions);
// The NLST line of an entry: the name and CR LF, hidden entries included.
std::string NameLine(const TListEntry& entry);

// Whether a name matches a mask of "*" (any run) and "?" (any one character);
// every other character stands for itself, case-sensitively. "*.*" matches
// every name, with or without a dot.
bool MatchesMask(const std::string& mask, const std::string& name);

// The entries a pattern names: the pattern is a local path whose last part
// is a mask. A last part without wildcards names exactly that entry, except
// an existing directory, whose contents it names (as with a trailing
// separator): clients list a folder by its bare name. Entries
// come sorted by name, "." and ".." first; none when the directory cannot be
// read.
std::vector<TListEntry> FindEntries(const std::string& pattern);

// The listing text of the entries; when it would be empty, the single line
// of the pattern and " not found".
std::string FormatListing(const std::vector<TListEntry>& entries, const std::string& pattern, bool detailed,
                          int currentYear);

// The path of a LIST or NLST parameter. Clients send "LIST -a" or "LIST -la
// dir" as a matter of course; read as a path, the option would turn their
// listing into a not-found line. Leading option words ("-" and letters,
// each followed by a blank or the end) are dropped.
std::string WithoutListOptions(const std::string& params);

// The calendar year of today's local date.
int CurrentYear();

} // namespace vendrix::ftp
