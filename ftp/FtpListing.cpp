#include "FtpListing.h"

#include "FtpTypes.h"

#include <algorithm>
#include <cctype>
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
    e.Permissions = uint32_t(st.st_mode & 07777);
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
    char buf[96];
    std::string line = ModeText(entry.Directory, entry.Permissions) + "   1 ftp      ftp  ";
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

std::string ModeText(bool directory, uint32_t permissions) {
    std::string mode = directory ? "d" : "-";
    static const char kLetters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        mode += (permissions >> bit) & 1 ? kLetters[(8 - bit) % 3] : '-';
    // The special bits show in the execute places, in upper case where the
    // execute bit itself is off.
    auto special = [&](size_t at, uint32_t flag, char letter) {
        if (!(permissions & flag)) return;
        mode[at] = mode[at] == 'x' ? letter : char(letter - 'a' + 'A');
    };
    special(3, S_ISUID, 's');
    special(6, S_ISGID, 's');
    special(9, S_ISVTX, 't');
    return mode;
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
        if (::stat(pattern.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FindEntries(pattern + "/*.*");
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

std::string WithoutListOptions(const std::string& params) {
    size_t i = 0;
    for (;;) {
        size_t j = i;
        if (j >= params.size() || params[j] != '-') break;
        ++j;
        while (j < params.size() && std::isalpha(static_cast<unsigned char>(params[j])))
            ++j;
        if (j == i + 1 || (j < params.size() && params[j] != ' ')) break;
        while (j < params.size() && params[j] == ' ')
            ++j;
        i = j;
    }
    return params.substr(i);
}

int CurrentYear() {
    time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_year + 1900;
}

} // namespace vendrix::ftp
