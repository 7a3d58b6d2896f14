#include "FtpListing.h"

#include "FtpTypes.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
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
// padded with `pad`, written at `p`: printf's "%*lld" without its cost.
// Returns the end. At most max(width, 20) characters.
char* PutNumber(char* p, long long v, int width, char pad) {
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
            *p++ = '-';
            --width;
        } else {
            digits[n++] = '-';
        }
    }
    for (int i = n; i < width; ++i)
        *p++ = pad;
    while (n)
        *p++ = digits[--n];
    return p;
}

char* PutText(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
}

// The mode column: ten characters at `p`.
char* PutModeText(char* p, bool directory, uint32_t permissions) {
    p[0] = directory ? 'd' : '-';
    static const char kLetters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        p[9 - bit] = (permissions >> bit) & 1 ? kLetters[(8 - bit) % 3] : '-';
    // The special bits show in the execute places, in upper case where the
    // execute bit itself is off.
    auto special = [&](size_t at, uint32_t flag, char letter) {
        if (!(permissions & flag)) return;
        p[at] = p[at] == 'x' ? letter : char(letter - 'a' + 'A');
    };
    special(3, S_ISUID, 's');
    special(6, S_ISGID, 's');
    special(9, S_ISVTX, 't');
    return p + 10;
}

// The fixed columns of a detailed line when every number fits its width:
// mode, links and owners, size, month, day, time or year, the blanks
// between them, and CR LF.
constexpr size_t kDetailedColumns = 10 + 19 + 11 + 1 + 3 + 1 + 2 + 1 + 5 + 1 + 2;

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
    // The columns before the name go through a buffer of their own, so the
    // line costs three appends rather than one per character.
    char columns[128];
    char* p = PutModeText(columns, entry.Directory, entry.Permissions);
    p = PutText(p, "   1 ftp      ftp  ");
    p = PutNumber(p, static_cast<long long>(entry.Size), 11, ' ');
    *p++ = ' ';
    p = PutText(p, kMonths[entry.Month - 1]);
    *p++ = ' ';
    p = PutNumber(p, entry.Day, 2, '0');
    *p++ = ' ';
    if (entry.Year == currentYear) {
        p = PutNumber(p, entry.Hour, 2, '0');
        *p++ = ':';
        p = PutNumber(p, entry.Minute, 2, '0');
    } else {
        p = PutNumber(p, entry.Year, 5, ' ');
    }
    *p++ = ' ';
    out.append(columns, size_t(p - columns));
    out += entry.Name;
    out += "\r\n";
}

size_t ListingBytes(const std::vector<TListEntry>& entries, bool detailed) {
    size_t bytes = 0;
    for (const TListEntry& e : entries)
        bytes += e.Name.size() + (detailed ? kDetailedColumns : 2);
    return bytes;
}

std::string ModeText(bool directory, uint32_t permissions) {
    std::string mode;
    AppendModeText(mode, directory, permissions);
    return mode;
}

