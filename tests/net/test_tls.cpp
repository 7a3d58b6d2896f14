// The socket's TLS mode over real sockets on 127.0.0.1, with a self-signed
// certificate made for the test.
#include "EventLoop.h"
#include "TlsCertificate.h"
#include "TlsContext.h"
#include "WSocket.h"

#include <cctype>
#include <chrono>
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

using namespace vendrix::net;

namespace {

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        TEventLoop::Instance().RunOnce(5);
    }
    return true;
}

struct TCertificate {
    std::string Cert, Key;
    TCertificate() {
        std::string error;
        EXPECT_TRUE(MakeSelfSignedCertificate("127.0.0.1", 30, Cert, Key, error)) << error;
    }
};

const TCertificate& Certificate() {
    static TCertificate cert;
    return cert;
}

std::unique_ptr<TTlsContext> ServerContext() {
    std::string error;
    auto ctx = TTlsContext::Server(Certificate().Cert, Certificate().Key, error);
    EXPECT_TRUE(ctx) << error;
    return ctx;
}

std::unique_ptr<TTlsContext> ClientContext(int maxVersion = 0) {
    std::string error;
    auto ctx = TTlsContext::Client(error, maxVersion);
    EXPECT_TRUE(ctx) << error;
    return ctx;
}

// One side of a connection: what it read, and its TLS and close events.
struct TSide {
    std::string Got;
    std::vector<uint16_t> Handshakes;
    std::vector<uint16_t> Closes;
    void Attach(TCustomWSocket& s) {
        s.OnDataAvailable = [this](TCustomWSocket& sock, uint16_t) {
            char buf[4096];
            int n = sock.Receive(buf, sizeof buf);
            if (n > 0) Got.append(buf, size_t(n));
        };
        s.OnTlsHandshakeDone = [this](TCustomWSocket&, uint16_t e) { Handshakes.push_back(e); };
        s.OnSessionClosed = [this](TCustomWSocket&, uint16_t e) { Closes.push_back(e); };
    }
};

// A TLS listener on an ephemeral port: each connection it takes starts the
// server side of the handshake at once.
struct TTlsServer {
    std::unique_ptr<TTlsContext> Ctx = ServerContext();
    TWSocket Listener;
    std::vector<std::unique_ptr<TWSocket>> Conns;
    std::vector<std::unique_ptr<TSide>> Sides;
    uint32_t HandshakeTimeoutMs = 30000;
    TWSocketOptions Options = 0;
    int Port = 0;

    TTlsServer() {
        Listener.SetAddr("127.0.0.1");
        Listener.SetPort("0");
        Listener.OnSessionAvailable = [this](TCustomWSocket&, uint16_t) {
            auto conn = std::make_unique<TWSocket>();
            Sides.push_back(std::make_unique<TSide>());
            Sides.back()->Attach(*conn);
            conn->ComponentOptions = Options;
            conn->Dup(Listener.Accept());
            conn->TlsHandshakeTimeoutMs = HandshakeTimeoutMs;
            conn->StartTls(*Ctx);
            Conns.push_back(std::move(conn));
        };
        Listener.Listen();
        Port = std::stoi(Listener.GetLocalPortText());
    }
    ~TTlsServer() {
        for (auto& c : Conns)
            c->Abort();
        Listener.Close();
    }
    TSide& Side(size_t i) { return *Sides.at(i); }
};

// A client that starts TLS as soon as it is connected and sends `first`
// right away, before the handshake has ended.
struct TTlsClient {
    TWSocket Sock;
    TSide Side;
    std::unique_ptr<TTlsContext> Ctx;
    TTlsClient(int port, int maxVersion = 0, TTlsResumption resume = {}, std::string first = "",
               bool tickets = true)
        : Ctx(ClientContext(maxVersion)) {
        if (!tickets) SSL_CTX_set_options(Ctx->Raw(), SSL_OP_NO_TICKET);
        Side.Attach(Sock);
        Sock.LingerOnOff = wsLingerOff; // a clean close, not a reset
        Sock.OnSessionConnected = [this, resume, first](TCustomWSocket& s, uint16_t e) {
            if (e) return;
            s.StartTls(*Ctx, resume);
            if (!first.empty()) s.SendText(first);
        };
        Sock.SetAddr("127.0.0.1");
        Sock.SetPort(std::to_string(port));
        Sock.Connect();
    }
    ~TTlsClient() { Sock.Abort(); }
};

