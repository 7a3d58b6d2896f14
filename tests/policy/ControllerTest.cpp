// The controller's login, admission and session-end policy, driven through
// real sockets on 127.0.0.1 against a base folder of real files.
#include "BaseFolder.h"
#include "FtpController.h"
#include "FtpTestKit.h"
#include "IpPattern.h"
#include "Md5.h"
#include "TaggedText.h"

#include <filesystem>

using namespace vendrix;
using namespace vendrix::config;
using namespace vendrix::log;
using namespace vendrix::policy;
using ftp::testkit::PumpUntil;
using ftp::testkit::TFtpClient;
using vendrix::testing::ReadText;
using vendrix::testing::TBaseFolder;
using vendrix::testing::WriteText;

namespace {

class Controller : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Base.File("home/anna"));
        Home = Base.File("home/anna");
        Base.WriteConfig("[Setup]\nPort=21\n");
        WriteUsers("");
    }
    void TearDown() override {
        if (Ctl) Ctl->StopServer();
        Ctl.reset();
        ftp::testkit::Pump(5);
    }
    // ANNA with password "secret" and home Home, plus `extra` lines for it,
    // and an anonymous account.
    void WriteUsers(const std::string& extra, const std::string& more = "") {
        Base.WriteUsers("[ANNA]\nPassword=" + Md5Hex("secret") + "\nHomePath=" + Home + "\n" + extra +
                        "\n[anonymous]\nHomePath=" + Home + "\n" + more);
    }
    void Start(const std::string& addr = "127.0.0.1") {
        // Language texts show which message was logged and with what.
        Ctl = std::make_unique<TFtpController>(Base.Path(), [](std::string_view key) {
            return std::string(key) + (key == "sChangeUser" || key == "sSerStart" || key == "sSerStop" ||
                                               key == "sFTPPort" || key == "sNotStart"
                                           ? ""
                                           : "(%s,%s)");
        });
        Ctl->ListenAddr = addr;
        Ctl->PortOverride = "0";
        Ctl->SessionLog().AddSink([this](const std::string& line) { Lines.push_back(StripTags(line)); });
        ASSERT_TRUE(Ctl->StartServer());
        Port = std::stoi(Ctl->Server().ServerSocket().GetLocalPortText());
    }
    std::unique_ptr<TFtpClient> Connect(const char* from = nullptr) {
        auto c = std::make_unique<TFtpClient>(Port, from);
        Greeting = c->Reply();
        return c;
    }
    std::string Login(TFtpClient& c, const std::string& user, const std::string& pass) {
        c.Cmd("USER " + user);
        return c.Cmd("PASS " + pass);
    }
    bool Logged(const std::string& text) const {
        for (const std::string& l : Lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    bool WaitUsers(size_t n) {
        return PumpUntil([&] { return Ctl->Users().size() == n; });
    }

    TBaseFolder Base;
    std::string Home;
    std::unique_ptr<TFtpController> Ctl;
    std::vector<std::string> Lines;
    std::string Greeting;
    int Port = 0;
};

TEST_F(Controller, LoginListsCountsAndGreets) {
    WriteText(Base.File("welcome.txt"), "line one\nline two\r\nline three\n");
    WriteUsers("EnterMessage=" + Base.File("welcome.txt"));
    Start();
    auto c = Connect();
    EXPECT_EQ(Greeting, "220 Vendrix FTP Server 1.50 Alpha 2 ready...");
    EXPECT_EQ(Login(*c, "anna", "secret"),
              "230-line one\r\n230-line two\r\n230-line three\r\n230 User anna logged in.");
    ASSERT_EQ(Ctl->Users().size(), 1u);
    EXPECT_EQ(Ctl->Users()[0].UserName, "ANNA");
    EXPECT_EQ(Ctl->Users()[0].Address, "127.0.0.1");
    EXPECT_EQ(Ctl->UserCount("anna"), 1);
    EXPECT_EQ(Ctl->UserIPCount("ANNA", "127.0.0.1"), 1);
    EXPECT_EQ(Ctl->Status().UserCountText, "1 sUser(%s,%s)");
    EXPECT_EQ(Ctl->Status().Tray, TTrayState::ClientsConnected);
    EXPECT_EQ(c->Cmd("PWD"), "257 \"" + Home + "/\" is current directory.");
    EXPECT_TRUE(Logged("sConnected(ANNA,127.0.0.1)"));
    EXPECT_TRUE(Logged("sRepNow(ANNA," + Home + "/)"));
    c.reset();
    EXPECT_TRUE(WaitUsers(0));
    EXPECT_EQ(Ctl->UserCount("anna"), 0);
    EXPECT_TRUE(Logged("sDisconnect(ANNA,127.0.0.1) (00:00:0"));
}

TEST_F(Controller, AnonymousTakesAnyPasswordAndAnEmptyWelcomeSendsNothing) {
    WriteText(Base.File("empty.txt"), "");
    WriteUsers("", "EnterMessage=" + Base.File("empty.txt") + "\n");
    Start();
    auto c = Connect();
    EXPECT_EQ(Login(*c, "anonymous", ""), "230 User anonymous logged in.");
    auto d = Connect();
    EXPECT_EQ(Login(*d, "Anonymous", "me@example"), "230 User Anonymous logged in.");
    EXPECT_EQ(Ctl->UserCount("ANONYMOUS"), 2);
}

TEST_F(Controller, PerAccountLimitRefusesWhateverThePassword) {
    WriteUsers("MaxUser=1");
    Start();
    auto first = Connect();
    EXPECT_EQ(Login(*first, "anna", "secret"), "230 User anna logged in.");
    for (const char* pass : {"secret", "wrong"}) {
        auto second = Connect();
        second->Cmd("USER anna");
        second->Send(std::string("PASS ") + pass + "\r\n");
        EXPECT_EQ(second->Reply(), "530 Too Many Users Connected.") << pass;
        EXPECT_TRUE(second->PeerClosed()) << pass;
    }
    EXPECT_TRUE(Logged("sTooManyUser(ANNA,127.0.0.1)"));
    first.reset();
    EXPECT_TRUE(WaitUsers(0));
    auto third = Connect();
    EXPECT_EQ(Login(*third, "anna", "secret"), "230 User anna logged in.");
}

TEST_F(Controller, PerAddressLimitCountsEachAddress) {
    WriteUsers("MaxUserIP=2");
    Start();
    auto a = Connect();
    auto b = Connect();
    EXPECT_EQ(Login(*a, "anna", "secret"), "230 User anna logged in.");
    EXPECT_EQ(Login(*b, "ANNA", "secret"), "230 User ANNA logged in.");
    auto c = Connect();
    c->Cmd("USER anna");
    c->Send("PASS secret\r\n");
    EXPECT_EQ(c->Reply(), "530 Too Many Users Connected.");
    auto d = Connect("127.0.0.2");
    EXPECT_EQ(Login(*d, "anna", "secret"), "230 User anna logged in.");
    EXPECT_EQ(Ctl->UserIPCount("anna", "127.0.0.2"), 1);
    EXPECT_EQ(Ctl->UserCount("anna"), 3);
}

TEST_F(Controller, MissingHomeDirectoryAndDisabledAccount) {
    WriteUsers("", "[GONE]\nPassword=" + Md5Hex("pw") + "\nHomePath=/nonexistent/dir\n[OFF]\nPassword=" +
                       Md5Hex("pw") + "\nHomePath=" + Home + "\nUserDisable=1\n");
    Start();
    auto c = Connect();
    c->Cmd("USER gone");
    c->Send("PASS pw\r\n");
    EXPECT_EQ(c->Reply(), "530 Not logged in, cannot find home directory.");
    EXPECT_TRUE(c->PeerClosed());
    auto it =
        std::find_if(Lines.begin(), Lines.end(), [](auto& l) { return l.find("sConnected(GONE") != l.npos; });
    ASSERT_NE(it, Lines.end());
    ASSERT_NE(it + 1, Lines.end());
    EXPECT_NE((it + 1)->find("sAuthFailP(GONE,127.0.0.1)"), std::string::npos);
    auto d = Connect();
    EXPECT_EQ(Login(*d, "off", "pw"), "530 Login incorrect.");
    EXPECT_TRUE(Ctl->Users().empty());
}

TEST_F(Controller, WrongPasswordIsAnsweredLateAndLogged) {
    EXPECT_EQ(TFtpController::LoginFailureDelayMs(1), 1000u);
    EXPECT_EQ(TFtpController::LoginFailureDelayMs(3), 4000u);
    EXPECT_EQ(TFtpController::LoginFailureDelayMs(9), 8000u);
    Start();
    auto c = Connect();
    c->Cmd("USER anna");
    c->Send("PASS wrong\r\nNOOP\r\n");
    // Held back, with the NOOP behind it: nothing arrives at first.
    EXPECT_FALSE(c->ReadUntil([](std::string& s) { return !s.empty(); }, 300));
    EXPECT_EQ(c->Reply(3000), "530 Login incorrect.");
    EXPECT_EQ(c->Reply(), "200 NOOP Command okay.");
    EXPECT_TRUE(Logged("sAuthFail(ANNA,127.0.0.1)"));
    // The right password afterwards logs in.
    EXPECT_EQ(Login(*c, "anna", "secret"), "230 User anna logged in.");
}

TEST_F(Controller, ChangeOfUserRelabelsTheRowButKeepsTheCounts) {
    WriteUsers("", "[BOB]\nPassword=" + Md5Hex("pw") + "\nHomePath=" + Home + "\n");
    Start();
    auto c = Connect();
    Login(*c, "anna", "secret");
    EXPECT_EQ(Login(*c, "bob", "pw"), "230 User bob logged in.");
    ASSERT_EQ(Ctl->Users().size(), 1u);
    EXPECT_EQ(Ctl->Users()[0].UserName, "BOB");
    EXPECT_EQ(Ctl->UserCount("anna"), 1);
    EXPECT_EQ(Ctl->UserCount("bob"), 0);
    EXPECT_TRUE(Logged("sChangeUser BOB"));
}

TEST_F(Controller, ServerWideLimitCountsOnlyLoggedInSessions) {
    Base.WriteConfig("[Setup]\nMaxUser=2\n");
    Start();
    auto a = Connect();
    auto b = Connect();
    auto idle = Connect(); // not logged in: not counted
    EXPECT_EQ(Greeting.substr(0, 4), "220 ");
    Login(*a, "anna", "secret");
    Login(*b, "anna", "secret");
    TFtpClient third(Port);
    EXPECT_EQ(third.Reply(), "421 Too many users connected.");
    EXPECT_TRUE(third.PeerClosed());
}

// Connections not logged in yet are bounded per address and in all; each
// refusal is one "421" line and one log line, and a login frees its place.
TEST_F(Controller, WaitingConnectionsAreCappedPerAddressAndInAll) {
    Base.WriteConfig("[Setup]\nMaxWaitPerIP=2\nMaxWait=3\n");
    Start();
    struct TCase {
        const char* From;
        std::string Reply, Log;
    } cases[] = {
        {"127.0.0.1", "220 ", "sConnectTo(127.0.0.1"},
        {"127.0.0.1", "220 ", "sConnectTo(127.0.0.1"},
        {"127.0.0.1", "421 Too many connections from your address.", "sTooManyWaitIP(127.0.0.1"},
        {"127.0.0.2", "220 ", "sConnectTo(127.0.0.2"},
        {"127.0.0.3", "421 Too many connections waiting for login.", "sTooManyWait(127.0.0.3"},
    };
    std::vector<std::unique_ptr<TFtpClient>> open;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.From);
        auto client = std::make_unique<TFtpClient>(Port, c.From);
        const std::string reply = client->Reply();
        EXPECT_EQ(reply.substr(0, c.Reply.size()), c.Reply);
        EXPECT_TRUE(Logged(c.Log));
        if (reply[0] == '4')
            EXPECT_TRUE(client->PeerClosed());
        else
            open.push_back(std::move(client));
    }
    EXPECT_EQ(Ctl->LoginGuard().Waiting(), 3);
    // A login and a disconnection each free a place.
    EXPECT_EQ(Login(*open[0], "anna", "secret"), "230 User anna logged in.");
    open[1].reset();
    EXPECT_TRUE(PumpUntil([&] { return Ctl->LoginGuard().Waiting() == 1; }));
    auto again = Connect("127.0.0.1");
    EXPECT_EQ(Greeting.substr(0, 4), "220 ");
    auto other = Connect("127.0.0.3");
    EXPECT_EQ(Greeting.substr(0, 4), "220 ");
}

