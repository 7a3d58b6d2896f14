// Data connections and transfers: PORT, PASV and its port range, RETR, STOR,
// APPE, STOU, REST and ABOR, over real sockets on 127.0.0.1.
#include "FtpTestKit.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace vendrix;
using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

class Transfers : public TServerFixture {
protected:
    // Uploads `content` with `command` over a passive connection; returns the
    // 150 reply and the completion reply.
    std::pair<std::string, std::string> Upload(TFtpClient& c, const std::string& command,
                                               const std::string& content) {
        auto data = c.Pasv();
        std::string started = c.Cmd(command);
        data->Send(content);
        data->Close();
        return {started, c.Reply()};
    }
    std::pair<std::string, std::string> Download(TFtpClient& c, const std::string& command,
                                                 std::string& content) {
        auto data = c.Pasv();
        std::string started = c.Cmd(command);
        content = data->ReadAll();
        return {started, c.Reply()};
    }
};

TEST_F(Transfers, PortRepliesAndBounceRefusals) {
    struct TCase {
        const char* params;
        const char* reply;
    } cases[] = {
        {"127,0,0,1,4,1", "200 Port command successful."},
        {" 127 , 0 ,0,1,4,1", "200 Port command successful."},
        {"192,168,1,2,4,1", "501 Invalid PORT command."}, // another host: a bounce
        {"127,0,0,1,0,80", "501 Invalid PORT command."},  // a privileged port
        {"127,0,0,1", "501 Invalid PORT command."},       // port 0
        {"127,0,0,1,300,1", "501 Invalid PORT command."}, // outside 0..255
        {"127,0,x,1,4,1", "501 Invalid PORT command."},
        {"99999999999,0,0,1,4,1", "501 Invalid PORT command."},
    };
    auto c = LoggedIn();
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(std::string("PORT ") + t.params), t.reply) << t.params;
    c->Cmd("PORT 127,0,0,1,4,1");
    EXPECT_EQ(Server->GetClient(0)->DataAddr, "127.0.0.1");
    EXPECT_EQ(Server->GetClient(0)->DataPort, "1025");
}

TEST_F(Transfers, PassiveRangeHandsOutAndReleasesPorts) {
    // Two free neighbouring ports for the range: both must bind, since other
    // tests running at the same time take ports too.
    auto bindable = [](int port) {
        net::TWSocket probe;
        probe.SetAddr("0.0.0.0");
        probe.SetPort(std::to_string(port));
        try {
            probe.Listen();
        } catch (const net::ESocketException&) {
            return 0;
        }
        return std::stoi(probe.GetLocalPortText());
    };
    int start = 0;
    for (int attempt = 0; attempt < 50 && !start; ++attempt) {
        int p = bindable(0);
        if (p > 0 && p < 65535 && bindable(p + 1)) start = p;
    }
    ASSERT_NE(start, 0);
    Server->SetPasvPortRangeStart(start);
    Server->SetPasvPortRangeSize(2);

    auto a = LoggedIn();
    auto b = LoggedIn();
    auto c = LoggedIn();
    auto pa = a->Pasv();
    auto pb = b->Pasv();
    EXPECT_EQ(c->Cmd("PASV"), "425 No available PASV Ports.");
    EXPECT_EQ(Server->PasvPortTable(), (std::vector<uint8_t>{1, 1}));
    // A new PASV gives the old port back before taking one.
    pa.reset();
    pa = a->Pasv();
    ASSERT_TRUE(pa);
    // The end of a passive transfer releases its port.
    WriteFile("f.txt", "data");
    EXPECT_EQ(a->Cmd("RETR f.txt"), "150 Opening data connection for f.txt.");
    EXPECT_EQ(pa->ReadAll(), "data");
    EXPECT_EQ(a->Reply(), "226 Transfer complete.");
    EXPECT_EQ(c->Cmd("PASV").substr(0, 4), "227 ");
    // So does the end of a session.
    b.reset();
    pb.reset();
    EXPECT_TRUE(PumpUntil([&] { return Server->ClientCount() == 2; }));
    EXPECT_EQ(a->Cmd("PASV").substr(0, 4), "227 ");

    try {
        Server->SetPasvPortRangeSize(70000);
        FAIL();
    } catch (const EFtpError& e) {
        EXPECT_STREQ(e.what(), "Invalid PasvPortRangeSize 70000.");
    }
    try {
        Server->SetPasvPortRangeStart(start + 1);
        FAIL();
    } catch (const EFtpError& e) {
        EXPECT_STREQ(e.what(), "Unable to change PasvPortRangeStart when port is in use.");
    }
    try {
        Server->SetPasvPortRangeSize(0);
        FAIL();
    } catch (const EFtpError& e) {
        EXPECT_STREQ(e.what(), "Unable to change PasvPortRangeSize when port is in use.");
    }
}