// A client that speaks no TLS: it sends raw bytes, or nothing at all.
struct TRawClient {
    TWSocket Sock;
    TRawClient(int port, std::string bytes) {
        Sock.OnSessionConnected = [bytes](TCustomWSocket& s, uint16_t) {
            if (!bytes.empty()) s.SendText(bytes);
        };
        Sock.SetAddr("127.0.0.1");
        Sock.SetPort(std::to_string(port));
        Sock.Connect();
    }
    ~TRawClient() { Sock.Abort(); }
};

struct TVersionCase {
    int MaxVersion;
    const char* Name;
};
const TVersionCase kVersions[] = {{TLS1_2_VERSION, "TLSv1.2"}, {TLS1_3_VERSION, "TLSv1.3"}};

TEST(Tls, HandshakeThenEchoBothWaysWithDataSentDuringTheHandshake) {
    for (const auto& v : kVersions) {
        SCOPED_TRACE(v.Name);
        TTlsServer server;
        TTlsClient client(server.Port, v.MaxVersion, {}, "hello\r\n");
        ASSERT_TRUE(PumpUntil([&] { return server.Sides.size() == 1 && server.Side(0).Got == "hello\r\n"; }));
        TWSocket& conn = *server.Conns[0];
        EXPECT_EQ(conn.TlsState(), tlsEstablished);
        EXPECT_EQ(conn.TlsVersion(), v.Name);
        EXPECT_FALSE(conn.TlsCipher().empty());
        conn.SendText("welcome\r\n");
        ASSERT_TRUE(PumpUntil([&] { return client.Side.Got == "welcome\r\n"; }));
        EXPECT_EQ(server.Side(0).Handshakes, std::vector<uint16_t>{0});
        EXPECT_EQ(client.Side.Handshakes, std::vector<uint16_t>{0});
        EXPECT_EQ(client.Sock.TlsVersion(), v.Name);

        client.Sock.Close(); // with close_notify
        ASSERT_TRUE(PumpUntil([&] { return conn.State() == wsClosed; }));
        EXPECT_EQ(server.Side(0).Closes, std::vector<uint16_t>{0});
    }
}

TEST(Tls, LargeTransferEachWayAtOnce) {
    std::string up(6 << 20, '\0'), down(5 << 20, '\0');
    for (size_t i = 0; i < up.size(); ++i)
        up[i] = char(i * 7 + i / 4096);
    for (size_t i = 0; i < down.size(); ++i)
        down[i] = char(i * 13 + i / 1000);
    for (TWSocketOptions options : {TWSocketOptions(0), TWSocketOptions(wsoNoReceiveLoop)}) {
        SCOPED_TRACE(options);
        TTlsServer server;
        server.Options = options;
        TTlsClient client(server.Port);
        ASSERT_TRUE(
            PumpUntil([&] { return server.Sides.size() == 1 && client.Sock.TlsState() == tlsEstablished; }));
        client.Sock.Send(up.data(), int(up.size()));
        server.Conns[0]->Send(down.data(), int(down.size()));
        ASSERT_TRUE(PumpUntil(
            [&] { return server.Side(0).Got.size() >= up.size() && client.Side.Got.size() >= down.size(); },
            60000));
        EXPECT_TRUE(server.Side(0).Got == up);
        EXPECT_TRUE(client.Side.Got == down);
    }
}

TEST(Tls, EveryByteSentBeforeTheCloseArrivesBeforeTheClosedEvent) {
    std::string up(3 << 20, '\0');
    for (size_t i = 0; i < up.size(); ++i)
        up[i] = char(i * 31 + i / 777);
    for (TWSocketOptions options : {TWSocketOptions(0), TWSocketOptions(wsoNoReceiveLoop)}) {
        SCOPED_TRACE(options);
        TTlsServer server;
        server.Options = options;
        TTlsClient client(server.Port);
        ASSERT_TRUE(
            PumpUntil([&] { return server.Sides.size() == 1 && client.Sock.TlsState() == tlsEstablished; }));
        client.Sock.Send(up.data(), int(up.size()));
        ASSERT_TRUE(PumpUntil([&] { return client.Sock.AllSent(); }, 60000));
        client.Sock.Close();
        ASSERT_TRUE(PumpUntil([&] { return !server.Side(0).Closes.empty(); }, 60000));
        std::string atClose = server.Side(0).Got;
        TEventLoop::Instance().RunOnce(0);
        EXPECT_EQ(server.Side(0).Got.size(), atClose.size());
        EXPECT_TRUE(atClose == up) << atClose.size();
    }
}