// On the limiter's clock: a connection that does not log in within the
// time-out gets one "421" line and is closed; a logged-in one stays.
TEST_F(Controller, ALoginTimeOutEndsSilentAndTricklingClients) {
    Base.WriteConfig("[Setup]\nLoginTimeOut=60\n");
    Start();
    uint64_t now = 1'000'000;
    Ctl->SpeedLimiter().SetClock([&] { return now; });
    auto silent = Connect();
    auto trickling = Connect();
    auto user = Connect();
    Login(*user, "anna", "secret");
    trickling->Send("US");
    now += 59'999;
    Ctl->SpeedLimiter().SecondTick();
    trickling->Send("E");
    EXPECT_EQ(user->Cmd("NOOP"), "200 NOOP Command okay.");
    now += 1;
    Ctl->SpeedLimiter().SecondTick();
    for (TFtpClient* c : {silent.get(), trickling.get()}) {
        EXPECT_EQ(c->Reply(), "421 Login time-out.");
        EXPECT_TRUE(c->PeerClosed());
    }
    EXPECT_TRUE(Logged("sLoginTimeOut(127.0.0.1"));
    EXPECT_EQ(user->Cmd("NOOP"), "200 NOOP Command okay.");
    EXPECT_EQ(Ctl->LoginGuard().Waiting(), 0);
}