TEST_F(Transfers, PassiveConnectionFromAnotherAddressIsRefused) {
    WriteFile("f.txt", "secret");
    auto c = LoggedIn();
    std::string r = c->Cmd("PASV");
    int n[6] = {};
    std::sscanf(r.c_str() + r.find('(') + 1, "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]);
    TRawConn thief(n[4] * 256 + n[5], "127.0.0.2");
    EXPECT_TRUE(thief.PeerClosed());
    TRawConn own(n[4] * 256 + n[5]);
    EXPECT_EQ(c->Cmd("RETR f.txt"), "150 Opening data connection for f.txt.");
    EXPECT_EQ(own.ReadAll(), "secret");
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
}

TEST_F(Transfers, RestartOffsetsForDownloadsAndUploads) {
    std::string content;
    for (int i = 0; i < 300; ++i)
        content += char('a' + i % 26);
    WriteFile("f.bin", content);
    auto c = LoggedIn();
    EXPECT_EQ(c->Cmd("REST 100"), "350 REST supported. Ready to resume at byte offset 100.");
    std::string got;
    Download(*c, "RETR f.bin", got);
    EXPECT_EQ(got, content.substr(100));
    Download(*c, "RETR f.bin", got);
    EXPECT_EQ(got, content); // the offset was cleared by the end of the transfer

    EXPECT_EQ(c->Cmd("REST -5"), "350 Restarting at 0.");
    EXPECT_EQ(c->Cmd("REST abc"), "501 Syntax error in parameter: 'abc' is not a valid integer value.");
    EXPECT_EQ(Server->GetClient(0)->RestartPos, 0);

    WriteFile("u.txt", "0123456789ABCDEF");
    c->Cmd("REST 10");
    EXPECT_EQ(Upload(*c, "STOR u.txt", "xy").second, "226 File received complete");
    EXPECT_EQ(ReadFile("u.txt"), "0123456789xyCDEF");
    c->Cmd("REST 0");
    Upload(*c, "STOR u.txt", "new");
    EXPECT_EQ(ReadFile("u.txt"), "new");
}

TEST_F(Transfers, AppendCreatesOrExtends) {
    auto c = LoggedIn();
    auto r = Upload(*c, "APPE a.txt", "hello");
    EXPECT_EQ(r.first, "150 APPE supported.  Ready to append file \"a.txt\" at offset 0.");
    EXPECT_EQ(r.second, "226 File received ok");
    r = Upload(*c, "APPE a.txt", " world");
    EXPECT_EQ(r.first, "150 APPE supported.  Ready to append file \"a.txt\" at offset 5.");
    EXPECT_EQ(ReadFile("a.txt"), "hello world");
}

TEST_F(Transfers, StoreUniqueAndEmptyUploads) {
    auto c = LoggedIn();
    auto r = Upload(*c, "STOU", "unique");
    ASSERT_EQ(r.first.rfind("150 Opening data connection for FTP", 0), 0u) << r.first;
    std::string name = r.first.substr(std::string("150 Opening data connection for ").size());
    name.pop_back();
    EXPECT_EQ(r.second, "250 '" + name + "': file created.");
    EXPECT_EQ(ReadFile(name), "unique");
    // An upload without bytes still leaves the (empty) file.
    r = Upload(*c, "STOR empty.txt", "");
    EXPECT_EQ(r.second, "226 File received complete");
    EXPECT_EQ(ReadFile("empty.txt"), "");
}

TEST_F(Transfers, RefusalsAndMissingFiles) {
    Server->OnValidatePut = [](TFtpServer&, TFtpCtrlSocket&, TFtpString& p, bool& ok) {
        ok = p.find("deny") == std::string::npos;
    };
    Server->OnValidateGet = Server->OnValidatePut;
    auto c = LoggedIn();
    EXPECT_EQ(c->Cmd("STOR deny.txt"), "501 Permission Denied");
    EXPECT_EQ(c->Cmd("APPE deny.txt"), "500 Cannot APPE.");
    EXPECT_EQ(c->Cmd("RETR deny.txt"), "500 Cannot RETR.");
}

// The file of a transfer is opened or created when the command is accepted:
// one that cannot be is refused with 550 before any 150, the reason shows
// no local path, and no data connection is used.
TEST_F(Transfers, FilesThatCannotBeOpenedAreRefusedBeforeThe150) {
    ::mkdir((Root + "folder").c_str(), 0755);
    WriteFile("kept.txt", "kept");
    Server->OnGetUniqueFileName = [](TFtpServer&, TFtpCtrlSocket&, TFtpString& name) {
        name = "nodir/unique";
    };
    auto c = LoggedIn();
    struct TCase {
        const char* Command;
        const char* Reply;
    } const cases[] = {
        {"RETR missing.txt", "550 Cannot RETR. No such file or directory"},
        {"RETR folder", "550 Cannot RETR. Is a directory"},
        {"RETR nodir/x", "550 Cannot RETR. No such file or directory"},
        {"STOR folder", "550 Cannot STOR. Is a directory"},
        {"STOR nodir/x", "550 Cannot STOR. No such file or directory"},
        {"APPE folder", "550 Cannot APPE. Is a directory"},
        {"APPE nodir/x", "550 Cannot APPE. No such file or directory"},
        {"STOU", "550 Cannot STOU. No such file or directory"},
    };
    for (const TCase& t : cases) {
        auto data = c->Pasv();
        EXPECT_EQ(c->Cmd(t.Command), t.Reply) << t.Command;
        // Nothing follows the refusal, and the connection carries nothing.
        EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.") << t.Command;
        EXPECT_FALSE(Server->GetClient(0)->DataSessionActive) << t.Command;
        EXPECT_EQ(data->Take(), "") << t.Command;
    }
    // After the refusals a transfer works, and REST applies to it.
    EXPECT_EQ(c->Cmd("REST 2"), "350 REST supported. Ready to resume at byte offset 2.");
    std::string got;
    auto r = Download(*c, "RETR kept.txt", got);
    EXPECT_EQ(r.first, "150 Opening data connection for kept.txt.");
    EXPECT_EQ(r.second, "226 Transfer complete.");
    EXPECT_EQ(got, "pt");
}

TEST_F(Transfers, AnIdleDataConnectionIsNoTransfer) {
    Server->OnValidateGet = [](TFtpServer&, TFtpCtrlSocket&, TFtpString&, bool& ok) { ok = false; };
    auto c = LoggedIn();
    auto list = c->Pasv();
    EXPECT_EQ(c->Cmd("LIST"), "150 Opening data connection for directory list.");
    list->ReadAll();
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
    auto early = c->Pasv(); // connected before the command, which is then refused
    Pump();
    EXPECT_EQ(c->Cmd("RETR f.txt"), "500 Cannot RETR.");
    // The next PASV drops the idle connection without a completion reply.
    EXPECT_EQ(c->Cmd("PASV").substr(0, 4), "227 ");
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
}

TEST_F(Transfers, AbortWithAndWithoutTransfer) {
    auto c = LoggedIn();
    EXPECT_EQ(c->Cmd("ABOR"), "225 ABOR command successful.");
    // A download held after its first block (nobody releases the next one).
    Server->OnRetrDataSent = nullptr;
    Server->XferBlockSize = 4096;
    for (int i = 0; i < Server->ClientCount(); ++i)
        Server->GetClient(i)->XferBlockSize = 4096;
    WriteFile("big.bin", std::string(100000, 'b'));
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("RETR big.bin"), "150 Opening data connection for big.bin.");
    EXPECT_TRUE(data->ReadUntil([](std::string& s) { return s.size() >= 4096; }));
    Pump();
    EXPECT_EQ(data->Pending().size(), 4096u);
    EXPECT_EQ(c->Cmd("ABOR"), "426 Connection closed; transfer aborted.");
    EXPECT_EQ(c->Reply(), "226 ABOR command successful.");
    EXPECT_TRUE(data->PeerClosed());
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");

    // A transfer whose connection has not come yet is cancelled alike.
    EXPECT_EQ(c->Cmd("PASV").substr(0, 4), "227 ");
    EXPECT_EQ(c->Cmd("RETR big.bin"), "150 Opening data connection for big.bin.");
    EXPECT_EQ(c->Cmd("ABOR"), "426 Connection closed; transfer aborted.");
    EXPECT_EQ(c->Reply(), "226 ABOR command successful.");

    // An upload under way, and one still waiting for its connection.
    auto up = c->Pasv();
    EXPECT_EQ(c->Cmd("STOR up.bin"), "150 Opening data connection for up.bin.");
    up->Send("some bytes");
    TFtpCtrlSocket& session = *Server->GetClient(0);
    ASSERT_TRUE(PumpUntil([&] { return session.DataSessionActive; }));
    EXPECT_EQ(c->Cmd("ABOR"), "426 Connection closed; transfer aborted.");
    EXPECT_EQ(c->Reply(), "226 ABOR command successful.");
    EXPECT_EQ(c->Cmd("PASV").substr(0, 4), "227 ");
    EXPECT_EQ(c->Cmd("APPE up.bin").substr(0, 4), "150 ");
    EXPECT_EQ(c->Cmd("ABOR"), "426 Connection closed; transfer aborted.");
    EXPECT_EQ(c->Reply(), "226 ABOR command successful.");
    EXPECT_EQ(c->Cmd("ABOR"), "225 ABOR command successful.");
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
}

