#include "FtpListing.h"

#include "AsciiText.h"
#include "FtpTypes.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <memory>

namespace vendrix::ftp {

namespace {
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

// The part from the last "." on, in upper case; empty without a dot.
std::string UpperExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    return net::UpperCase(std::string_view(name).substr(dot));
}

bool HasWildcard(const std::string& mask) {
    return mask.find_first_of("*?") != std::string::npos;
}

// stat follows a link to what a download or CWD would reach; a dangling link
// is still an entry and shows itself.
bool StatEntry(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0 || ::lstat(path.c_str(), &st) == 0;
}

bool ListOrder(const TListEntry& a, const TListEntry& b) {
    auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
    int ra = rank(a.Name), rb = rank(b.Name);
    if (ra != rb) return ra < rb;
    return a.Name < b.Name;
}
} // namespace

TListEntry ListEntryFromStat(const std::string& name, const struct stat& st) {
    TListEntry e;
    e.Name = name;
    e.Directory = S_ISDIR(st.st_mode);
    e.ReadOnly = (st.st_mode & S_IWUSR) == 0;
    e.Hidden = !name.empty() && name[0] == '.' && !IsDotEntry(name);
    e.Size = int64_t(st.st_size);
    std::tm tm{};
    time_t t = st.st_mtime;
    if (localtime_r(&t, &tm)) {
        e.Year = tm.tm_year + 1900;
        e.Month = tm.tm_mon + 1;
        e.Day = tm.tm_mday;
        e.Hour = tm.tm_hour;
        e.Minute = tm.tm_min;
    }
    return e;
}

std::string DetailedLine(const TListEntry& entry, int currentYear) {
    if (entry.Hidden) return {};
    if (entry.Month < 1 || entry.Month > 12) throw EFtpError("Range check error");
    std::string mode = "-rw-rw-rw-";
    if (entry.Directory) mode[0] = 'd';
    if (entry.ReadOnly) mode[2] = mode[5] = mode[8] = '-';
    std::string ext = UpperExtension(entry.Name);
    if (ext == ".EXE" || ext == ".COM" || ext == ".BAT") mode[3] = mode[6] = mode[9] = 'x';

    char buf[96];
    std::string line = mode + "   1 ftp      ftp  ";
    std::snprintf(buf, sizeof buf, "%11lld %s %2.2d ", static_cast<long long>(entry.Size),
                  kMonths[entry.Month - 1], entry.Day);
    line += buf;
    if (entry.Year == currentYear)
        std::snprintf(buf, sizeof buf, "%2.2d:%2.2d ", entry.Hour, entry.Minute);
    else
        std::snprintf(buf, sizeof buf, "%5d ", entry.Year);
    line += buf;
    line += entry.Name;
    line += "\r\n";
    return line;
}

std::string NameLine(const TListEntry& entry) {
    return entry.Name + "\r\n";
}

bool MatchesMask(const std::string& mask, const std::string& name) {
    if (mask == "*.*") return true;
    // Greedy match with one backtrack point: the last "*" seen.
    size_t m = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        // The star first: a "*" in the mask is a wildcard even where the
        // name holds a "*" too.
        if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

std::vector<TListEntry> FindEntries(const std::string& pattern) {
    size_t slash = pattern.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::vector<TListEntry> entries;
    if (mask.empty()) return entries;
    struct stat st {};

    if (!HasWildcard(mask)) {
        if (StatEntry(pattern, st)) entries.push_back(ListEntryFromStat(mask, st));
        return entries;
    }

    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), &::closedir);
    if (!d) return entries;
    while (const dirent* de = ::readdir(d.get())) {
        std::string name = de->d_name;
        // A name with a line break, made on the machine itself, would split
        // its listing line in two: it is not listed (no client can name it).
        if (name.find_first_of("\r\n") != std::string::npos) continue;
        if (!MatchesMask(mask, name)) continue;
        if (StatEntry(dir + name, st)) entries.push_back(ListEntryFromStat(name, st));
    }
    std::sort(entries.begin(), entries.end(), ListOrder);
    return entries;
}

std::string FormatListing(const std::vector<TListEntry>& entries, const std::string& pattern, bool detailed,
                          int currentYear) {
    std::string text;
    for (const TListEntry& e : entries)
        text += detailed ? DetailedLine(e, currentYear) : NameLine(e);
    if (text.empty()) text = pattern + " not found\r\n";
    return text;
}

int CurrentYear() {
    time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

} // namespace vendrix::ftp
