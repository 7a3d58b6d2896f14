// Directory listings: the line format as pure functions over fixed entries
// and a fixed current year, and LIST and NLST end to end over data
// connections on 127.0.0.1.
#include "FtpTestKit.h"

#include "FtpListing.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

bool IsDotName(const std::string& name) {
    return name == "." || name == "..";
}

TListEntry Entry(const std::string& name, int64_t size, int y, int mo, int d, int h = 0, int mi = 0) {
    TListEntry e;
    e.Name = name;
    e.Size = size;
    e.Year = y;
    e.Month = mo;
    e.Day = d;
    e.Hour = h;
    e.Minute = mi;
    return e;
}

TListEntry Dir(TListEntry e) {
    e.Directory = true;
    return e;
}

TListEntry Mode(TListEntry e, uint32_t permissions) {
    e.Permissions = permissions;
    return e;
}

TListEntry Hidden(TListEntry e) {
    e.Hidden = true;
    return e;
}

TEST(ListingFormat, DetailedLines) {
    struct TCase {
        TListEntry entry;
        std::string line;
    } cases[] = {
        {Entry("readme.txt", 1234, 2024, 3, 5, 14, 7),
         "-rw-r--r--   1 ftp      ftp         1234 Mar 05 14:07 readme.txt\r\n"},
        // The mode column shows the real permission bits, whatever the name.
        {Mode(Dir(Entry("pub", 0, 2001, 1, 9, 12, 0)), 0755),
         "drwxr-xr-x   1 ftp      ftp            0 Jan 09  2001 pub\r\n"},
        {Mode(Entry("SETUP.EXE", 9, 2024, 12, 31, 23, 59), 0444),
         "-r--r--r--   1 ftp      ftp            9 Dec 31 23:59 SETUP.EXE\r\n"},
        {Mode(Entry("run", 1, 2024, 6, 1, 0, 0), 0755),
         "-rwxr-xr-x   1 ftp      ftp            1 Jun 01 00:00 run\r\n"},
        {Mode(Entry("x", 1, 2024, 7, 1, 9, 5), 04751),
         "-rwsr-x--x   1 ftp      ftp            1 Jul 01 09:05 x\r\n"},
        {Mode(Entry("y", 1, 2024, 7, 1, 9, 5), 02640),
         "-rw-r-S---   1 ftp      ftp            1 Jul 01 09:05 y\r\n"},
        {Mode(Dir(Entry("tmp", 1, 2024, 7, 1, 9, 5)), 01777),
         "drwxrwxrwt   1 ftp      ftp            1 Jul 01 09:05 tmp\r\n"},
        {Mode(Dir(Entry("drop", 1, 2024, 7, 1, 9, 5)), 01730),
         "drwx-wx--T   1 ftp      ftp            1 Jul 01 09:05 drop\r\n"},
        {Mode(Entry("none", 1, 2024, 7, 1, 9, 5), 0),
         "----------   1 ftp      ftp            1 Jul 01 09:05 none\r\n"},
        // The year alone decides: last December shows its year in January.
        {Entry("old", 2, 2023, 12, 31, 23, 59),
         "-rw-r--r--   1 ftp      ftp            2 Dec 31  2023 old\r\n"},
        {Entry("future", 2, 2031, 2, 3), "-rw-r--r--   1 ftp      ftp            2 Feb 03  2031 future\r\n"},
        // Sizes are 64-bit; beyond 11 digits the column widens.
        {Entry("big", 5368709120LL, 2024, 4, 4, 4, 4),
         "-rw-r--r--   1 ftp      ftp   5368709120 Apr 04 04:04 big\r\n"},
        {Entry("huge", 123456789012345LL, 2024, 4, 4, 4, 4),
         "-rw-r--r--   1 ftp      ftp  123456789012345 Apr 04 04:04 huge\r\n"},
        {Mode(Dir(Entry(".", 4096, 2024, 8, 8, 8, 8)), 0700),
         "drwx------   1 ftp      ftp         4096 Aug 08 08:08 .\r\n"},
        {Entry("with blanks  ", 0, 2024, 9, 10, 11, 12),
         "-rw-r--r--   1 ftp      ftp            0 Sep 10 11:12 with blanks  \r\n"},
        {Hidden(Entry(".profile", 1, 2024, 1, 1)), ""},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(DetailedLine(t.entry, 2024), t.line) << t.entry.Name;
}

TEST(ListingFormat, MonthNamesAndRange) {
    const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(DetailedLine(Entry("f", 0, 2001, m, 1), 2024).substr(41, 4),
                  std::string(names[m - 1]) + " ");
    for (int m : {0, 13}) {
        try {
            FormatListing({Entry("f", 0, 2001, m, 1)}, "/x/*.*", true, 2024);
            ADD_FAILURE() << m;
        } catch (const EFtpError& e) {
            EXPECT_STREQ(e.what(), "Range check error");
        }
    }
}

TEST(ListingFormat, NameLinesAndTheNotFoundLine) {
    std::vector<TListEntry> entries = {Dir(Entry(".", 0, 2024, 1, 1)),
                                       Hidden(Entry(".hidden", 1, 2024, 1, 1)),
                                       Entry("a.txt", 1, 2024, 1, 1)};
    EXPECT_EQ(FormatListing(entries, "/x/*.*", false, 2024), ".\r\n.hidden\r\na.txt\r\n");
    EXPECT_EQ(FormatListing({}, "/srv/ftp/pub/*.*", false, 2024), "/srv/ftp/pub/*.* not found\r\n");
    // Only hidden entries: no detailed line, so the listing is "not found".
    EXPECT_EQ(FormatListing({Hidden(Entry(".h", 1, 2024, 1, 1))}, "/x/.h", true, 2024),
              "/x/.h not found\r\n");
}

TEST(ListingFormat, Masks) {
    struct TCase {
        const char* mask;
        const char* name;
        bool match;
    } cases[] = {
        {"*.*", "readme.txt", true},
        {"*.*", "README", true},
        {"*.*", ".", true},
        {"*", ".hidden", true},
        {"*.txt", "a.txt", true},
        {"*.txt", "a.txt.gz", false},
        {"*.txt", "A.TXT", false},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"*a*", "banana", true},
        {"[a].txt", "a.txt", false},
        {"[a].txt", "[a].txt", true},
        {"a\\*", "a\\xyz", true},
        {"", "", true},
        {"?", "", false},
        {"**", "", true},
        // A star in the name is a character like any other to the mask.
        {"*", "*a*b?", true},
        {"a*", "a*b", true},
        {"*b", "*xb", true},
        {"?*", "**", true},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(MatchesMask(t.mask, t.name), t.match) << t.mask << " ~ " << t.name;
}

TEST(ListingFormat, EntryFromStat) {
    std::tm tm{};
    tm.tm_year = 2001 - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 9;
    tm.tm_hour = 14;
    tm.tm_min = 7;
    tm.tm_isdst = -1;
    struct stat st {};
    st.st_mtime = std::mktime(&tm);
    st.st_size = 77;
    st.st_mode = S_IFREG | 0444;
    TListEntry e = ListEntryFromStat(".secret", st);
    EXPECT_EQ(e.Permissions, 0444u);
    EXPECT_TRUE(e.Hidden);
    EXPECT_FALSE(e.Directory);
    EXPECT_EQ(e.Size, 77);
    EXPECT_EQ((std::vector<int>{e.Year, e.Month, e.Day, e.Hour, e.Minute}),
              (std::vector<int>{2001, 1, 9, 14, 7}));
    st.st_mode = S_IFDIR | 02750;
    for (const char* name : {".", ".."}) {
        e = ListEntryFromStat(name, st);
        EXPECT_FALSE(e.Hidden) << name;
        EXPECT_EQ(e.Permissions, 02750u) << name;
        EXPECT_TRUE(e.Directory) << name;
    }
}

// A folder large enough to be looked at by two threads lists every entry
// once, in order, each with its own size and type (a link and a directory
// among plain files, in different runs of names).
TEST(ListingFormat, LargeFolderListsEveryEntryOnce) {
    char tmpl[] = "/tmp/vendrix-biglist-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = std::string(tmpl) + "/";
    constexpr int kFiles = 6000;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%05d", i);
        int fd = ::open((dir + name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, i), 0);
        ::close(fd);
    }
    ASSERT_EQ(::mkdir((dir + "f00100-dir").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("f05999", (dir + "f05998-link").c_str()), 0);

    std::vector<TListEntry> entries = FindEntries(dir + "*.*");
    ASSERT_EQ(entries.size(), size_t(kFiles + 4)); // "." and ".." lead
    EXPECT_EQ(entries[0].Name, ".");
    EXPECT_EQ(entries[1].Name, "..");
    EXPECT_TRUE(std::is_sorted(entries.begin() + 2, entries.end(),
                               [](const TListEntry& a, const TListEntry& b) { return a.Name < b.Name; }));
    int files = 0;
    for (const TListEntry& e : entries) {
        if (e.Name == "f00100-dir") {
            EXPECT_TRUE(e.Directory);
        } else if (e.Name == "f05998-link") {
            EXPECT_TRUE(e.Link);
            EXPECT_EQ(e.Size, 5999);
        } else if (e.Name[0] == 'f') {
            EXPECT_EQ(e.Size, std::stoll(e.Name.substr(1))) << e.Name;
            ++files;
        }
    }
    EXPECT_EQ(files, kFiles);
    for (const TListEntry& e : entries)
        if (!IsDotName(e.Name)) ::remove((dir + e.Name).c_str());
    ::rmdir(tmpl);
}

// A home folder with fixed times:
//   home/              Jan 09 2001   (the listed directory; its parent too)
//     .hidden          5 bytes
//     SETUP.EXE        4 bytes, read-only, Jan 09 2001
//     notes.txt        3 bytes, Jan 09 2001
//     pub/             Jan 09 2001, holding a.txt (2 bytes, executable, Jan 09 2001)
//     readme.txt       1234 bytes, owner only, Jan 02 10:30 of the current year
// Modes are set explicitly (the umask does not decide them): root 0711,
// home 0755, pub 0750.
class Listing : public TServerFixture {
protected:
    void SetUp() override {
        TServerFixture::SetUp();
        Home = Root + "home/";
        Server->OnAuthenticate = [this](TFtpServer&, TFtpCtrlSocket& c, const TFtpString&, const TFtpString&,
                                        bool&) { c.HomeDir = Home; };
        // Small blocks: a listing goes out in several of them.
        Server->XferBlockSize = 100;
        ::mkdir(Home.c_str(), 0755);
        ::mkdir((Home + "pub").c_str(), 0755);
        WriteFile("home/.hidden", "hhhhh");
        WriteFile("home/SETUP.EXE", "exe!");
        WriteFile("home/notes.txt", "nnn");
        WriteFile("home/pub/a.txt", "aa");
        WriteFile("home/readme.txt", std::string(1234, 'r'));
        for (auto [name, mode] : {std::pair<const char*, mode_t>{"", 0711},
                                  {"home", 0755},
                                  {"home/pub", 0750},
                                  {"home/SETUP.EXE", 0444},
                                  {"home/notes.txt", 0644},
                                  {"home/pub/a.txt", 0755},
                                  {"home/readme.txt", 0600}})
            ::chmod((Root + name).c_str(), mode);
        const time_t old = LocalTime(2001, 1, 9, 12, 0);
        for (const char* name :
             {"home/.hidden", "home/SETUP.EXE", "home/notes.txt", "home/pub/a.txt", "home/pub", "home", ""})
            SetTime(Root + name, old);
        SetTime(Home + "readme.txt", LocalTime(CurrentYear(), 1, 2, 10, 30));
    }
    static time_t LocalTime(int y, int mo, int d, int h, int mi) {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_isdst = -1;
        return std::mktime(&tm);
    }
    static void SetTime(const std::string& path, time_t t) {
        struct timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }
    // The size column as the file system reports it (directory sizes vary).
    static std::string SizeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%11lld", static_cast<long long>(st.st_size));
        return buf;
    }
    std::string DirLine(const std::string& path, const std::string& name) {
        const std::string mode = path == Root ? "drwx--x--x" : path == Home ? "drwxr-xr-x" : "drwxr-x---";
        return mode + "   1 ftp      ftp  " + SizeOf(path) + " Jan 09  2001 " + name + "\r\n";
    }
    // PASV, the command, the data; checks the 150 and 226 replies.
    std::string List(TFtpClient& c, const std::string& command) {
        auto data = c.Pasv();
        EXPECT_EQ(c.Cmd(command), "150 Opening data connection for directory list.") << command;
        std::string text = data->ReadAll();
        EXPECT_EQ(c.Reply(), "226 Transfer complete.") << command;
        return text;
    }

    std::string Home;
    const std::string kSetup = "-r--r--r--   1 ftp      ftp            4 Jan 09  2001 SETUP.EXE\r\n";
    const std::string kNotes = "-rw-r--r--   1 ftp      ftp            3 Jan 09  2001 notes.txt\r\n";
    const std::string kReadme = "-rw-------   1 ftp      ftp         1234 Jan 02 10:30 readme.txt\r\n";
    const std::string kA = "-rwxr-xr-x   1 ftp      ftp            2 Jan 09  2001 a.txt\r\n";
};

