// The extensions beyond the classic command set: FEAT, OPTS, HELP, ALLO,
// STAT, EPSV/EPRT (also over IPv6), MLSD/MLST, MFMT and HASH/RANG, over
// real sockets.
#include "FtpTestKit.h"

#include <sys/stat.h>

using namespace vendrix;
using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

const char kFeat[] = "211-Extensions supported:\r\n"
                     " EPRT\r\n"
                     " EPSV\r\n"
                     " HASH SHA-256*;SHA-1;MD5\r\n"
                     " MDTM\r\n"
                     " MFMT\r\n"
                     " MLST type*;size*;modify*;perm*;unique*;\r\n"
                     " PASV\r\n"
                     " REST STREAM\r\n"
                     " SIZE\r\n"
                     " TVFS\r\n"
                     " UTF8\r\n"
                     "211 END";

// The port of a "229 Entering Extended Passive Mode (|||PORT|)" reply.
int EpsvPort(const std::string& reply) {
    size_t open = reply.find("(|||");
    if (reply.rfind("229 ", 0) != 0 || open == std::string::npos) return 0;
    return std::atoi(reply.c_str() + open + 4);
}

bool HostHasIpv6Loopback() {
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_addr = in6addr_loopback;
    bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    return ok;
}

class Extensions : public TServerFixture {};

TEST_F(Extensions, FeatAnswersBeforeAndAfterLogin) {
    auto c = Connect();
    EXPECT_EQ(c->Cmd("FEAT"), kFeat);
    c->Login();
    EXPECT_EQ(c->Cmd("FEAT"), kFeat);
    EXPECT_EQ(c->Cmd("OPTS HASH md5"), "200 MD5");
    EXPECT_EQ(c->Cmd("OPTS MLST type;size;"), "200 MLST OPTS type;size;");
    std::string feat = c->Cmd("FEAT");
    EXPECT_NE(feat.find(" HASH SHA-256;SHA-1;MD5*\r\n"), std::string::npos) << feat;
    EXPECT_NE(feat.find(" MLST type*;size*;modify;perm;unique;\r\n"), std::string::npos) << feat;
}

TEST_F(Extensions, SessionCommandReplies) {
    struct TCase {
        const char* line;
        const char* reply;
    } cases[] = {
        {"OPTS UTF8 ON", "200 UTF8 set to on"},
        {"opts utf8 on", "200 UTF8 set to on"},
        {"OPTS UTF8 OFF", "200 UTF8 set to off"},
        {"OPTS UTF8 MAYBE", "501 Option not understood."},
        {"OPTS FOO", "501 Option not understood."},
        {"OPTS HASH", "200 SHA-256"},
        {"OPTS HASH CRC32", "501 Unknown algorithm, current selection not changed."},
        {"OPTS HASH sha-1", "200 SHA-1"},
        {"OPTS HASH", "200 SHA-1"},
        {"OPTS MLST size;bogus;Modify", "200 MLST OPTS size;modify;"},
        {"OPTS MLST", "200 MLST OPTS "},
        {"ALLO 1000", "202 No storage allocation necessary."},
        {"STAT /tmp", "504 STAT with a parameter is not implemented."},
        {"STAT", "211-QEV FTP Server status:\r\n Connected to 127.0.0.1\r\n Logged in as test\r\n"
                 " TYPE: ASCII, STRUcture: File, MODE: Stream\r\n Data connection: active\r\n"
                 "211 End of status"},
        {"MFMT", "501 Syntax error in MFMT parameter."},
        {"MFMT 2024 a.txt", "501 Syntax error in MFMT parameter."},
        {"MFMT 20241301000000 a.txt", "501 Syntax error in MFMT parameter."},
        {"RANG 5", "501 Invalid RANG parameters."},
        {"RANG 5 4", "501 Invalid RANG parameters."},
        {"RANG -1 4", "501 Invalid RANG parameters."},
        {"RANG 1 0", "350 Restarting at 0. Ending at EOF."},
        {"RANG 0 9", "350 Restarting at 0. Ending at 9."},
        {"RANG 1 0", "350 Restarting at 0. Ending at EOF."},
        {"HASH", "501 Syntax error in HASH parameter."},
        {"HASH missing.bin", "550 Could not read the file."},
        {"MLST missing.bin", "501 missing.bin: no such file or directory."},
    };
    auto c = Connect();
    c->Login();
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(t.line), t.reply) << t.line;
}

