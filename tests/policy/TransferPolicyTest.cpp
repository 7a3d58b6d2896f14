// Transfer accounting through real sessions: log lines, totals, quota
// refusals, the decorated "226" and "221" replies; and the number formats and
// the home tree walk they rest on.
#include "FtpSrvT.h"
#include "HomeTree.h"
#include "NumberFormat.h"
#include "SmallStack.h"
#include "TransferFixture.h"
#include "TransferReplies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vendrix::config;
using namespace vendrix::log;
using namespace vendrix::policy;
using namespace vendrix::policy::testing;

namespace {

class Transfer : public TTransferFixture {};

TEST_F(Transfer, DownloadLogsStartAndEndAddsTheSentKilobytesAndPlaysSounds) {
    struct TCase {
        int64_t size, rest;
        std::string startLine; // without the path
        int64_t addedKB;
    } cases[] = {
        {5000, 0, "sRetrStart(ANNA,", 4}, {1500000, 1000000, "sRetrRes(ANNA,", 488}, // 500000 div 1024
    };
    WriteUsers("TotalDownload=10\nTotalUpload=3");
    Start();
    int64_t total = 10;
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.size);
        Lines.clear();
        Sounds.clear();
        WriteFile("f.bin", size_t(t.size));
        auto c = LoggedIn();
        TResult r = Retr(*c, "f.bin", t.rest);
        EXPECT_EQ(r.Data.size(), size_t(t.size - t.rest));
        EXPECT_EQ(r.Final, "226 Transfer complete.");
        const std::string path = Home + "f.bin";
        const std::string rest = t.rest ? "1,000,000" : "";
        EXPECT_NE(LogLine(t.startLine + path + "," + rest + ")"), "");
        // Under a second the speed is the size over one second.
        const std::string size = t.size == 5000 ? "4.88 K/s - 5,000" : "1,464.80 K/s - 1,500,000";
        EXPECT_NE(LogLine("sRetrOK(ANNA," + path + ",) (" + size + " bytes)"), "") << Lines.back();
        total += t.addedKB;
        EXPECT_EQ(FileTotal(TAccountKey::TotalDownload), total);
        EXPECT_EQ(FileTotal(TAccountKey::TotalUpload), 3);
        EXPECT_EQ(Session().SessionDownloadKB, t.addedKB);
        EXPECT_FALSE(Session().DownloadFlag);
        EXPECT_EQ(Sounds, (std::vector<TSoundEvent>{TSoundEvent::DownStart, TSoundEvent::DownEnd}));
        c.reset();
        ASSERT_TRUE(PumpUntil([&] { return Ctl->Users().empty(); }));
    }
}

TEST_F(Transfer, TwoSessionsOfOneAccountBothAddToTheTotal) {
    WriteUsers("TotalDownload=100");
    Start();
    WriteFile("f.bin", 3 * 1024);
    auto a = LoggedIn();
    auto b = LoggedIn();
    Retr(*a, "f.bin");
    Retr(*b, "f.bin");
    Retr(*a, "f.bin");
    EXPECT_EQ(FileTotal(TAccountKey::TotalDownload), 109);
    EXPECT_EQ(Session(0).TotalDownload, 109);
    a.reset();
    b.reset();
    ASSERT_TRUE(PumpUntil([&] { return Ctl->Users().empty(); }));
    EXPECT_EQ(FileTotal(TAccountKey::TotalDownload), 109);
}