TEST_F(Listing, ListAndNlstOverPassiveConnections) {
    auto c = LoggedIn();
    const std::string all =
        DirLine(Home, ".") + DirLine(Root, "..") + kSetup + kNotes + DirLine(Home + "pub", "pub") + kReadme;
    const std::string pub = DirLine(Home + "pub", ".") + DirLine(Home, "..") + kA;
    struct TCase {
        std::string command;
        std::string data;
    } cases[] = {
        {"LIST", all},
        {"LIST *.*", all},
        // A folder lists its contents, named with or without a trailing slash.
        {"LIST pub", pub},
        {"LIST pub/", pub},
        {"LIST " + Home + "pub", pub},
        {"LIST " + Home + "pub/*", pub},
        {"LIST .", all},
        {"NLST pub", ".\r\n..\r\na.txt\r\n"},
        {"NLST -a pub", ".\r\n..\r\na.txt\r\n"},
        {"LIST *.txt", kNotes + kReadme},
        {"LIST ?????.txt", kNotes},
        {"LIST SETUP.EXE", kSetup},
        {"LIST setup.exe", Home + "setup.exe not found\r\n"}, // names are case-sensitive
        {"LIST -la", all},                                    // leading options are dropped
        {"LIST -l -a pub/", pub},
        {"LIST -x9", Home + "-x9 not found\r\n"}, // not an option word: a name
        {"LIST .hidden", Home + ".hidden not found\r\n"},
        {"LIST nothing*", Home + "nothing* not found\r\n"},
        {"LIST nodir/", Home + "nodir/*.* not found\r\n"},
        {"NLST", ".\r\n..\r\n.hidden\r\nSETUP.EXE\r\nnotes.txt\r\npub\r\nreadme.txt\r\n"},
        {"NLST .hidden", ".hidden\r\n"},
        {"NLST pub/?.txt", "a.txt\r\n"},
        {"NLST *.zip", Home + "*.zip not found\r\n"},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(List(*c, t.command), t.data) << t.command;
    EXPECT_EQ(int(Server->GetClient(0)->CurCmdType), int(ftpcNLST));
    List(*c, "LIST");
    EXPECT_EQ(int(Server->GetClient(0)->CurCmdType), int(ftpcLIST));
}

TEST_F(Listing, ActiveModeListing) {
    auto c = LoggedIn();
    TActiveListener listener;
    EXPECT_EQ(c->Cmd(listener.PortCommand()), "200 Port command successful.");
    EXPECT_EQ(c->Cmd("NLST *.txt"), "150 Opening data connection for directory list.");
    auto data = listener.Accept();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->ReadAll(), "notes.txt\r\nreadme.txt\r\n");
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
}

