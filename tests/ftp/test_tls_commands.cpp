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
    std::unique_ptr<net::TTlsContext> Ctx = MakeServerContext();
    void SetUp() override {
        TServerFixture::SetUp();
        Server->TlsContext = Ctx.get();
    }
    std::unique_ptr<TTlsConn> Secured() {
        auto c = std::make_unique<TTlsConn>(Port);
        EXPECT_EQ(c->Reply(), "220 QEV FTP Server ready.");
        EXPECT_EQ(c->Cmd("AUTH TLS"), "234 AUTH TLS successful.");
        EXPECT_TRUE(c->StartTls());
        return c;
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

TEST_F(Ftps, ProtPDownloadRunsOverATlsDataConnectionThatResumes) {
    std::string content(300000, 'x');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = char('a' + i % 23);
    WriteFile("f.bin", content);
    auto c = Secured();
    EXPECT_EQ(c->Cmd("USER anna"), "331 Password required for anna.");
    EXPECT_EQ(c->Cmd("PASS secret"), "230 User anna logged in.");
    EXPECT_EQ(c->Cmd("PBSZ 0"), "200 PBSZ=0");
    EXPECT_EQ(c->Cmd("PROT P"), "200 Protection level set to Private.");
    EXPECT_EQ(c->Cmd("TYPE I"), "200 Type set to I.");
    for (bool resume : {true, false}) {
        SCOPED_TRACE(resume);
        std::string pasv = c->Cmd("PASV");
        ASSERT_EQ(pasv.rfind("227 ", 0), 0u) << pasv;
        int a, b, h1, h2, h3, h4;
        ASSERT_EQ(
            std::sscanf(pasv.c_str() + pasv.find('(') + 1, "%d,%d,%d,%d,%d,%d", &h1, &h2, &h3, &h4, &a, &b),
            6);
        TTlsConn data(a * 256 + b);
        ASSERT_TRUE(data.StartTls(resume ? c->Sock.TlsSession() : net::TTlsResumption()));
        EXPECT_EQ(data.Sock.TlsSessionReused(), resume);
        c->Sock.SendText("RETR f.bin\r\n");
        EXPECT_EQ(c->Reply().substr(0, 4), "150 ");
        EXPECT_TRUE(PumpUntil([&] { return data.Closed; }));
        EXPECT_EQ(c->Reply().substr(0, 4), "226 ");
        EXPECT_TRUE(data.In == content) << data.In.size();
    }
}

} // namespace