TEST_F(Extensions, HelpListsEveryCommandOfTheTable) {
    auto c = Connect();
    std::string help = c->Cmd("HELP");
    EXPECT_EQ(help.rfind("214-The following commands are recognized:\r\n", 0), 0u) << help;
    EXPECT_EQ(help.substr(help.size() - 12), "214 Help OK.");
    for (const auto& row : Server->CommandTable()) {
        if (row.KeyWord == "OVER") continue;
        EXPECT_NE(help.find(" " + row.KeyWord), std::string::npos) << row.KeyWord;
    }
}

TEST_F(Extensions, EprtRepliesAndBounceRefusals) {
    struct TCase {
        const char* line;
        const char* reply;
    } cases[] = {
        {"EPRT |1|127.0.0.1|1025|", "200 EPRT command successful."},
        {"EPRT !1!127.0.0.1!2000!", "200 EPRT command successful."},
        {"EPRT |1|127.0.0.1|1023|", "501 Invalid EPRT command."},
        {"EPRT |1|127.0.0.1|65536|", "501 Invalid EPRT command."},
        {"EPRT |1|127.0.0.2|2000|", "501 Invalid EPRT command."},
        {"EPRT |1|127.0.0.1|2000", "501 Invalid EPRT command."},
        {"EPRT |1|127.0.0.1|2000|x", "501 Invalid EPRT command."},
        {"EPRT |1|localhost|2000|", "501 Invalid EPRT command."},
        {"EPRT |3|127.0.0.1|2000|", "522 Network protocol not supported, use (1)"},
        {"EPRT |2|::1|2000|", "501 Invalid EPRT command."},
        {"EPRT |2|::ffff:127.0.0.1|2001|", "200 EPRT command successful."},
        {"EPRT", "501 Invalid EPRT command."},
        {"EPSV 2", "522 Network protocol not supported, use (1)"},
    };
    auto c = Connect();
    c->Login();
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(t.line), t.reply) << t.line;
    EXPECT_EQ(Server->GetClient(0)->DataAddr, "127.0.0.1");
    EXPECT_EQ(Server->GetClient(0)->DataPort, "2001");
}

TEST_F(Extensions, EpsvAllRefusesTheOtherDataCommands) {
    auto c = Connect();
    c->Login();
    EXPECT_EQ(c->Cmd("EPSV ALL"), "200 EPSV ALL command successful.");
    for (const char* line : {"PASV", "PORT 127,0,0,1,4,1", "EPRT |1|127.0.0.1|2000|"})
        EXPECT_EQ(c->Cmd(line), "503 Only EPSV is allowed after EPSV ALL.") << line;
    EXPECT_GT(EpsvPort(c->Cmd("EPSV")), 0);
}

TEST_F(Extensions, EpsvCarriesListingsAndDownloads) {
    WriteFile("a.txt", "alpha");
    auto c = Connect();
    c->Login();
    int port = EpsvPort(c->Cmd("EPSV"));
    ASSERT_GT(port, 0);
    TRawConn data(port);
    EXPECT_EQ(c->Cmd("RETR a.txt"), "150 Opening data connection for a.txt.");
    EXPECT_EQ(data.ReadAll(), "alpha");
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
    port = EpsvPort(c->Cmd("EPSV 1"));
    ASSERT_GT(port, 0);
    TRawConn list(port);
    EXPECT_EQ(c->Cmd("NLST"), "150 Opening data connection for directory list.");
    EXPECT_NE(list.ReadAll().find("a.txt\r\n"), std::string::npos);
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
}

TEST_F(Extensions, EpsvTriesTheNextPortOfTheRangeAndRefusesWhenAllAreBusy) {
    // Two ports of a range, the first held by another program.
    TRawConn probe;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &sa.sin_addr);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    ::listen(fd, 1);
    probe.Adopt(fd);
    const int taken = ntohs(sa.sin_port);
    Server->SetPasvPortRangeStart(taken);
    Server->SetPasvPortRangeSize(2);
    auto a = Connect();
    a->Login();
    const std::string reply = a->Cmd("EPSV");
    if (EpsvPort(reply) != taken + 1) GTEST_SKIP() << "the next port was taken too: " << reply;
    auto b = Connect();
    b->Login();
    EXPECT_EQ(b->Cmd("EPSV"), "425 No available PASV Ports.");
}