TEST_F(Listing, BuildAndAlterEvents) {
    std::vector<std::string> built, altered;
    Server->OnBuildDirectory = [&](TFtpServer&, TFtpCtrlSocket& c, TFtpString& dir, bool detailed) {
        built.push_back(dir + (detailed ? "|L" : "|N"));
        if (dir == "virtual") {
            auto s = std::make_unique<TMemoryStream>();
            s->Write("own listing\r\n");
            s->Seek(0);
            c.DataStream = std::move(s);
            c.HasOpenedFile = true;
        }
        if (dir == "broken") throw EFtpError("account file unreadable");
    };
    Server->OnAlterDirectory = [&](TFtpServer&, TFtpCtrlSocket& c, TFtpString& dir, bool detailed) {
        altered.push_back(dir + (detailed ? "|L" : "|N"));
        static_cast<TMemoryStream&>(*c.DataStream).Write("extra\r\n");
    };
    auto c = LoggedIn();
    EXPECT_EQ(List(*c, "LIST virtual"), "own listing\r\n");
    EXPECT_EQ(List(*c, "NLST *.txt"), "notes.txt\r\nreadme.txt\r\nextra\r\n");
    EXPECT_EQ(c->Cmd("LIST broken"), "451 Failed: account file unreadable.");
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
    EXPECT_EQ(built, (std::vector<std::string>{"virtual|L", "*.txt|N", "broken|L"}));
    EXPECT_EQ(altered, (std::vector<std::string>{"*.txt|N"}));
}

TEST_F(Listing, ListDuringARunningDownloadLeavesItIntact) {
    // The download is held after its first block until released below.
    Server->OnRetrDataSent = nullptr;
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += std::to_string(i) + ",";
    WriteFile("home/big.bin", content);
    auto c = LoggedIn();
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("RETR big.bin"), "150 Opening data connection for big.bin.");
    TFtpCtrlSocket& session = *Server->GetClient(0);
    ASSERT_TRUE(PumpUntil([&] { return session.DataSessionActive; }));
    EXPECT_EQ(c->Cmd("LIST"), "451 Failed: Data connection already in use.");
    EXPECT_EQ(c->Cmd("NLST"), "451 Failed: Data connection already in use.");
    Server->OnRetrDataSent = [](TFtpServer& s, TFtpCtrlSocket& cl, vendrix::net::TWSocket& d, uint16_t) {
        s.SendNextDataBlock(cl, d);
    };
    Server->SendNextDataBlock(session, *session.DataSocket);
    std::string got = data->ReadAll();
    EXPECT_EQ(got.size(), content.size());
    EXPECT_TRUE(got == content);
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
    EXPECT_EQ(List(*c, "NLST big.bin"), "big.bin\r\n");
}

} // namespace