// Failed logins ban the address: its open connections guess no further and
// new ones are refused, until the ban ends or is lifted.
TEST_F(Controller, FailedLoginsBanTheAddressForAWhile) {
    Base.WriteConfig("[Setup]\nMaxLoginFail=1\nBanMinutes=15\n");
    Start();
    uint64_t now = 1'000'000;
    Ctl->SpeedLimiter().SetClock([&] { return now; });
    auto first = Connect();
    auto second = Connect();
    EXPECT_EQ(Login(*first, "anna", "wrong"), "530 Login incorrect.");
    EXPECT_TRUE(Logged("sBanAdded(127.0.0.1,15)"));
    EXPECT_EQ(Login(*second, "anna", "secret"), "421 Too many failed logins, try again later.");
    EXPECT_TRUE(second->PeerClosed());
    TFtpClient refused(Port);
    EXPECT_EQ(refused.Reply(), "421 Too many failed logins, try again later.");
    EXPECT_TRUE(Logged("sBannedIP(127.0.0.1"));
    ASSERT_EQ(Ctl->LoginGuard().Bans(now).size(), 1u);
    EXPECT_EQ(Ctl->LoginGuard().Bans(now)[0].Address, "127.0.0.1");
    // Other addresses are not concerned.
    auto elsewhere = Connect("127.0.0.2");
    EXPECT_EQ(Greeting.substr(0, 4), "220 ");
    now += 15 * 60'000;
    auto later = Connect();
    EXPECT_EQ(Greeting.substr(0, 4), "220 ");
    EXPECT_TRUE(Ctl->LoginGuard().Bans(now).empty());
}