// A download ends "226" only when its last byte went to the kernel before
// the close; a client that closes early gets 426, and the closed event
// reports a failure with the bytes the kernel really took.
TEST_F(Transfers, ADownloadTheClientClosesEarlyFails) {
    Server->OnRetrDataSent = nullptr; // held after the first block
    int64_t reported = -1;
    bool aborted = false;
    Server->OnRetrSessionClosed = [&](TFtpServer&, TFtpCtrlSocket& cl, vendrix::net::TWSocket&, uint16_t) {
        reported = cl.ByteCount;
        aborted = cl.AbortingTransfer;
    };
    auto c = LoggedIn();
    Server->GetClient(0)->XferBlockSize = 4096;
    WriteFile("big.bin", std::string(100000, 'b'));
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("RETR big.bin"), "150 Opening data connection for big.bin.");
    EXPECT_TRUE(data->ReadUntil([](std::string& s) { return s.size() >= 4096; }));
    data->Close();
    EXPECT_EQ(c->Reply(), "426 Connection closed; transfer aborted.");
    EXPECT_TRUE(aborted);
    EXPECT_EQ(reported, 4096);
    EXPECT_EQ(Server->BytesSentTotal, 4096);
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
}

TEST_F(Transfers, ActiveModeDownloadAndUpload) {
    WriteFile("f.txt", "active data");
    auto c = LoggedIn();
    TActiveListener listener;
    EXPECT_EQ(c->Cmd(listener.PortCommand()), "200 Port command successful.");
    EXPECT_EQ(c->Cmd("RETR f.txt"), "150 Opening data connection for f.txt.");
    auto data = listener.Accept();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->ReadAll(), "active data");
    data->Close(); // the next connection comes from the same address and port
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");

    EXPECT_EQ(c->Cmd(listener.PortCommand()), "200 Port command successful.");
    EXPECT_EQ(c->Cmd("STOR up.txt"), "150 Opening data connection for up.txt.");
    data = listener.Accept();
    ASSERT_TRUE(data);
    data->Send("uploaded");
    data->Close();
    EXPECT_EQ(c->Reply(), "226 File received complete");
    EXPECT_EQ(ReadFile("up.txt"), "uploaded");
}

