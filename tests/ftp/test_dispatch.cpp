// Command dispatch, the control session's line assembly and the login and
// session commands, over real sockets on 127.0.0.1.
#include "FtpTestKit.h"

using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

class Dispatch : public TServerFixture {};

TEST_F(Dispatch, RepliesBeforeLogin) {
    struct TCase {
        const char* line;
        const char* reply;
    } cases[] = {
        {"noop", "200 NOOP Command okay."},
        {"NoOp with text", "200 NOOP Command okay."},
        {"  ?", "500 '?': command not understood."},
        {"XCWD /tmp", "500 'XCWD': command not understood."},
        {"   ", "500 '': command not understood."},
        {"PASS x", "503 Login with USER first."},
        {"STRU F", "200 Ok. STRU parameter 'F' ignored."},
        {"SYST", "530 Please login with USER and PASS."},
        {"MODE S", "530 Please login with USER and PASS."},
        {"TYPE I", "530 Please login with USER and PASS."},
        {"MDTM x", "530 Please login with USER and PASS."},
        {"USER   ", "500 USER: command requires a parameter."},
        {"LIST", "530 Please login with USER and PASS."},
        {"XYZZ", "500 'XYZZ': command not understood."},
        {"EPSV", "530 Please login with USER and PASS."},
        {"MLSD", "530 Please login with USER and PASS."},
        {"HASH x", "530 Please login with USER and PASS."},
        {"OPTS UTF8 ON", "200 UTF8 set to on"},
        {"\xff\xf4\xff\xf2NOOP", "200 NOOP Command okay."},
    };
    auto c = Connect();
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(t.line), t.reply) << t.line;
}

TEST_F(Dispatch, RepliesAfterLogin) {
    struct TCase {
        const char* line;
        const char* reply;
    } cases[] = {
        {"SYST", "215 UNIX Type: L8"},
        {"TYPE i", "200 Type set to i."},
        {"TYPE A N", "200 Type set to A N."},
        {"TYPE E", "500 'TYPE E': command not understood."},
        {"MODE S", "200 MODE Ok"},
        {"MODE s", "200 MODE Ok"},
        {"MODE", "501 Missing argument for MODE"},
        {"MODE S ", "502 MODE other than S not supported"},
        {"MODE B", "502 MODE other than S not supported"},
        {"PASS again", "503 Login with USER first."},
    };
    auto c = Connect();
    EXPECT_EQ(c->Cmd("USER anna"), "331 Password required for anna.");
    EXPECT_EQ(c->Cmd("PASS secret"), "230 User anna logged in.");
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(t.line), t.reply) << t.line;
}

TEST_F(Dispatch, AuthenticationDecidesAndUserLogsOut) {
    Server->OnAuthenticate = [this](TFtpServer&, TFtpCtrlSocket& c, const TFtpString& u, const TFtpString& p,
                                    bool& ok) {
        ok = u == "anna" && p == "right";
        c.HomeDir = Root;
    };
    auto c = Connect();
    c->Cmd("USER anna");
    EXPECT_EQ(c->Cmd("PASS wrong"), "530 Login incorrect.");
    EXPECT_EQ(c->Cmd("SYST"), "530 Please login with USER and PASS.");
    c->Cmd("USER anna");
    EXPECT_EQ(c->Cmd("PASS right"), "230 User anna logged in.");
    EXPECT_EQ(c->Cmd("SYST"), "215 UNIX Type: L8");
    // A second USER ends the login until PASS succeeds again.
    EXPECT_EQ(c->Cmd("USER bob"), "331 Password required for bob.");
    EXPECT_EQ(c->Cmd("SYST"), "530 Please login with USER and PASS.");
}

TEST_F(Dispatch, ErrorInAuthenticationBecomes501) {
    Server->OnAuthenticate = [](TFtpServer&, TFtpCtrlSocket&, const TFtpString&, const TFtpString&, bool&) {
        throw EFtpError("account file unreadable");
    };
    auto c = Connect();
    c->Cmd("USER anna");
    EXPECT_EQ(c->Cmd("PASS x"), "501 account file unreadable");
}

TEST_F(Dispatch, ClientCommandHandlerCanAnswerInstead) {
    std::string seenKeyword, seenParams;
    Server->OnClientCommand = [&](TFtpServer&, TFtpCtrlSocket&, TFtpString& k, TFtpString& p, TFtpString& a) {
        seenKeyword = k;
        seenParams = p;
        if (k == "NOOP") a = "299 intercepted";
    };
    auto c = Connect();
    EXPECT_EQ(c->Cmd("noop"), "299 intercepted");
    c->Cmd("RETR\tfile name");
    EXPECT_EQ(seenKeyword, "RETR");
    EXPECT_EQ(seenParams, "file name");
    c->Cmd("RETR  one two ");
    EXPECT_EQ(seenParams, "one two ");
}

TEST_F(Dispatch, AnswerToClientRewritesEveryReplyButTheGreeting) {
    Server->OnAnswerToClient = [](TFtpServer&, TFtpCtrlSocket&, TFtpString& a) { a = "[" + a + "]"; };
    auto c = std::make_unique<TFtpClient>(Port);
    EXPECT_EQ(c->Reply(), "220 QEV FTP Server ready.");
    c->Send("NOOP\r\n");
    EXPECT_TRUE(c->ReadUntil([](std::string& s) { return s.find("\r\n") != std::string::npos; }));
    EXPECT_EQ(c->Take(), "[200 NOOP Command okay.]\r\n");
}

