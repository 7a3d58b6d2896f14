// Explicit FTPS in the engine: AUTH, PBSZ, PROT and CCC, the control
// connection's switch to TLS, and PROT P data connections, with a TLS client
// built on the socket's own TLS mode.
#include "FtpTestKit.h"
#include "TlsCertificate.h"
#include "TlsContext.h"

using namespace vendrix;
using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

std::unique_ptr<net::TTlsContext> MakeServerContext() {
    std::string cert, key, error;
    EXPECT_TRUE(net::MakeSelfSignedCertificate("127.0.0.1", 1, cert, key, error)) << error;
    auto ctx = net::TTlsContext::Server(cert, key, error);
    EXPECT_TRUE(ctx) << error;
    return ctx;
}

// A client connection on the socket layer that can switch to TLS.
struct TTlsConn {
    net::TWSocket Sock;
    std::string In;
    std::unique_ptr<net::TTlsContext> Ctx;
    bool Closed = false;
    TTlsConn(int port) {
        std::string error;
        Ctx = net::TTlsContext::Client(error);
        Sock.OnDataAvailable = [this](net::TCustomWSocket& s, uint16_t) {
            char buf[8192];
            int n = s.Receive(buf, sizeof buf);
            if (n > 0) In.append(buf, size_t(n));
        };
        Sock.OnSessionClosed = [this](net::TCustomWSocket&, uint16_t) { Closed = true; };
        Sock.LingerOnOff = net::wsLingerOff;
        Sock.SetAddr("127.0.0.1");
        Sock.SetPort(std::to_string(port));
        Sock.Connect();
        EXPECT_TRUE(PumpUntil([&] { return Sock.State() == net::wsConnected; }));
    }
    ~TTlsConn() { Sock.Abort(); }
    bool StartTls(net::TTlsResumption resume = {}) {
        Sock.StartTls(*Ctx, std::move(resume));
        return PumpUntil([&] { return Sock.TlsState() != net::tlsHandshaking; }) &&
               Sock.TlsState() == net::tlsEstablished;
    }
    // One whole reply, multi-line ones joined with CRLF.
    std::string Reply() {
        size_t end = std::string::npos;
        auto complete = [&] {
            for (size_t start = 0;;) {
                size_t eol = In.find("\r\n", start);
                if (eol == std::string::npos) return false;
                if (eol - start >= 4 && In[start + 3] == ' ') {
                    end = eol;
                    return true;
                }
                start = eol + 2;
            }
        };
        if (!PumpUntil(complete)) return "<no reply>";
        std::string reply = In.substr(0, end);
        In.erase(0, end + 2);
        return reply;
    }
    std::string Cmd(const std::string& line) {
        Sock.SendText(line + "\r\n");
        return Reply();
    }
};

class Ftps : public TServerFixture {
protected:
    std::shared_ptr<net::TTlsContext> Ctx = MakeServerContext();
    void SetUp() override {
        TServerFixture::SetUp();
        Server->TlsContext = Ctx;
    }
    std::unique_ptr<TTlsConn> Secured() {
        auto c = std::make_unique<TTlsConn>(Port);
        EXPECT_EQ(c->Reply(), "220 QEV FTP Server ready.");
        EXPECT_EQ(c->Cmd("AUTH TLS"), "234 AUTH TLS successful.");
        EXPECT_TRUE(c->StartTls());
        return c;
    }
    // Logged in over TLS with PROT P; a command after the handshake has let
    // a TLS 1.3 client read its session tickets.
    std::unique_ptr<TTlsConn> SecuredLogin() {
        auto c = Secured();
        EXPECT_EQ(c->Cmd("USER anna"), "331 Password required for anna.");
        EXPECT_EQ(c->Cmd("PASS secret"), "230 User anna logged in.");
        EXPECT_EQ(c->Cmd("PBSZ 0"), "200 PBSZ=0");
        EXPECT_EQ(c->Cmd("PROT P"), "200 Protection level set to Private.");
        EXPECT_EQ(c->Cmd("TYPE I"), "200 Type set to I.");
        return c;
    }
    // The data connection of a PASV reply.
    static int PasvPort(const std::string& pasv) {
        int a = 0, b = 0, h1, h2, h3, h4;
        if (pasv.rfind("227 ", 0) != 0 || std::sscanf(pasv.c_str() + pasv.find('(') + 1, "%d,%d,%d,%d,%d,%d",
                                                      &h1, &h2, &h3, &h4, &a, &b) != 6)
            return 0;
        return a * 256 + b;
    }
};