TEST_F(Transfers, EventsOfAnUploadAndADownloadInOrder) {
    std::vector<std::string> events;
    Server->OnStorSessionConnected = [&](TFtpServer&, TFtpCtrlSocket&, net::TWSocket&, uint16_t) {
        events.push_back("stor connected");
    };
    Server->OnStorDataAvailable = [&](TFtpServer&, TFtpCtrlSocket&, net::TWSocket&, const char*, int,
                                      uint16_t) {
        if (events.back() != "data") events.push_back("data");
    };
    Server->OnStorSessionClosed = [&](TFtpServer&, TFtpCtrlSocket& c, net::TWSocket&, uint16_t) {
        events.push_back("stor closed " + std::to_string(c.ByteCount));
    };
    Server->OnRetrSessionConnected = [&](TFtpServer&, TFtpCtrlSocket&, net::TWSocket&, uint16_t) {
        events.push_back("retr connected");
    };
    Server->OnRetrSessionClosed = [&](TFtpServer& s, TFtpCtrlSocket& c, net::TWSocket&, uint16_t) {
        events.push_back("retr closed " + std::to_string(c.ByteCount) + " " +
                         std::to_string(s.BytesSentTotal));
    };
    auto c = LoggedIn();
    Upload(*c, "STOR x.bin", std::string(200000, 'x'));
    std::string got;
    Download(*c, "RETR x.bin", got);
    EXPECT_EQ(got.size(), 200000u);
    EXPECT_EQ(events, (std::vector<std::string>{"stor connected", "data", "stor closed 200000",
                                                "retr connected", "retr closed 200000 200000"}));
}