void AppendModeText(std::string& out, bool directory, uint32_t permissions) {
    char mode[10];
    out.append(mode, size_t(PutModeText(mode, directory, permissions) - mode));
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
// kernel: a large folder is looked at by two threads. The names go to them
// in runs as the folder is read, so the look-ups start while the reading
// goes on; a thread that is slow to start (its processor asleep) leaves
// the other the larger share instead of a wait. A run carries room for its
// entries, made by the reader, so the helper allocates nothing: memory
// taken in its own allocator arena and handed back to the caller cost more
// than the look-ups it shared.
constexpr size_t kStatRun = 256;
// A folder file this large holds some thousands of names (an ext4 entry
// of a short name takes 16-24 bytes); a smaller one is read and looked at
// by the caller alone, as a thread would cost more than it saves.
constexpr off_t kParallelFolderBytes = 64 * 1024;

struct TNameRun {
    std::vector<TDirName> Names;
    std::vector<TListEntry> Entries; // room for every name; sorted once looked up
};

class TRunQueue {
public:
    void Push(TNameRun& run) {
        {
            std::lock_guard lock(FMutex);
            FRuns.push_back(&run);
        }
        FReady.notify_one();
    }
    void Finish() {
        {
            std::lock_guard lock(FMutex);
            FDone = true;
        }
        FReady.notify_all();
    }
    // The next run not taken yet; null once the reader has finished and
    // every run is taken.
    TNameRun* Take() {
        std::unique_lock lock(FMutex);
        FReady.wait(lock, [this] { return !FRuns.empty() || FDone; });
        if (FRuns.empty()) return nullptr;
        TNameRun* run = FRuns.front();
        FRuns.pop_front();
        return run;
    }

private:
    std::mutex FMutex;
    std::condition_variable FReady;
    std::deque<TNameRun*> FRuns;
    bool FDone = false;
};

void StatRuns(int dirFd, TRunQueue& queue) {
    struct stat st {};
    while (TNameRun* run = queue.Take()) {
        for (TDirName& name : run->Names) {
            bool link = false;
            if (!StatDirEntry(dirFd, name.Name.c_str(), name.Type, st, link)) continue;
            run->Entries.push_back(ListEntryFromStat(std::move(name.Name), st));
            run->Entries.back().Link = link;
        }
        // Sorted by the thread that looked it up: the caller then only merges.
        std::sort(run->Entries.begin(), run->Entries.end(), ListOrder);
    }
}

// The sorted runs' entries in one sorted list: a merge through a heap of
// the runs' next entries, which moves every entry once.
std::vector<TListEntry> MergeRuns(std::deque<TNameRun>& runs, size_t count) {
    std::vector<TListEntry> entries;
    entries.reserve(count);
    struct THead {
        TListEntry* Next;
        TListEntry* End;
    };
    std::vector<THead> heads;
    for (TNameRun& run : runs)
        if (!run.Entries.empty())
            heads.push_back({run.Entries.data(), run.Entries.data() + run.Entries.size()});
    // std::push_heap keeps the greatest first: the order is reversed.
    auto later = [](const THead& a, const THead& b) { return ListOrder(*b.Next, *a.Next); };
    std::make_heap(heads.begin(), heads.end(), later);
    while (!heads.empty()) {
        std::pop_heap(heads.begin(), heads.end(), later);
        THead& head = heads.back();
        entries.push_back(std::move(*head.Next++));
        if (head.Next == head.End)
            heads.pop_back();
        else
            std::push_heap(heads.begin(), heads.end(), later);
    }
    return entries;
}

// The second look-up thread, when the folder is large and a thread is to
// be had. It opens the folder anew: two threads sharing one open file
// would contend for its reference count on every look-up.
class THelper {
public:
    THelper(int dirFd, TRunQueue& queue) : FQueue(queue) {
        struct stat st {};
        if (::fstat(dirFd, &st) != 0 || st.st_size < kParallelFolderBytes) return;
        FOwnFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        try {
            FThread = std::thread([&queue, fd = FOwnFd >= 0 ? FOwnFd : dirFd] { StatRuns(fd, queue); });
        } catch (const std::system_error&) {
            // No thread to be had: the caller does it all.
        }
    }
    // However the reading ended, the thread stops waiting for runs.
    ~THelper() {
        FQueue.Finish();
        Join();
    }
    THelper(const THelper&) = delete;
    THelper& operator=(const THelper&) = delete;

    void Join() {
        if (FThread.joinable()) FThread.join();
        if (FOwnFd >= 0) ::close(FOwnFd);
        FOwnFd = -1;
    }

private:
    TRunQueue& FQueue;
    int FOwnFd = -1;
    std::thread FThread;
};
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
    // The runs stay where they are while the helper works on them (a deque
    // grows without moving its elements); the queue outlives the helper.
    std::deque<TNameRun> runs;
    TRunQueue queue;
    THelper helper(dirFd, queue);
    auto startRun = [&runs] {
        TNameRun& run = runs.emplace_back();
        run.Names.reserve(kStatRun);
        run.Entries.reserve(kStatRun);
        return &run;
    };
    TNameRun* run = startRun();
    size_t count = 0;
    while (const dirent* de = ::readdir(d.get())) {
        std::string name = de->d_name;
        // A name with a line break, made on the machine itself, would split
        // its listing line in two: it is not listed (no client can name it).
        if (name.find_first_of("\r\n") != std::string::npos) continue;
        if (!MatchesMask(mask, name)) continue;
        run->Names.push_back({std::move(name), de->d_type});
        ++count;
        if (run->Names.size() == kStatRun) {
            queue.Push(*run);
            run = startRun();
        }
    }
    if (!run->Names.empty()) queue.Push(*run);
    queue.Finish();
    StatRuns(dirFd, queue);
    helper.Join();
    return MergeRuns(runs, count);
}

std::string FormatListing(const std::vector<TListEntry>& entries, const std::string& pattern, bool detailed,
                          int currentYear) {
    std::string text;
    text.reserve(ListingBytes(entries, detailed));
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