TEST_F(Ftps, RepliesInClearText) {
    const struct {
        const char* Line;
        const char* Reply;
    } cases[] = {
        {"PBSZ 0", "503 Use AUTH TLS first."},
        {"PROT P", "503 Use AUTH TLS first."},
        {"CCC", "534 The control connection stays encrypted."},
        {"AUTH KERBEROS_V4", "504 AUTH: only TLS and SSL are supported."},
        {"AUTH", "504 AUTH: only TLS and SSL are supported."},
    };
    auto c = Connect();
    for (const auto& t : cases)
        EXPECT_EQ(c->Cmd(t.Line), t.Reply) << t.Line;
}

TEST_F(Ftps, AuthWithoutAContextIsRefusedAndFeatOmitsIt) {
    Server->TlsContext = nullptr;
    auto c = LoggedIn();
    EXPECT_EQ(c->Cmd("AUTH TLS"), "431 TLS is not available.");
    EXPECT_EQ(c->Cmd("FEAT").find("AUTH"), std::string::npos);
}

TEST_F(Ftps, SessionOverTls) {
    for (const char* mechanism : {"TLS", "ssl", "TLS-C"}) {
        SCOPED_TRACE(mechanism);
        auto c = std::make_unique<TTlsConn>(Port);
        EXPECT_EQ(c->Reply(), "220 QEV FTP Server ready.");
        EXPECT_EQ(c->Cmd(std::string("AUTH ") + mechanism), "234 AUTH TLS successful.");
        ASSERT_TRUE(c->StartTls());
        const struct {
            const char* Line;
            const char* Reply;
        } cases[] = {
            {"AUTH TLS", "503 TLS is already in use."},
            {"PROT C", "200 Protection level set to Clear."}, // PBSZ first is not insisted on
            {"PBSZ 0", "200 PBSZ=0"},
            {"PROT S", "536 Only PROT P and PROT C are supported."},
            {"PROT E", "536 Only PROT P and PROT C are supported."},
            {"PROT X", "504 PROT: unknown protection level."},
            {"PROT c", "200 Protection level set to Clear."},
            {"PROT P", "200 Protection level set to Private."},
            {"CCC", "534 The control connection stays encrypted."},
            {"USER anna", "331 Password required for anna."},
            {"PASS secret", "230 User anna logged in."},
        };
        for (const auto& t : cases)
            EXPECT_EQ(c->Cmd(t.Line), t.Reply) << t.Line;
        EXPECT_NE(c->Cmd("FEAT").find("\r\n AUTH TLS\r\n PBSZ\r\n PROT\r\n211 END"), std::string::npos);
    }
}

TEST_F(Ftps, ClearTextSentBehindAuthIsDropped) {
    auto c = std::make_unique<TTlsConn>(Port);
    EXPECT_EQ(c->Reply(), "220 QEV FTP Server ready.");
    c->Sock.SendText("AUTH TLS\r\nUSER injected\r\n");
    EXPECT_EQ(c->Reply(), "234 AUTH TLS successful.");
    // The injected line was taken as the first bytes of a handshake or
    // dropped: either way it never ran as a command.
    c->StartTls();
    Pump(20);
    EXPECT_EQ(c->In.find("331"), std::string::npos) << c->In;
}

// A PROT P data connection must resume its own control connection's TLS
// session unless TlsRequireReuse is off; the handshake may end before the
// transfer command or after its 150 reply.
TEST_F(Ftps, ProtPDataConnectionsResumeTheControlConnectionsSession) {
    std::string content(300000, 'x');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = char('a' + i % 23);
    WriteFile("f.bin", content);
    auto c = SecuredLogin();
    auto stranger = Secured();
    EXPECT_EQ(stranger->Cmd("NOOP"), "200 NOOP Command okay.");
    enum TSession { None, Own, Strangers };
    const struct {
        TSession Session;
        bool RequireReuse;
        bool TlsFirst; // the handshake before the command
        const char* Command;
        const char* Reply;
    } cases[] = {
        {Own, true, true, "RETR f.bin", reply::kTransferComplete},
        {Own, true, false, "RETR f.bin", reply::kTransferComplete},
        {Own, true, false, "STOR up.bin", reply::kUploadComplete},
        {None, true, true, "RETR f.bin", reply::kTlsReuseRequired},
        {None, true, false, "RETR f.bin", reply::kTlsReuseRequired},
        {None, true, false, "STOR up.bin", reply::kTlsReuseRequired},
        {Strangers, true, true, "RETR f.bin", reply::kTlsReuseRequired},
        {Strangers, true, false, "STOR up.bin", reply::kTlsReuseRequired},
        {None, false, false, "RETR f.bin", reply::kTransferComplete},
        {None, false, true, "STOR up.bin", reply::kUploadComplete},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(std::string(t.Command) + " session " + std::to_string(t.Session) + " reuse " +
                     std::to_string(t.RequireReuse) + " tls first " + std::to_string(t.TlsFirst));
        Server->TlsRequireReuse = t.RequireReuse;
        std::remove((Root + "up.bin").c_str());
        TTlsConn data(PasvPort(c->Cmd("PASV")));
        net::TTlsResumption resume = t.Session == Own         ? c->Sock.TlsSession()
                                     : t.Session == Strangers ? stranger->Sock.TlsSession()
                                                              : net::TTlsResumption();
        if (t.TlsFirst) {
            ASSERT_TRUE(data.StartTls(resume));
        }
        EXPECT_EQ(c->Cmd(t.Command).substr(0, 4), "150 ");
        if (!t.TlsFirst) {
            ASSERT_TRUE(data.StartTls(resume));
        }
        const bool upload = t.Command[0] == 'S';
        if (upload) {
            data.Sock.SendText(content);
            if (std::string(t.Reply).rfind("226", 0) == 0) data.Sock.Close();
        }
        EXPECT_TRUE(PumpUntil([&] { return data.Closed; }));
        EXPECT_EQ(c->Reply(), t.Reply);
        bool accepted = std::string(t.Reply).rfind("226", 0) == 0;
        // A refused connection gets not one byte, nor gives one.
        const std::string& moved = upload ? ReadFile("up.bin") : data.In;
        EXPECT_EQ(moved.size(), accepted ? content.size() : 0u);
        EXPECT_TRUE(moved == (accepted ? content : ""));
    }
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
}