TEST_F(Extensions, MlsdShowsFactsAndLeavesHiddenEntriesOut) {
    WriteFile("a.txt", "12345");
    WriteFile(".hidden", "h");
    ::mkdir((Root + "sub").c_str(), 0755);
    timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 0}}; // 2023-11-14 22:13:20 UTC
    ::utimensat(AT_FDCWD, (Root + "a.txt").c_str(), times, 0);
    auto c = Connect();
    c->Login();
    EXPECT_EQ(c->Cmd("OPTS MLST type;size;modify;perm;"), "200 MLST OPTS type;size;modify;perm;");
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("MLSD"), "150 Opening data connection for directory list.");
    const std::string text = data->ReadAll();
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
    EXPECT_NE(text.find("type=file;size=5;modify=20231114221320;perm=arw; a.txt\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("type=dir;modify="), std::string::npos) << text;
    EXPECT_NE(text.find("; sub\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("type=cdir;"), std::string::npos) << text;
    EXPECT_EQ(text.find(".hidden"), std::string::npos) << text;
    // LIST afterwards is a LIST again.
    auto list = c->Pasv();
    c->Cmd("LIST");
    EXPECT_EQ(list->ReadAll().find("type="), std::string::npos);
    c->Reply();
}

TEST_F(Extensions, MlstAnswersOnTheControlConnection) {
    WriteFile("a.txt", "12345");
    auto c = Connect();
    c->Login();
    c->Cmd("OPTS MLST type;size;");
    EXPECT_EQ(c->Cmd("MLST a.txt"),
              "250-Listing " + Root + "a.txt\r\n type=file;size=5; " + Root + "a.txt\r\n250 End");
    EXPECT_EQ(c->Cmd("MLST"), "250-Listing " + Root + "\r\n type=dir; " + Root + "\r\n250 End");
}

TEST_F(Extensions, MfmtSetsTheTimeThatMdtmAndMlstShow) {
    WriteFile("a.txt", "x");
    auto c = Connect();
    c->Login();
    EXPECT_EQ(c->Cmd("MFMT 20200102030405 a.txt"), "213 Modify=20200102030405; " + Root + "a.txt");
    EXPECT_EQ(c->Cmd("MDTM a.txt"), "213 20200102030405.000");
    EXPECT_EQ(c->Cmd("MFMT 20200102030405.123 a.txt"), "213 Modify=20200102030405; " + Root + "a.txt");
    EXPECT_EQ(c->Cmd("MFMT 20200102030405 none.txt"),
              "550 '" + Root + "none.txt': no such file or directory.");
    // The application decides, as it does for uploads.
    Server->OnValidateMfmt = [](TFtpServer&, TFtpCtrlSocket&, TFtpString&, bool& allowed) {
        allowed = false;
    };
    EXPECT_EQ(c->Cmd("MFMT 20210102030405 a.txt"), "550 Permission denied.");
    EXPECT_EQ(c->Cmd("MDTM a.txt"), "213 20200102030405.000");
}

TEST_F(Extensions, HashOfEachAlgorithmAndOfARange) {
    WriteFile("abc", "abc");
    auto c = Connect();
    c->Login();
    const std::string path = Root + "abc";
    EXPECT_EQ(c->Cmd("HASH abc"),
              "213 SHA-256 0-2 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad " + path);
    c->Cmd("OPTS HASH SHA-1");
    EXPECT_EQ(c->Cmd("HASH abc"), "213 SHA-1 0-2 a9993e364706816aba3e25717850c26c9cd0d89d " + path);
    c->Cmd("OPTS HASH MD5");
    EXPECT_EQ(c->Cmd("HASH abc"), "213 MD5 0-2 900150983cd24fb0d6963f7d28e17f72 " + path);
    EXPECT_EQ(c->Cmd("RANG 1 1"), "350 Restarting at 1. Ending at 1.");
    // MD5 of "b".
    EXPECT_EQ(c->Cmd("HASH abc"), "213 MD5 1-1 92eb5ffee6ae2fec3ad71c777531578f " + path);
    // The range was for one HASH.
    EXPECT_EQ(c->Cmd("HASH abc"), "213 MD5 0-2 900150983cd24fb0d6963f7d28e17f72 " + path);
    EXPECT_EQ(c->Cmd("RANG 5 9"), "350 Restarting at 5. Ending at 9.");
    EXPECT_EQ(c->Cmd("HASH abc"), "550 Could not read the file.");
    Server->OnValidateHash = [](TFtpServer&, TFtpCtrlSocket&, TFtpString&, bool& allowed) {
        allowed = false;
    };
    EXPECT_EQ(c->Cmd("HASH abc"), "550 Permission denied.");
}

TEST_F(Extensions, ALargeHashLeavesOtherSessionsAnswering) {
    // Sixteen slices: the hash needs sixteen loop rounds at least, and the
    // other session's command is read in one of the first.
    WriteFile("big", std::string(size_t(16 * THashJob::kSliceBytes), 'z'));
    auto a = Connect();
    a->Login();
    auto b = Connect();
    b->Login();
    a->Send("HASH big\r\n");
    PumpUntil([&] { return Server->ClientCount() == 2 && Server->GetClient(0)->HashJob != nullptr; });
    EXPECT_EQ(b->Cmd("NOOP"), "200 NOOP Command okay.");
    EXPECT_NE(Server->GetClient(0)->HashJob, nullptr) << "the hash ran in one piece";
    EXPECT_EQ(a->Reply(20000).rfind("213 SHA-256 0-16777215 ", 0), 0u);
    EXPECT_EQ(Server->GetClient(0)->HashJob, nullptr);
}

// A server of its own on IPv6 addresses.
class Ipv6 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HostHasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
        Server = std::make_unique<TFtpServer>();
        Server->Port = "0";
        Server->OnRetrDataSent = [](TFtpServer& s, TFtpCtrlSocket& c, net::TWSocket& d, uint16_t) {
            s.SendNextDataBlock(c, d);
        };
    }
    void TearDown() override {
        if (!Server) return;
        Server->DisconnectAll();
        Server.reset();
        Pump(5);
    }
    int Start(const std::string& addr) {
        Server->Addr = addr;
        Server->Start();
        return std::stoi(Server->ServerSocket().GetLocalPortText());
    }
    std::unique_ptr<TFtpServer> Server;
};

TEST_F(Ipv6, DataCommandsOnAnIpv6ControlConnection) {
    const int port = Start("::1");
    TFtpClient c(port, nullptr, "::1");
    EXPECT_EQ(c.Reply(), "220 QEV FTP Server ready.");
    c.Login();
    EXPECT_EQ(Server->GetClient(0)->PeerAddr(), "::1");
    struct TCase {
        const char* line;
        const char* reply;
    } cases[] = {
        {"PASV", "500 PASV cannot name an IPv6 address; use EPSV."},
        {"PORT 127,0,0,1,4,1", "522 Network protocol not supported, use (2)"},
        {"EPRT |1|127.0.0.1|2000|", "501 Invalid EPRT command."},
        {"EPRT |2|::1|2000|", "200 EPRT command successful."},
        {"EPSV 1", "522 Network protocol not supported, use (2)"},
        {"STAT", "211-QEV FTP Server status:\r\n Connected to ::1\r\n Logged in as test\r\n"
                 " TYPE: ASCII, STRUcture: File, MODE: Stream\r\n Data connection: active\r\n"
                 "211 End of status"},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(c.Cmd(t.line), t.reply) << t.line;
    int data = EpsvPort(c.Cmd("EPSV 2"));
    ASSERT_GT(data, 0);
    // The listener is on the control connection's address only.
    EXPECT_EQ(Server->GetClient(0)->DataSocket->GetLocalAddrText(), "::1");
    TRawConn conn(data, nullptr, "::1");
    EXPECT_EQ(c.Cmd("NLST"), "150 Opening data connection for directory list.");
    conn.ReadAll();
    EXPECT_EQ(c.Reply(), "226 Transfer complete.");
}

TEST_F(Ipv6, DualStackListenerShowsMappedPeersAsIpv4) {
    const int port = Start("::");
    TFtpClient v4(port);
    EXPECT_EQ(v4.Reply(), "220 QEV FTP Server ready.");
    TFtpClient v6(port, nullptr, "::1");
    EXPECT_EQ(v6.Reply(), "220 QEV FTP Server ready.");
    ASSERT_EQ(Server->ClientCount(), 2);
    EXPECT_EQ(Server->GetClient(0)->PeerAddr(), "127.0.0.1");
    EXPECT_EQ(Server->GetClient(1)->PeerAddr(), "::1");
    v4.Login();
    // PASV works for the IPv4 client of a dual-stack listener.
    EXPECT_EQ(v4.Cmd("PASV").rfind("227 Entering Passive Mode (127,0,0,1,", 0), 0u);
}

TEST_F(Ipv6, ExtraAddressesListenOnTheSamePort) {
    Server->ExtraAddrs = {"::1"};
    const int port = Start("127.0.0.1");
    ASSERT_EQ(Server->ExtraSockets().size(), 1u);
    // The extra listener asks the port the first one got only when it was
    // given by number; "0" gives each its own.
    const int port6 = std::stoi(Server->ExtraSockets()[0]->GetLocalPortText());
    TFtpClient v4(port);
    EXPECT_EQ(v4.Reply(), "220 QEV FTP Server ready.");
    TFtpClient v6(port6, nullptr, "::1");
    EXPECT_EQ(v6.Reply(), "220 QEV FTP Server ready.");
    Server->Stop();
    EXPECT_TRUE(Server->ExtraSockets().empty());
}

} // namespace
