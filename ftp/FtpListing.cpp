#include "FtpListing.h"

#include "FtpTypes.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <system_error>
#include <thread>
#include <unistd.h>

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

// StatEntry for a name in an open directory: relative to the directory's
// handle, so the kernel does not walk the directory's path again for every
// entry, and with the directory's own note of the entry's type, so only
// links need a second look.
bool StatDirEntry(int dirFd, const char* name, unsigned char type, struct stat& st, bool& link) {
    link = type == DT_LNK;
    if (type == DT_UNKNOWN) {
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
        link = S_ISLNK(st.st_mode);
    }
    if (!link) return type == DT_UNKNOWN || ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    return ::fstatat(dirFd, name, &st, 0) == 0 || ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// localtime_r for a listing: entries of one folder mostly share their
// minute, and a minute has one local date and time (time zone offsets are
// whole minutes), so the last conversion serves again.
bool LocalMinute(time_t t, std::tm& tm) {
    thread_local time_t lastMinute = -1;
    thread_local std::tm last{};
    const time_t minute = t >= 0 ? t / 60 : -1;
    if (minute >= 0 && minute == lastMinute) {
        tm = last;
        return true;
    }
    if (!localtime_r(&t, &tm)) return false;
    if (minute >= 0) {
        lastMinute = minute;
        last = tm;
    }
    return true;
}

// Decimal digits of v right-aligned in `width` places (more when needed),
// blank-padded: printf's "%*lld" without its cost.
void AppendNumber(std::string& out, long long v, int width, char pad) {
    char digits[24];
    int n = 0;
    const bool negative = v < 0;
    unsigned long long u =
        negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        digits[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative) {
        if (pad == '0') {
            out += '-';
            --width;
        } else {
            digits[n++] = '-';
        }
    }
    for (int i = n; i < width; ++i)
        out += pad;
    while (n)
        out += digits[--n];
}

bool ListOrder(const TListEntry& a, const TListEntry& b) {
    auto rank = [](const std::string& n) {
        return n.empty() || n[0] != '.' ? 2 : n == "." ? 0 : n == ".." ? 1 : 2;
    };
    int ra = rank(a.Name), rb = rank(b.Name);
    if (ra != rb) return ra < rb;
    return a.Name < b.Name;
}
} // namespace

TListEntry ListEntryFromStat(std::string name, const struct stat& st) {
    TListEntry e;
    e.Directory = S_ISDIR(st.st_mode);
    e.Permissions = uint32_t(st.st_mode & 07777);
    e.Hidden = !name.empty() && name[0] == '.' && !IsDotEntry(name);
    e.Name = std::move(name);
    e.Size = int64_t(st.st_size);
    std::tm tm{};
    if (LocalMinute(st.st_mtime, tm)) {
        e.Year = tm.tm_year + 1900;
        e.Month = tm.tm_mon + 1;
        e.Day = tm.tm_mday;
        e.Hour = tm.tm_hour;
        e.Minute = tm.tm_min;
    }
    return e;
}

std::string DetailedLine(const TListEntry& entry, int currentYear) {
    std::string line;
    AppendDetailedLine(line, entry, currentYear);
    return line;
}

void AppendDetailedLine(std::string& out, const TListEntry& entry, int currentYear) {
    if (entry.Hidden) return;
    if (entry.Month < 1 || entry.Month > 12) throw EFtpError("Range check error");
    AppendModeText(out, entry.Directory, entry.Permissions);
    out += "   1 ftp      ftp  ";
    AppendNumber(out, static_cast<long long>(entry.Size), 11, ' ');
    out += ' ';
    out += kMonths[entry.Month - 1];
    out += ' ';
    AppendNumber(out, entry.Day, 2, '0');
    out += ' ';
    if (entry.Year == currentYear) {
        AppendNumber(out, entry.Hour, 2, '0');
        out += ':';
        AppendNumber(out, entry.Minute, 2, '0');
    } else {
        AppendNumber(out, entry.Year, 5, ' ');
    }
    out += ' ';
    out += entry.Name;
    out += "\r\n";
}

std::string ModeText(bool directory, uint32_t permissions) {
    std::string mode;
    AppendModeText(mode, directory, permissions);
    return mode;
}