// The totals file is flushed to disk, so it is written once the transfer's
// reply has gone out; a controller that goes first still writes it.
TEST_F(Transfer, TheTotalsReachTheFileJustAfterTheReplyThatEndsTheTransfer) {
    WriteUsers("TotalDownload=100\nTotalUpload=1");
    Start();
    WriteFile("f.bin", 2048);
    std::vector<int64_t> atReply; // both totals in the file as each 226 left
    auto inner = Ctl->Server().OnAnswerToClient;
    Ctl->Server().OnAnswerToClient = [&](vendrix::ftp::TFtpServer& s, vendrix::ftp::TFtpCtrlSocket& c,
                                         std::string& answer) {
        if (answer.rfind("226", 0) == 0)
            atReply.push_back(FileTotal(TAccountKey::TotalDownload) + FileTotal(TAccountKey::TotalUpload));
        inner(s, c, answer);
    };
    auto c = LoggedIn();
    EXPECT_EQ(Retr(*c, "f.bin").Final, "226 Transfer complete.");
    EXPECT_EQ(Stor(*c, "STOR up.bin", std::string(3072, 'u')).Final, "226 File received complete");
    EXPECT_EQ(atReply, (std::vector<int64_t>{101, 103}));
    EXPECT_EQ(FileTotal(TAccountKey::TotalDownload), 102);
    EXPECT_EQ(FileTotal(TAccountKey::TotalUpload), 4);

    Session().UnsavedUploadKB = 5;
    Ctl->AddToTotalsAfterReply(Session());
    Ctl.reset();
    vendrix::ftp::testkit::Pump(5); // the queued save finds no controller
    EXPECT_EQ(
        TAccountFile(TPaths(Base.Path()).UsersFile()).Account("anna").ReadInt64(TAccountKey::TotalUpload), 9);
}

TEST_F(Transfer, UploadLogsStartResumeAndEndAndAddsTheReceivedKilobytes) {
    Start();
    auto c = LoggedIn();
    const std::string path = Home + "up.bin";
    TResult r = Stor(*c, "STOR up.bin", std::string(4096, 'a'));
    EXPECT_EQ(r.Final, "226 File received complete");
    EXPECT_NE(LogLine("sStorStart(ANNA," + path + ",)"), "");
    EXPECT_NE(LogLine("sStorOK(ANNA," + path + ",) (4.00 K/s - 4,096 bytes)"), "");
    r = Stor(*c, "APPE up.bin", std::string(2048, 'b'));
    EXPECT_EQ(r.Final, "226 File received ok");
    EXPECT_NE(LogLine("sStorRes(ANNA," + path + ",4,096)"), "");
    EXPECT_NE(LogLine("sStorOK(ANNA," + path + ",) (6.00 K/s - 6,144 bytes)"), "");
    EXPECT_EQ(FileTotal(TAccountKey::TotalUpload), 6);
    EXPECT_EQ(Session().SessionUploadKB, 6);
    EXPECT_FALSE(Session().UploadFlag);
    // Uploads play no sound.
    EXPECT_TRUE(Sounds.empty());
}

TEST_F(Transfer, QuotaRefusesBeforeAndDuringAnUploadAtTheRoundedKilobyte) {
    struct TCase {
        size_t existing, sent;
        std::string started, final;
        int64_t stored; // bytes of up.bin afterwards, -1: none
    } cases[] = {
        // 100 K used of 100: allowed; 512 bytes round to 0 K, 513 to 1 K.
        {102400, 512, "150 Opening data connection for up.bin.",
         "226-Maximum disk quota limited to 100 Kbytes\r\n226-Used disk quota 100.50 Kbytes\r\n"
         "226 File received complete",
         512},
        {102400, 513, "150 Opening data connection for up.bin.",
         "452 Sorry, insufficient disk quota - receive file up.bin aborted.", 0},
        // 100.5009 K rounds to 101: refused before the upload.
        {102913, 10, "452 Sorry, insufficient disk quota - receiving file up.bin aborted.",
         "501 Permission Denied", -1},
    };
    WriteUsers("Quota=100");
    Start();
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.existing + t.sent);
        std::filesystem::remove(Home + "up.bin");
        WriteFile("old.bin", t.existing);
        auto c = LoggedIn();
        TResult r = Stor(*c, "STOR up.bin", std::string(t.sent, 'u'));
        EXPECT_EQ(r.Started, t.started);
        EXPECT_EQ(r.Final, t.final);
        if (t.final.rfind("452", 0) == 0) {
            EXPECT_EQ(c->Reply(), "426 Connection closed; Insufficient disk quota.");
        }
        EXPECT_EQ(vendrix::ftp::GetFileSize(Home + "up.bin"), t.stored);
        EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
    }
    // A refusal before the upload leaves the totals alone; the stopped upload
    // still counts what arrived (under a kilobyte here), and its log line
    // shows those bytes, not the file's size.
    EXPECT_EQ(FileTotal(TAccountKey::TotalUpload), 0);
    EXPECT_NE(LogLine("sStorFail(ANNA," + Home + "up.bin,) (0.50 K/s - 513 bytes)"), "");
}