TEST_F(Transfers, ControlConnectionLostDuringUploadFinishesIt) {
    bool closedWithCode = false;
    Server->OnStorSessionClosed = [&](TFtpServer&, TFtpCtrlSocket&, net::TWSocket&, uint16_t e) {
        closedWithCode = e == net::WSAENOTCONN;
    };
    auto c = LoggedIn();
    auto data = c->Pasv();
    c->Cmd("STOR part.bin");
    data->Send("partial");
    Pump();
    c.reset();
    EXPECT_TRUE(PumpUntil([&] { return Server->ClientCount() == 0; }));
    EXPECT_TRUE(closedWithCode);
    EXPECT_EQ(ReadFile("part.bin"), "partial");
}

// Two free neighbouring ports on 127.0.0.1, for a passive range; 0 when none
// were found (other tests take ports at the same time).
int FreePortPair() {
    auto bindable = [](int port) {
        net::TWSocket probe;
        probe.SetAddr("127.0.0.1");
        probe.SetPort(std::to_string(port));
        try {
            probe.Listen();
        } catch (const net::ESocketException&) {
            return 0;
        }
        return std::stoi(probe.GetLocalPortText());
    };
    for (int attempt = 0; attempt < 50; ++attempt) {
        int p = bindable(0);
        if (p > 0 && p < 65535 && bindable(p + 1)) return p;
    }
    return 0;
}

TEST_F(Transfers, PassiveSkipsPortsOtherProgramsHold) {
    int start = FreePortPair();
    ASSERT_NE(start, 0);
    Server->SetPasvPortRangeStart(start);
    Server->SetPasvPortRangeSize(2);
    auto holdPort = [](int port) {
        auto s = std::make_unique<net::TWSocket>();
        s->SetAddr("127.0.0.1");
        s->SetPort(std::to_string(port));
        s->Listen();
        return s;
    };
    auto other = holdPort(start); // another program on the first port
    auto c = LoggedIn();
    std::string r = c->Cmd("PASV");
    EXPECT_EQ(r, "227 Entering Passive Mode (127,0,0,1," + std::to_string((start + 1) / 256) + "," +
                     std::to_string((start + 1) % 256) + ").");
    EXPECT_EQ(Server->PasvPortTable(), (std::vector<uint8_t>{0, 1}));
    // The listener is on the control connection's address only.
    EXPECT_EQ(Server->GetClient(0)->DataSocket->GetLocalAddrText(), "127.0.0.1");
    // Both ports held elsewhere: the whole range is busy, and the table
    // keeps no port for it.
    auto c2 = LoggedIn();
    EXPECT_EQ(c2->Cmd("PASV"), "425 No available PASV Ports.");
    EXPECT_EQ(Server->PasvPortTable(), (std::vector<uint8_t>{0, 1}));
    // A real transfer through the second port still works.
    WriteFile("f.txt", "data");
    std::string got;
    auto d = Download(*c, "RETR f.txt", got);
    EXPECT_EQ(d.second, "226 Transfer complete.");
    EXPECT_EQ(got, "data");
}