// AUTH behind a failed PASS whose reply is held: its 234 comes in clear text
// after the delay, TLS starts only then, and what followed AUTH in the same
// packet never runs.
TEST_F(Ftps, AuthWhileRepliesAreHeldStartsTlsBehindItsReply) {
    Server->OnAuthenticate = [](TFtpServer& s, TFtpCtrlSocket& c, const TFtpString&, const TFtpString&,
                                bool& ok) {
        ok = false;
        s.DelayReplies(c, 200);
    };
    TTlsConn c(Port);
    EXPECT_EQ(c.Reply(), "220 QEV FTP Server ready.");
    c.Sock.SendText("USER anna\r\nPASS wrong\r\nAUTH TLS\r\nUSER injected\r\n");
    EXPECT_EQ(c.Reply(), "331 Password required for anna.");
    EXPECT_EQ(c.Reply(), "530 Login incorrect.");
    EXPECT_EQ(c.Reply(), "234 AUTH TLS successful.");
    ASSERT_TRUE(c.StartTls());
    EXPECT_EQ(c.Cmd("NOOP"), "200 NOOP Command okay.");
    EXPECT_EQ(c.In, "");
}

// The implicit FTPS port: TLS from the first byte, the greeting behind the
// handshake, AUTH already done and PROT P without asking.
TEST_F(Ftps, ImplicitPortRunsTlsFromTheFirstByte) {
    Server->Stop();
    Server->ImplicitTlsPort = "0";
    Server->Start();
    ASSERT_EQ(Server->ImplicitSockets().size(), 1u);
    std::string content = "implicit data\r\n";
    WriteFile("f.txt", content);
    TTlsConn c(std::stoi(Server->ImplicitSockets()[0]->GetLocalPortText()));
    ASSERT_TRUE(c.StartTls());
    EXPECT_EQ(c.Reply(), "220 QEV FTP Server ready.");
    const struct {
        const char* Line;
        const char* Reply;
    } cases[] = {
        {"AUTH TLS", "503 TLS is already in use."},
        {"USER anna", "331 Password required for anna."},
        {"PASS secret", "230 User anna logged in."},
        {"PBSZ 0", "200 PBSZ=0"},
    };
    for (const auto& t : cases)
        EXPECT_EQ(c.Cmd(t.Line), t.Reply) << t.Line;
    TTlsConn data(PasvPort(c.Cmd("PASV")));
    ASSERT_TRUE(data.StartTls(c.Sock.TlsSession()));
    EXPECT_EQ(c.Cmd("RETR f.txt").substr(0, 4), "150 ");
    EXPECT_TRUE(PumpUntil([&] { return data.Closed; }));
    EXPECT_EQ(c.Reply(), reply::kTransferComplete);
    EXPECT_EQ(data.In, content);

    // Without a context the port serves nothing, never plain text.
    Server->TlsContext = nullptr;
    TRawConn raw(std::stoi(Server->ImplicitSockets()[0]->GetLocalPortText()));
    EXPECT_TRUE(raw.PeerClosed());
    EXPECT_EQ(raw.ReadAll(), "");
}

} // namespace