// The close_notify sent ahead of Close queues behind the data when the send
// buffer is full, and the peer sees the session end in order.
TEST(Tls, ACloseNotifySentAheadOfTheCloseWaitsBehindTheData) {
    std::string down(8 << 20, '\0');
    for (size_t i = 0; i < down.size(); ++i)
        down[i] = char(i * 13 + i / 333);
    TTlsServer server;
    TTlsClient client(server.Port);
    ASSERT_TRUE(PumpUntil([&] {
        return server.Sides.size() == 1 && server.Conns[0]->TlsState() == tlsEstablished &&
               client.Sock.TlsState() == tlsEstablished;
    }));
    TWSocket& conn = *server.Conns[0];
    int small = 64 * 1024;
    setsockopt(conn.HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    client.Sock.Pause(); // the buffers fill up
    conn.Send(down.data(), int(down.size()));
    EXPECT_FALSE(conn.AllSent());
    EXPECT_FALSE(conn.TlsCloseNotified());
    conn.TlsCloseNotify();
    EXPECT_TRUE(conn.TlsCloseNotified());
    client.Sock.Resume();
    ASSERT_TRUE(PumpUntil([&] { return conn.AllSent() && client.Side.Got.size() == down.size(); }, 60000));
    conn.Close();
    ASSERT_TRUE(PumpUntil([&] { return !client.Side.Closes.empty(); }));
    EXPECT_EQ(client.Side.Closes, std::vector<uint16_t>{0});
    EXPECT_TRUE(client.Side.Got == down);
}

struct TFailCase {
    const char* Name;
    std::string Bytes;
    uint32_t TimeoutMs;
    uint16_t Code;
    const char* Error; // a part of TlsError
};

TEST(Tls, AFailedHandshakeClosesOnlyThatConnectionWithItsError) {
    const TFailCase cases[] = {
        {"garbage", "USER anonymous\r\n\x16\x03\x01garbage that is no TLS record at all\r\n", 30000,
         WSAECONNABORTED, "wrong version number"},
        {"stalled", "", 300, WSAETIMEDOUT, "TLS handshake timed out"},
        {"half a hello, then the close", "\x16\x03\x01\x02\x00\x01", 30000, WSAECONNABORTED,
         "connection closed during the TLS handshake"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTlsServer server;
        server.HandshakeTimeoutMs = c.TimeoutMs;
        auto raw = std::make_unique<TRawClient>(server.Port, c.Bytes);
        ASSERT_TRUE(PumpUntil([&] { return server.Sides.size() == 1; }));
        if (c.Code == WSAECONNABORTED && c.Bytes.size() < 8) {
            ASSERT_TRUE(PumpUntil([&] { return raw->Sock.AllSent(); }));
            raw->Sock.Close();
        }
        // Meanwhile another client's session goes ahead.
        TTlsClient good(server.Port, 0, {}, "NOOP\r\n");
        ASSERT_TRUE(PumpUntil([&] { return server.Sides.size() == 2 && server.Side(1).Got == "NOOP\r\n"; }));
        ASSERT_TRUE(PumpUntil([&] { return !server.Side(0).Closes.empty(); }));
        EXPECT_EQ(server.Side(0).Handshakes, std::vector<uint16_t>{c.Code});
        EXPECT_EQ(server.Side(0).Closes, std::vector<uint16_t>{c.Code});
        EXPECT_NE(server.Conns[0]->TlsError().find(c.Error), std::string::npos)
            << server.Conns[0]->TlsError();
        EXPECT_EQ(server.Side(0).Got, "");
        EXPECT_EQ(server.Conns[1]->State(), wsConnected);
    }
}

// Resumption by ticket (either version) and by the server's session cache
// (TLS 1.2 without tickets). A resumed session carries the tag of the
// connection that first made it, also when it is resumed again from a
// ticket that a resuming connection issued; a fresh one gets a new tag.
TEST(Tls, ResumedSessionsCarryTheTagOfTheConnectionThatMadeThem) {
    const struct {
        int MaxVersion;
        bool Tickets;
    } cases[] = {{TLS1_2_VERSION, true}, {TLS1_2_VERSION, false}, {TLS1_3_VERSION, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.MaxVersion) + (c.Tickets ? " tickets" : " cache"));
        TTlsServer server;
        // One connection: the server side's tags and the client's session,
        // read once the server has said something (a TLS 1.3 ticket comes
        // before it).
        struct TSeen {
            bool Reused;
            uint64_t Tag, Resumed;
        };
        std::vector<TSeen> seen;
        auto run = [&](TTlsResumption resume, const char* word) {
            TTlsClient client(server.Port, c.MaxVersion, resume, word, c.Tickets);
            size_t i = server.Sides.size();
            EXPECT_TRUE(
                PumpUntil([&] { return server.Sides.size() == i + 1 && server.Side(i).Got == word; }));
            TWSocket& conn = *server.Conns.at(i);
            conn.SendText("ok");
            EXPECT_TRUE(PumpUntil([&] { return client.Side.Got == "ok"; }));
            seen.push_back({conn.TlsSessionReused(), conn.TlsSessionTag(), conn.TlsResumedTag()});
            return client.Sock.TlsSession();
        };
        TTlsResumption first = run({}, "one");
        ASSERT_TRUE(first);
        TTlsResumption second = run(first, "two");
        run(second, "three");
        run({}, "four");
        ASSERT_EQ(seen.size(), 4u);
        const uint64_t tag = seen[0].Tag;
        EXPECT_NE(tag, 0u);
        const struct {
            bool Reused;
            uint64_t Tag, Resumed;
        } expected[] = {{false, tag, 0}, {true, tag, tag}, {true, tag, tag}, {false, seen[3].Tag, 0}};
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].Reused, expected[i].Reused) << i;
            EXPECT_EQ(seen[i].Tag, expected[i].Tag) << i;
            EXPECT_EQ(seen[i].Resumed, expected[i].Resumed) << i;
        }
        EXPECT_NE(seen[3].Tag, tag);
    }
}