void AppendModeText(std::string& out, bool directory, uint32_t permissions) {
    char mode[10];
    mode[0] = directory ? 'd' : '-';
    static const char kLetters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        mode[9 - bit] = (permissions >> bit) & 1 ? kLetters[(8 - bit) % 3] : '-';
    // The special bits show in the execute places, in upper case where the
    // execute bit itself is off.
    auto special = [&](size_t at, uint32_t flag, char letter) {
        if (!(permissions & flag)) return;
        mode[at] = mode[at] == 'x' ? letter : char(letter - 'a' + 'A');
    };
    special(3, S_ISUID, 's');
    special(6, S_ISGID, 's');
    special(9, S_ISVTX, 't');
    out.append(mode, sizeof mode);
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

namespace {
struct TDirName {
    std::string Name;
    unsigned char Type;
};

// One stat per entry is most of a listing's cost, and it waits on the
// kernel: a large folder is looked at by two threads, joined before the
// listing goes on. They take the names in runs from one counter rather than
// a half each, so a helper that is slow to start (its processor asleep)
// leaves the caller the larger share instead of a wait. Nothing else is
// shared between them but the open folder.
constexpr size_t kParallelStatFrom = 4096;
constexpr size_t kStatRun = 256;

void StatRuns(int dirFd, std::vector<TDirName>& names, std::atomic<size_t>& next,
              std::vector<TListEntry>& out) {
    struct stat st {};
    for (size_t from; (from = next.fetch_add(kStatRun, std::memory_order_relaxed)) < names.size();) {
        const size_t to = std::min(names.size(), from + kStatRun);
        for (size_t i = from; i < to; ++i) {
            bool link = false;
            if (!StatDirEntry(dirFd, names[i].Name.c_str(), names[i].Type, st, link)) continue;
            out.push_back(ListEntryFromStat(std::move(names[i].Name), st));
            out.back().Link = link;
        }
    }
}

std::vector<TListEntry> StatNames(int dirFd, std::vector<TDirName>& names) {
    std::vector<TListEntry> entries;
    entries.reserve(names.size());
    std::atomic<size_t> next{0};
    std::vector<TListEntry> helped;
    std::thread helper;
    int own = -1;
    if (names.size() >= kParallelStatFrom) {
        // The helper opens the folder anew: two threads sharing one open
        // file would contend for its reference count on every look-up.
        own = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        helped.reserve(names.size());
        try {
            helper = std::thread(
                [&names, &next, &helped, fd = own >= 0 ? own : dirFd] { StatRuns(fd, names, next, helped); });
        } catch (const std::system_error&) {
            // No thread to be had: the caller does it all.
        }
    }
    StatRuns(dirFd, names, next, entries);
    if (helper.joinable()) helper.join();
    if (own >= 0) ::close(own);
    for (TListEntry& e : helped)
        entries.push_back(std::move(e));
    return entries;
}
} // namespace

std::vector<TListEntry> FindEntries(const std::string& pattern) {
    size_t slash = pattern.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::vector<TListEntry> entries;
    if (mask.empty()) return entries;
    struct stat st {};

    if (!HasWildcard(mask)) {
        if (::stat(pattern.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FindEntries(pattern + "/*.*");
        if (StatEntry(pattern, st)) {
            entries.push_back(ListEntryFromStat(mask, st));
            struct stat own {};
            entries.back().Link = ::lstat(pattern.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        }
        return entries;
    }

    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.empty() ? "." : dir.c_str()), &::closedir);
    if (!d) return entries;
    const int dirFd = ::dirfd(d.get());
    std::vector<TDirName> names;
    while (const dirent* de = ::readdir(d.get())) {
        std::string name = de->d_name;
        // A name with a line break, made on the machine itself, would split
        // its listing line in two: it is not listed (no client can name it).
        if (name.find_first_of("\r\n") != std::string::npos) continue;
        if (!MatchesMask(mask, name)) continue;
        names.push_back({std::move(name), de->d_type});
    }
    entries = StatNames(dirFd, names);
    std::sort(entries.begin(), entries.end(), ListOrder);
    return entries;
}

std::string FormatListing(const std::vector<TListEntry>& entries, const std::string& pattern, bool detailed,
                          int currentYear) {
    std::string text;
    text.reserve(entries.size() * (detailed ? 64 : 16));
    for (const TListEntry& e : entries) {
        if (detailed)
            AppendDetailedLine(text, e, currentYear);
        else
            text.append(e.Name).append("\r\n");
    }
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