TEST_F(Transfer, ALongUploadStopsAtTheQuotaAndClosesItsDataConnection) {
    WriteUsers("Quota=100");
    Start();
    auto c = LoggedIn();
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("STOR big.bin"), "150 Opening data connection for big.bin.");
    data->Send(std::string(1 << 20, 'b'));
    EXPECT_EQ(c->Reply(), "452 Sorry, insufficient disk quota - receive file big.bin aborted.");
    EXPECT_EQ(c->Reply(), "426 Connection closed; Insufficient disk quota.");
    EXPECT_TRUE(data->PeerClosed());
    // Whole blocks are stored up to the one that would pass the quota.
    const int64_t stored = vendrix::ftp::GetFileSize(Home + "big.bin");
    EXPECT_LE(stored, 102400 + 512);
    EXPECT_GT(stored, 0);
    EXPECT_GE(FileTotal(TAccountKey::TotalUpload), stored / 1024);
}

TEST_F(Transfer, QuotaCountsDottedAndVirtualPathsAndParallelUploads) {
    // 100 K are used already, so any upload past half a kilobyte is refused
    // while it runs, whatever way the target is named.
    struct TCase {
        std::string extra, command;
    } cases[] = {
        {"", "STOR ./up.bin"},
        {"", "STOR sub/../up.bin"},
        {"VirtualDir=1", "STOR /up.bin"},
        {"VirtualDir=1", "STOR /./up.bin"},
    };
    std::filesystem::create_directories(Home + "sub");
    WriteFile("old.bin", 102400);
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.command + " " + t.extra);
        WriteUsers("Quota=100\n" + t.extra);
        if (!Ctl) Start();
        auto c = LoggedIn();
        TResult r = Stor(*c, t.command, std::string(2048, 'u'));
        EXPECT_EQ(r.Started, "150 Opening data connection for " + t.command.substr(5) + ".");
        EXPECT_EQ(r.Final, "452 Sorry, insufficient disk quota - receive file up.bin aborted.");
        EXPECT_EQ(c->Reply(), "426 Connection closed; Insufficient disk quota.");
        EXPECT_EQ(vendrix::ftp::GetFileSize(Home + "up.bin"), 0);
        std::filesystem::remove(Home + "up.bin");
    }

    // Two uploads of the account, each within the quota alone: the second
    // sees what the first stored after both were allowed.
    std::filesystem::remove(Home + "old.bin");
    WriteUsers("Quota=100");
    auto one = LoggedIn();
    auto two = LoggedIn();
    auto dataOne = one->Pasv();
    auto dataTwo = two->Pasv();
    EXPECT_EQ(one->Cmd("STOR a.bin"), "150 Opening data connection for a.bin.");
    EXPECT_EQ(two->Cmd("STOR b.bin"), "150 Opening data connection for b.bin.");
    dataOne->Send(std::string(61440, 'a'));
    EXPECT_TRUE(PumpUntil([&] { return vendrix::ftp::GetFileSize(Home + "a.bin") == 61440; }));
    dataTwo->Send(std::string(61440, 'b'));
    EXPECT_EQ(two->Reply(), "452 Sorry, insufficient disk quota - receive file b.bin aborted.");
    EXPECT_EQ(two->Reply(), "426 Connection closed; Insufficient disk quota.");
    EXPECT_LE(vendrix::ftp::GetFileSize(Home + "b.bin"), 102400 - 61440 + 512);
    dataOne->Close();
    EXPECT_EQ(one->Reply().substr(0, 4), "226-");
}