TEST_F(Transfers, PipelinedTransferCommandsGetOneReplyEach) {
    struct TCase {
        const char* second;
        const char* reply;
    } cases[] = {
        {"STOU", "501 Cannot STOU. Data connection already in use"},
        {"STOR x.txt", "501 Cannot STOR. Data connection already in use"},
        {"APPE x.txt", "550 APPE failed."},
        {"RETR f.txt", "501 Cannot RETR. Data connection already in use"},
        {"LIST", "451 Failed: Data connection already in use."},
    };
    WriteFile("f.txt", "data");
    auto c = LoggedIn();
    for (const TCase& t : cases) {
        auto data = c->Pasv();
        c->Send(std::string("STOU\r\n") + t.second + "\r\n");
        std::string started = c->Reply();
        ASSERT_EQ(started.rfind("150 Opening data connection for FTP", 0), 0u) << started;
        EXPECT_EQ(c->Reply(), t.reply);
        data->Send("u");
        data->Close();
        std::string name = started.substr(std::string("150 Opening data connection for ").size());
        name.pop_back();
        EXPECT_EQ(c->Reply(), "250 '" + name + "': file created.") << t.second;
        EXPECT_EQ(ReadFile(name), "u");
        EXPECT_EQ(ReadFile("x.txt"), "<missing>");
    }
    // The same in active mode, while the server's connect is under way.
    TActiveListener listener;
    c->Cmd(listener.PortCommand());
    c->Send("STOU\r\nSTOU\r\n");
    std::string started = c->Reply();
    EXPECT_EQ(started.rfind("150 ", 0), 0u) << started;
    EXPECT_EQ(c->Reply(), "501 Cannot STOU. Data connection already in use");
    auto data = listener.Accept();
    ASSERT_TRUE(data);
    data->Close();
    EXPECT_EQ(c->Reply().rfind("250 'FTP", 0), 0u);
}

TEST_F(Transfers, UniqueNamesAreCreatedExclusively) {
    // Two sessions asking for the same name: the first gets it the moment
    // it is chosen, the second a name of its own, before any byte arrived.
    Server->OnGetUniqueFileName = [](TFtpServer&, TFtpCtrlSocket&, TFtpString& name) { name = "wanted.txt"; };
    auto a = LoggedIn();
    auto b = LoggedIn();
    auto da = a->Pasv();
    auto db = b->Pasv();
    EXPECT_EQ(a->Cmd("STOU"), "150 Opening data connection for wanted.txt.");
    EXPECT_EQ(ReadFile("wanted.txt"), "");
    std::string rb = b->Cmd("STOU");
    ASSERT_EQ(rb.rfind("150 Opening data connection for FTP", 0), 0u) << rb;
    db->Send("b");
    db->Close();
    da->Send("a");
    da->Close();
    EXPECT_EQ(a->Reply(), "250 'wanted.txt': file created.");
    EXPECT_EQ(b->Reply().rfind("250 'FTP", 0), 0u);
    EXPECT_EQ(ReadFile("wanted.txt"), "a");
    // A refused name leaves no empty file behind.
    Server->OnValidatePut = [](TFtpServer&, TFtpCtrlSocket&, TFtpString&, bool& ok) { ok = false; };
    Server->OnGetUniqueFileName = [](TFtpServer&, TFtpCtrlSocket&, TFtpString& name) {
        name = "refused.txt";
    };
    EXPECT_EQ(a->Cmd("STOU"), "501 Permission Denied");
    EXPECT_EQ(ReadFile("refused.txt"), "<missing>");
}

} // namespace