TEST_F(Dispatch, TwoCommandsInOnePacketAndOneSplitOverTwo) {
    auto c = Connect();
    c->Send("NOOP\r\nSTRU x\r\n");
    EXPECT_EQ(c->Reply(), "200 NOOP Command okay.");
    EXPECT_EQ(c->Reply(), "200 Ok. STRU parameter 'x' ignored.");
    c->Send("NO");
    Pump();
    c->Send("OP\r\n");
    EXPECT_EQ(c->Reply(), "200 NOOP Command okay.");
    // A lone LF ends a line too; a lone CR before it stays part of a 1-byte line.
    c->Send("NOOP\n");
    EXPECT_EQ(c->Reply(), "200 NOOP Command okay.");
}

TEST_F(Dispatch, OverlongLineIsRefusedAndClosed) {
    auto c = Connect();
    c->Send(std::string(3000, 'A'));
    EXPECT_EQ(c->Reply(), "500 Command too long");
    EXPECT_TRUE(c->PeerClosed());
    EXPECT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }));
}

TEST_F(Dispatch, LongRepliesAreNeverCut) {
    std::string longName(600, 'n');
    auto c = LoggedIn();
    EXPECT_EQ(c->Cmd("STRU " + longName), "200 Ok. STRU parameter '" + longName + "' ignored.");
}

TEST_F(Dispatch, QuitClosesAfterTheQueuedReply) {
    std::string big(200000, 'x');
    Server->OnClientCommand = [&](TFtpServer& s, TFtpCtrlSocket& c, TFtpString& k, TFtpString&, TFtpString&) {
        if (k == "QUIT") c.SendText(big + "\r\n"); // still queued when QUIT's reply follows
        (void)s;
    };
    auto c = Connect();
    c->Send("QUIT\r\n");
    std::string all = c->ReadAll();
    EXPECT_EQ(all, big + "\r\n221 Goodbye!\r\n");
    EXPECT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }));
}

TEST_F(Dispatch, MaxClientsRefusesTheExtraConnection) {
    Server->MaxClients = 2;
    auto a = Connect();
    auto b = Connect();
    TFtpClient third(Port);
    EXPECT_EQ(third.Reply(), "421 Too many users connected.");
    EXPECT_TRUE(third.PeerClosed());
    EXPECT_EQ(a->Cmd("NOOP"), "200 NOOP Command okay.");
}

TEST_F(Dispatch, ConnectAndDisconnectEventsWithIds) {
    std::vector<int> connected, disconnected;
    Server->OnClientConnect = [&](TFtpServer&, TFtpCtrlSocket& c, uint16_t) { connected.push_back(c.ID); };
    Server->OnClientDisconnect = [&](TFtpServer& s, TFtpCtrlSocket& c, uint16_t) {
        disconnected.push_back(c.ID);
        EXPECT_FALSE(s.IsClient(&c)); // already out of the list
    };
    {
        auto a = Connect();
        auto b = Connect();
        EXPECT_EQ(Server->ClientCount(), 2);
        EXPECT_EQ(Server->GetClient(0)->Name, "ClientWSocket1");
        EXPECT_EQ(Server->GetClient(1)->DataSocket->Name, "DataWSocket2");
        EXPECT_EQ(Server->GetClient(2), nullptr);
    }
    EXPECT_TRUE(PumpUntil([&] { return disconnected.size() == 2; }));
    EXPECT_EQ(connected, (std::vector<int>{1, 2}));
    EXPECT_EQ(Server->ClientCount(), 0);
}

TEST_F(Dispatch, ConnectHandlerMayReplaceTheBannerOrClose) {
    Server->OnClientConnect = [](TFtpServer&, TFtpCtrlSocket& c, uint16_t) {
        if (c.ID == 1) c.Banner = "421 Access Denied.";
        if (c.ID == 1) {
            c.StartConnection();
            c.Close();
        }
    };
    TFtpClient first(Port);
    EXPECT_EQ(first.Reply(), "421 Access Denied.");
    EXPECT_TRUE(first.PeerClosed());
    auto second = Connect();
    EXPECT_EQ(second->Cmd("NOOP"), "200 NOOP Command okay.");
}

TEST(CommandTable, IsFullAfterCreation) {
    TFtpServer server;
    EXPECT_EQ(server.CommandTable().size(), 48u);
    EXPECT_EQ(server.CommandTable().front().KeyWord, "PORT");
    EXPECT_EQ(server.CommandTable()[32].KeyWord, "FEAT");
    EXPECT_EQ(server.CommandTable().back().KeyWord, "CCC");
    try {
        server.AddCommand("SITE", nullptr, false);
        FAIL();
    } catch (const EFtpError& e) {
        EXPECT_STREQ(e.what(), "Too many command");
    }
}

TEST(CtrlSocket, RcvSizeCannotChangeWithDataInBuffer) {
    TFtpCtrlSocket c(nullptr);
    EXPECT_EQ(c.RcvSize(), 2048);
    c.SetRcvSize(4096);
    EXPECT_EQ(c.RcvSize(), 4096);
}

} // namespace