TEST_F(Transfer, TransferCompleteCarriesRatioAndQuotaLines) {
    WriteUsers("Ratio=1\nUP=1\nDOWN=3\nTypeRatio=1\nQuota=1000");
    Start();
    WriteFile("f.bin", 2048);
    std::filesystem::create_directories(Home + "sub");
    std::filesystem::create_directories(Home + ".hidden");
    WriteFile("sub/g.bin", 1024 + 512);
    WriteFile(".hidden/h.bin", 4096);
    auto c = LoggedIn();
    EXPECT_EQ(Retr(*c, "f.bin").Final, "226-Using UL/DL ratio 1/3, Count bytes per Session\r\n"
                                       "226-Current UL/DL ratio credit 0 bytes\r\n"
                                       "226-Maximum disk quota limited to 1000 Kbytes\r\n"
                                       "226-Used disk quota 3.50 Kbytes\r\n"
                                       "226 Transfer complete.");
}

TEST(TransferReplies, RatioKinds) {
    struct TCase {
        int64_t type;
        std::string text;
    } cases[] = {
        {0,
         "226-Using UL/DL ratio 2/5, Count files per Session\r\n226-Current UL/DL ratio credit 0 files\r\n"},
        {1,
         "226-Using UL/DL ratio 2/5, Count bytes per Session\r\n226-Current UL/DL ratio credit 0 bytes\r\n"},
        {2, "226-Using UL/DL ratio 2/5, Count files on all Sessions\r\n226-Current UL/DL ratio credit 0 "
            "files\r\n"},
        {3, "226-Using UL/DL ratio 2/5, Count bytes on all Sessions\r\n226-Current UL/DL ratio credit 0 "
            "bytes\r\n"},
        {4, ""},
        {-1, ""},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(RatioLines(2, 5, t.type), t.text) << t.type;
    EXPECT_EQ(QuotaLines(5, 1234567),
              "226-Maximum disk quota limited to 5 Kbytes\r\n226-Used disk quota 1,205.63 Kbytes\r\n");
}

TEST_F(Transfer, GoodbyeTextOfTheAccountOrTheServer) {
    WriteText(Base.File("two.txt"), "A\nB\n");
    WriteText(Base.File("empty.txt"), "");
    WriteText(Base.File("server.txt"), "See you\n");
    struct TCase {
        std::string account, server;
        bool login;
        std::string reply;
    } cases[] = {
        {"two.txt", "server.txt", true, "221-Goodbye!\r\n221-A\r\n221 B"},
        {"empty.txt", "", true, "221 Goodbye!"},
        {"", "server.txt", true, "221-Goodbye!\r\n221 See you"},
        {"missing.txt", "", true, "221 Goodbye!"},
        // Before the password the account's text is not told.
        {"two.txt", "server.txt", false, "221-Goodbye!\r\n221 See you"},
    };
    Start();
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.account + "/" + t.server);
        WriteUsers(t.account.empty() ? "" : "ExitMessage=" + Base.File(t.account));
        WriteConfig(t.server.empty() ? "" : "ExitMessage=" + Base.File(t.server));
        std::unique_ptr<TFtpClient> c;
        if (t.login) {
            c = LoggedIn();
        } else {
            c = std::make_unique<TFtpClient>(Port);
            c->Reply();
            c->Cmd("USER anna");
        }
        EXPECT_EQ(c->Cmd("QUIT"), t.reply);
        EXPECT_TRUE(c->PeerClosed());
    }
}

TEST_F(Transfer, ListingReleasesItsStreamAndCountsNothing) {
    WriteUsers("TotalDownload=7");
    Start();
    WriteFile("f.bin", 100);
    auto c = LoggedIn();
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("LIST"), "150 Opening data connection for directory list.");
    EXPECT_NE(data->ReadAll().find("f.bin"), std::string::npos);
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
    EXPECT_EQ(Session().DataStream, nullptr);
    EXPECT_EQ(Session().UserData, 0);
    EXPECT_EQ(LogLine("sRetr"), "");
    EXPECT_EQ(FileTotal(TAccountKey::TotalDownload), 7);
    EXPECT_TRUE(Sounds.empty());
}