TEST(Tls, StartTlsRefusedOnAClosedSocketFiresNothing) {
    auto ctx = ClientContext();
    TWSocket s;
    TSide side;
    side.Attach(s);
    try {
        s.StartTls(*ctx);
        ADD_FAILURE() << "no error";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "StartTls: socket not connected");
    }
    EXPECT_EQ(s.LastError(), WSAENOTCONN);
    EXPECT_EQ(s.TlsState(), tlsOff);
    TEventLoop::Instance().RunOnce(0);
    EXPECT_TRUE(side.Handshakes.empty());
    EXPECT_TRUE(side.Closes.empty());
}

TEST(Tls, ServerContextRefusesMissingOrMismatchedKeys) {
    std::string otherCert, otherKey, error;
    ASSERT_TRUE(MakeSelfSignedCertificate("other", 1, otherCert, otherKey, error));
    struct {
        std::string Cert, Key, Error;
    } cases[] = {
        {"", Certificate().Key, "no usable certificate"},
        {"-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n", Certificate().Key,
         "no usable certificate"},
        {Certificate().Cert, "", "no usable private key"},
        {Certificate().Cert, otherKey, "the private key does not match the certificate"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_FALSE(TTlsContext::Server(c.Cert, c.Key, err));
        EXPECT_NE(err.find(c.Error), std::string::npos) << err;
    }
}

TEST(Tls, FingerprintIsSha256InColonHex) {
    std::string fp = CertificateFingerprint(Certificate().Cert);
    ASSERT_EQ(fp.size(), 32u * 3 - 1);
    for (size_t i = 0; i < fp.size(); ++i)
        EXPECT_TRUE(i % 3 == 2 ? fp[i] == ':' : std::isxdigit(fp[i]) && !std::islower(fp[i])) << fp;
    EXPECT_EQ(CertificateFingerprint(Certificate().Cert), fp);
    EXPECT_EQ(CertificateFingerprint("no certificate"), "");
}

} // namespace