// Downloads of files go from the file to the connection without a copy; a
// file that shrinks under a running download is sent as far as it reaches,
// and the engine's counts and the reply say what really left.
TEST_F(Transfers, AFileThatShrinksWhileSentEndsWhereTheFileEnds) {
    struct TCase {
        size_t shrinkTo; // after the first block of 4096 bytes went
        size_t sent;
    } cases[] = {{6000, 6000}, {4096, 4096}, {1000, 4096}};
    for (const TCase& t : cases) {
        Server->OnRetrDataSent = nullptr; // held after each block until released below
        int64_t reported = -1;
        Server->OnRetrSessionClosed = [&](TFtpServer&, TFtpCtrlSocket& cl, net::TWSocket&, uint16_t) {
            reported = cl.ByteCount;
        };
        Server->BytesSentTotal = 0;
        auto c = LoggedIn();
        TFtpCtrlSocket& session = *Server->GetClient(Server->ClientCount() - 1);
        session.XferBlockSize = 4096;
        std::string content;
        for (int i = 0; i < 20000; ++i)
            content += char('A' + i % 26);
        WriteFile("shrink.bin", content);
        auto data = c->Pasv();
        EXPECT_EQ(c->Cmd("RETR shrink.bin"), "150 Opening data connection for shrink.bin.");
        ASSERT_TRUE(PumpUntil([&] { return session.ReadyForNextBlock; }));
        ASSERT_EQ(::truncate((Root + "shrink.bin").c_str(), off_t(t.shrinkTo)), 0);
        Server->OnRetrDataSent = [](TFtpServer& s, TFtpCtrlSocket& cl, net::TWSocket& d, uint16_t) {
            s.SendNextDataBlock(cl, d);
        };
        Server->SendNextDataBlock(session, *session.DataSocket);
        // Bytes cut off after the kernel took them leave as the file holds
        // them when they go (the kernel sends from the file's pages), so
        // only the part the file still has is compared; the count is exact.
        const std::string got = data->ReadAll();
        const size_t kept = std::min(t.shrinkTo, t.sent);
        EXPECT_EQ(got.size(), t.sent) << t.shrinkTo;
        EXPECT_EQ(got.substr(0, kept), content.substr(0, kept)) << t.shrinkTo;
        EXPECT_EQ(c->Reply(), "226 Transfer complete.") << t.shrinkTo;
        EXPECT_EQ(reported, int64_t(t.sent)) << t.shrinkTo;
        EXPECT_EQ(Server->BytesSentTotal, int64_t(t.sent)) << t.shrinkTo;
        c->Cmd("QUIT");
    }
}

TEST_F(Transfers, DownloadsMoveTheBytesUnchangedInEitherTypeFromAnyOffset) {
    std::string content = "line one\nline two\r\nbare\rend\n";
    while (content.size() < 300000)
        content += content;
    WriteFile("text.txt", content);
    struct TCase {
        const char* type;
        int64_t offset;
    } cases[] = {{"TYPE A", 0}, {"TYPE I", 0}, {"TYPE A", 5}, {"TYPE I", 262144 + 7}};
    auto c = LoggedIn();
    for (const TCase& t : cases) {
        EXPECT_EQ(c->Cmd(t.type).substr(0, 4), "200 ");
        if (t.offset) {
            EXPECT_EQ(c->Cmd("REST " + std::to_string(t.offset)),
                      "350 REST supported. Ready to resume at byte offset " + std::to_string(t.offset) + ".");
        }
        std::string got;
        auto replies = Download(*c, "RETR text.txt", got);
        EXPECT_EQ(replies.second, "226 Transfer complete.") << t.type << " " << t.offset;
        EXPECT_TRUE(got == content.substr(size_t(t.offset))) << t.type << " " << t.offset;
        EXPECT_EQ(Server->GetClient(0)->ByteCount, int64_t(content.size()) - t.offset);
    }
}

// ABOR in the middle of a file download: the data connection ends, the
// transfer's 426 comes before ABOR's 226, and the counts hold what left.
TEST_F(Transfers, AbortMidFileReportsWhatLeft) {
    Server->OnRetrDataSent = nullptr;
    int64_t reported = -1;
    Server->OnRetrSessionClosed = [&](TFtpServer&, TFtpCtrlSocket& cl, net::TWSocket&, uint16_t) {
        reported = cl.ByteCount;
    };
    auto c = LoggedIn();
    Server->GetClient(0)->XferBlockSize = 8192;
    WriteFile("big.bin", std::string(1 << 20, 'z'));
    EXPECT_EQ(c->Cmd("REST 100"), "350 REST supported. Ready to resume at byte offset 100.");
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("RETR big.bin"), "150 Opening data connection for big.bin.");
    EXPECT_TRUE(data->ReadUntil([](std::string& s) { return s.size() >= 8192; }));
    EXPECT_EQ(c->Cmd("ABOR"), "426 Connection closed; transfer aborted.");
    EXPECT_EQ(c->Reply(), "226 ABOR command successful.");
    EXPECT_TRUE(data->PeerClosed());
    EXPECT_EQ(reported, 8192);
    EXPECT_EQ(Server->BytesSentTotal, 8192);
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
}