TEST(NumberFormat, SeparatorsAndDecimalsWhateverTheLocale) {
    EXPECT_EQ(FormatGrouped(0), "0");
    EXPECT_EQ(FormatGrouped(999), "999");
    EXPECT_EQ(FormatGrouped(1000), "1,000");
    EXPECT_EQ(FormatGrouped(1500000), "1,500,000");
    EXPECT_EQ(FormatGrouped(5000000000), "5,000,000,000");
    EXPECT_EQ(FormatGrouped(-123456), "-123,456");
    EXPECT_EQ(FormatFixed2(0), "0.00");
    EXPECT_EQ(FormatFixed2(1205.634), "1,205.63");
    EXPECT_EQ(FormatFixed2(999999.999), "1,000,000.00");
    // Five significant digits, then two decimals.
    EXPECT_EQ(FormatSpeed(4.8828125), "4.88");
    EXPECT_EQ(FormatSpeed(100.5), "100.50");
    EXPECT_EQ(FormatSpeed(12345.678), "12,346.00");
    EXPECT_EQ(FormatSpeed(0), "0.00");
    EXPECT_EQ(FormatDecimal(102.4), "102.4");
    EXPECT_EQ(FormatDecimal(0), "0");
}

// A chain deeper than the descriptors a process may hold, walked on a small
// stack: the walk keeps one descriptor and no frame per level.
TEST(HomeTree, CountsADeepChainOnASmallStack) {
    TTempFolder tree;
    const std::string home = tree.Path() + "/";
    constexpr int kDepth = 1800;
    int fd = ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(::mkdirat(fd, "a", 0700), 0);
        int sub = ::openat(fd, "a", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(sub, 0);
        fd = sub;
    }
    int file = ::openat(fd, "deep", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::write(file, "12345", 5), 5);
    ::close(file);
    ::close(fd);
    WriteText(home + "top", "123");

    int64_t bytes = -1;
    vendrix::testing::RunOnSmallStack(64 * 1024, [&] { bytes = HomeTreeBytes(home); });
    EXPECT_EQ(bytes, 8);

    // The chain is removed from the bottom up: whole paths stay under PATH_MAX.
    std::string deepest = home;
    for (int i = 0; i < kDepth; ++i)
        deepest += "a/";
    ::unlink((deepest + "deep").c_str());
    for (int i = 0; i < kDepth; ++i)
        EXPECT_EQ(::rmdir(deepest.substr(0, home.size() + 2 * (kDepth - i)).c_str()), 0);
}

TEST(HomeTree, CountsFilesOutsideDotDirectoriesAndFollowsNoLink) {
    TTempFolder tree;
    const std::string home = tree.Path() + "/";
    std::filesystem::create_directories(home + "a/b");
    std::filesystem::create_directories(home + ".cache");
    WriteText(home + "one", std::string(100, 'x'));
    WriteText(home + ".profile", std::string(10, 'x'));
    WriteText(home + "a/b/two", std::string(1000, 'x'));
    WriteText(home + ".cache/big", std::string(5000, 'x'));
    std::filesystem::create_directory_symlink(home + "a", home + "loop");
    std::filesystem::create_symlink(home + "one", home + "link");
    EXPECT_EQ(HomeTreeBytes(home), 1110);
    EXPECT_EQ(HomeTreeBytes(home + "missing/"), 0);

    struct TCase {
        std::string path;
        bool counted;
    } cases[] = {
        {home + "one", true},
        {home + "a/b/two", true},
        {home + ".profile", true},
        {home + ".cache/big", false},
        {home + "../x", false},
        {home + "./one", true},
        {home + "a/./b/../b/two", true},
        {home + "a/../.cache/big", false},
        {tree.Path() + "x/one", false},
        {home, false},
        {"/etc/passwd", false},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(InHomeTree(home, t.path), t.counted) << t.path;

    struct TRound {
        int64_t bytes, kilobytes;
    } rounds[] = {{0, 0}, {512, 0}, {513, 1}, {1024, 1}, {1536, 2}, {2560, 2}, {2561, 3}, {102400, 100}};
    for (const TRound& r : rounds)
        EXPECT_EQ(RoundedKB(r.bytes), r.kilobytes) << r.bytes;
}

} // namespace