TEST(LoginGuard, CountsFailuresPerMinuteAndLiftsBans) {
    TLoginGuard guard;
    guard.SetLimits({60, 32, 256, 3, 15});
    struct TStep {
        uint64_t At;
        bool Bans;
    } steps[] = {
        {0, false},
        {1000, false},
        {60'000, false}, // the first one has left the minute
        {60'500, true},  // three within one minute
    };
    for (const TStep& s : steps)
        EXPECT_EQ(guard.NoteFailure("10.0.0.1", s.At), s.Bans) << s.At;
    EXPECT_TRUE(guard.IsBanned("10.0.0.1", 60'500 + 15 * 60'000 - 1));
    EXPECT_FALSE(guard.IsBanned("10.0.0.1", 60'500 + 15 * 60'000));
    EXPECT_EQ(guard.Admit(1, "10.0.0.1", 61'000), TLoginGuard::TAdmit::Banned);
    EXPECT_TRUE(guard.Lift("10.0.0.1"));
    EXPECT_FALSE(guard.Lift("10.0.0.1"));
    EXPECT_EQ(guard.Admit(1, "10.0.0.1", 61'000), TLoginGuard::TAdmit::Yes);
    EXPECT_TRUE(guard.Expired(61'000 + 59'999).empty());
    EXPECT_EQ(guard.Expired(61'000 + 60'000), std::vector<int32_t>{1});
    // Zero means no limit.
    guard.SetLimits({0, 0, 0, 0, 15});
    for (int32_t id = 2; id < 100; ++id)
        EXPECT_EQ(guard.Admit(id, "10.0.0.2", 0), TLoginGuard::TAdmit::Yes);
    EXPECT_FALSE(guard.NoteFailure("10.0.0.2", 0));
    EXPECT_TRUE(guard.Expired(1'000'000'000).empty());
}

TEST_F(Controller, GreetingWithWelcomeFileAndHiddenVersion) {
    WriteText(Base.File("hello.txt"), "first\nsecond\n");
    Base.WriteConfig("[Setup]\nHideVersion=1\nEnterMessage=\"" + Base.File("hello.txt") + "\"\n");
    Start();
    auto c = Connect();
    EXPECT_EQ(Greeting, "220-Connected to 127.0.0.1 ready...\r\n220-first\r\n220 second");
}

TEST_F(Controller, IpDenyAndAllowLists) {
    Base.WriteConfig("[IP Deny]\nIP0=127.0.0.*\n[IP Allow]\nIP0=127.0.0.2\n");
    Start();
    TFtpClient denied(Port);
    EXPECT_EQ(denied.Reply(), "421 Access Denied.");
    EXPECT_TRUE(denied.PeerClosed());
    auto allowed = Connect("127.0.0.2");
    EXPECT_EQ(Greeting, "220 Vendrix FTP Server 1.50 Alpha 2 ready...");
    EXPECT_FALSE(Logged("sConnectTo(127.0.0.1"));
    EXPECT_TRUE(Logged("sConnectTo(127.0.0.2"));
}

TEST(IpPattern, MatchingRules) {
    struct TCase {
        const char* pattern;
        const char* address;
        bool match;
    } cases[] = {
        {"*", "10.0.0.1", true},
        {"", "10.0.0.1", false},
        {"10.0.0.1*", "10.0.0.1", true},
        {"10.0.0.1**", "10.0.0.1", false},
        {"10.0.0.?", "10.0.0.7", true},
        {"10.0.0.?", "10.0.0.17", false},
        {"192.168.*", "192.168.1.6", true},
        {"192.168.*", "10.0.0.1", false},
        {"*.5", "192.168.1.5", true},
        {"10.0.0.1", "10.0.0.10", false},
        {"::1", "::1", true},
        {"fe80::*", "fe80::1:2", true},
        {"2001:db8::?", "2001:db8::7", true},
        {"2001:db8::?", "2001:db8::17", false},
        {"*:*", "10.0.0.1", false},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(IpPatternMatches(t.pattern, t.address), t.match) << t.pattern;
    EXPECT_TRUE(IpAdmitted({"192.168.*"}, {"192.168.1.5"}, "192.168.1.5"));
    EXPECT_FALSE(IpAdmitted({"192.168.*"}, {"192.168.1.5"}, "192.168.1.6"));
    EXPECT_TRUE(IpAdmitted({"192.168.*"}, {"192.168.1.5"}, "10.0.0.1"));
}

TEST_F(Controller, KickBanAndAbortActOnARow) {
    Start();
    auto a = Connect();
    auto b = Connect();
    Login(*a, "anna", "secret");
    Login(*b, "anna", "secret");
    ASSERT_EQ(Ctl->Users().size(), 2u);
    int32_t idA = Ctl->Users()[0].ID, idB = Ctl->Users()[1].ID;
    EXPECT_TRUE(Ctl->Abort(idA));
    EXPECT_TRUE(Ctl->FindClient(idA)->AbortingTransfer);
    EXPECT_TRUE(Ctl->Ban(idA));
    EXPECT_TRUE(Ctl->Ban(idB));
    EXPECT_TRUE(a->PeerClosed());
    EXPECT_TRUE(b->PeerClosed());
    EXPECT_TRUE(WaitUsers(0));
    EXPECT_FALSE(Ctl->Kick(idA));
    EXPECT_EQ(Ctl->SettingsFile().ReadIpList(TIpList::Deny),
              (std::vector<std::string>{"127.0.0.1", "127.0.0.1"}));
}

TEST_F(Controller, IpvSixPeersAreListedCountedAndBannedByTheirText) {
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 probe{};
    probe.sin6_family = AF_INET6;
    probe.sin6_addr = in6addr_loopback;
    const bool ipv6 = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&probe), sizeof probe) == 0;
    if (fd >= 0) ::close(fd);
    if (!ipv6) GTEST_SKIP() << "no IPv6 loopback";
    // The default: one dual-stack listener for both families.
    Start("::");
    auto v4 = std::make_unique<TFtpClient>(Port);
    v4->Reply();
    auto v6 = std::make_unique<TFtpClient>(Port, nullptr, "::1");
    v6->Reply();
    EXPECT_EQ(Login(*v4, "anna", "secret"), "230 User anna logged in.");
    EXPECT_EQ(Login(*v6, "anna", "secret"), "230 User anna logged in.");
    ASSERT_EQ(Ctl->Users().size(), 2u);
    EXPECT_EQ(Ctl->Users()[0].Address, "127.0.0.1");
    EXPECT_EQ(Ctl->Users()[1].Address, "::1");
    EXPECT_EQ(Ctl->UserIPCount("ANNA", "::1"), 1);
    EXPECT_EQ(Ctl->UserIPCount("ANNA", "127.0.0.1"), 1);
    EXPECT_TRUE(Ctl->Ban(Ctl->Users()[1].ID));
    EXPECT_TRUE(v6->PeerClosed());
    EXPECT_EQ(Ctl->SettingsFile().ReadIpList(TIpList::Deny), (std::vector<std::string>{"::1"}));
    // The banned address comes no further than the greeting; IPv4 still does.
    TFtpClient again(Port, nullptr, "::1");
    EXPECT_NE(again.Reply().rfind("220 ", 0), 0u);
    TFtpClient other(Port);
    EXPECT_EQ(other.Reply().rfind("220 ", 0), 0u);
}

TEST_F(Controller, SessionWithoutLoginLeavesNoTraceAndTotalsAreWrittenBack) {
    WriteUsers("TotalDownload=5000000000\nTotalUpload=7");
    Start();
    std::string before = ReadText(Base.Users());
    {
        auto idle = Connect();
        idle->Cmd("USER anna");
    }
    EXPECT_TRUE(PumpUntil([&] { return Ctl->Server().ClientCount() == 0; }));
    EXPECT_EQ(ReadText(Base.Users()), before);
    EXPECT_FALSE(Logged("sDisconnect"));

    auto c = Connect();
    Login(*c, "anna", "secret");
    auto* client = Ctl->FindClient(Ctl->Users()[0].ID);
    EXPECT_EQ(client->TotalDownload, 5000000000);
    client->UnsavedDownloadKB = 3;
    // Another program adds to the upload total meanwhile: kept.
    WriteUsers("TotalDownload=5000000000\nTotalUpload=9");
    c.reset();
    EXPECT_TRUE(WaitUsers(0));
    TAccount anna = Ctl->AccountFile().Account("anna");
    EXPECT_EQ(anna.ReadInt64(TAccountKey::TotalDownload), 5000000003);
    EXPECT_EQ(anna.ReadInt64(TAccountKey::TotalUpload), 9);
}

// TLS settings apply at the next start: the certificate is loaded only then,
// so a mode switched to "required" in between must not lock out every
// client of a server that could not answer AUTH TLS.
TEST_F(Controller, ATlsModeChangeWaitsForTheNextStart) {
    Base.WriteConfig("[Setup]\nPort=21\n[TLS]\nMode=off\n");
    Start();
    Base.WriteConfig("[Setup]\nPort=21\n[TLS]\nMode=required\n");
    Ctl->ReloadSettings();
    auto c = Connect();
    EXPECT_EQ(c->Cmd("USER anna"), "331 Password required for anna.");
    EXPECT_EQ(c->Cmd("AUTH TLS"), "431 TLS is not available.");
    c.reset();
    Ctl->StopServer();
    ASSERT_TRUE(Ctl->StartServer());
    Port = std::stoi(Ctl->Server().ServerSocket().GetLocalPortText());
    c = Connect();
    EXPECT_EQ(c->Cmd("USER anna"), "530 TLS is required on this server: use AUTH TLS first.");
}

TEST_F(Controller, StartStopAndAFailedStart) {
    Start();
    EXPECT_TRUE(Ctl->Running());
    EXPECT_TRUE(Logged("sSerStart"));
    Ctl->StopServer();
    EXPECT_FALSE(Ctl->Running());
    EXPECT_TRUE(Logged("sSerStop"));
    EXPECT_EQ(Ctl->Status().Tray, TTrayState::Stopped);

    // A port another socket listens on.
    net::TWSocket other;
    other.SetAddr("127.0.0.1");
    other.SetPort("0");
    other.Listen();
    Ctl->PortOverride = other.GetLocalPortText();
    EXPECT_FALSE(Ctl->StartServer());
    EXPECT_TRUE(Logged("sNoPort(" + other.GetLocalPortText() + ","));
    EXPECT_TRUE(Logged("sNotStart"));
    EXPECT_FALSE(Ctl->Running());
}

} // namespace
