// A test server on 127.0.0.1 and a scripted client, both driven from the
// test's own thread: the client's blocking-style calls pump the event loop
// until the bytes they wait for have arrived, so nothing races.
#pragma once

#include "FtpSrv.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace vendrix::ftp::testkit {

inline net::TEventLoop& Loop() {
    return net::TEventLoop::Instance();
}

// Runs loop rounds until pred holds or timeoutMs passes; returns pred().
inline bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Loop().RunOnce(5);
    }
    return true;
}

inline void Pump(int rounds = 20) {
    for (int i = 0; i < rounds; ++i)
        Loop().RunOnce(1);
}

// A raw TCP connection from 127.0.0.1 (or another loopback address).
class TRawConn {
public:
    TRawConn() = default;
    TRawConn(int port, const char* from = nullptr, const char* to = "127.0.0.1") { Connect(port, from, to); }
    ~TRawConn() { Close(); }
    TRawConn(const TRawConn&) = delete;
    TRawConn& operator=(const TRawConn&) = delete;

    void Connect(int port, const char* from = nullptr, const char* to = "127.0.0.1") {
        Close();
        if (std::strchr(to, ':')) {
            // An IPv6 literal: no source address to pick.
            FFd = ::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in6 sa6{};
            sa6.sin6_family = AF_INET6;
            sa6.sin6_port = htons(uint16_t(port));
            inet_pton(AF_INET6, to, &sa6.sin6_addr);
            ::connect(FFd, reinterpret_cast<sockaddr*>(&sa6), sizeof sa6);
            return;
        }
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (from) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            inet_pton(AF_INET, from, &local.sin_addr);
            ::bind(FFd, reinterpret_cast<sockaddr*>(&local), sizeof local);
        }
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(uint16_t(port));
        inet_pton(AF_INET, to, &sa.sin_addr);
        ::connect(FFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    }
    int Fd() const { return FFd; }
    // Takes over a connected non-blocking descriptor.
    void Adopt(int fd) {
        Close();
        FFd = fd;
    }
    void Close() {
        if (FFd >= 0) ::close(FFd);
        FFd = -1;
    }
    void Send(const std::string& bytes) {
        size_t done = 0;
        PumpUntil([&] {
            ssize_t n = ::send(FFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) done += size_t(n);
            return done == bytes.size() ||
                   (n < 0 && errno != EAGAIN && errno != EINPROGRESS && errno != ENOTCONN);
        });
    }
    // Reads whatever arrives until pred(received) holds, the peer closes, or
    // the time is up.
    bool ReadUntil(const std::function<bool(std::string&)>& pred, int timeoutMs = 5000) {
        // pred may consume what it accepts: it is asked once per new state.
        bool done = pred(FIn);
        PumpUntil(
            [&] {
                if (done) return true;
                char buf[65536];
                bool got = false;
                for (;;) {
                    ssize_t n = ::recv(FFd, buf, sizeof buf, 0);
                    if (n > 0) {
                        FIn.append(buf, size_t(n));
                        got = true;
                        continue;
                    }
                    if (n == 0) FEof = true;
                    if (n < 0 && errno != EAGAIN) FEof = true;
                    break;
                }
                if (got) done = pred(FIn);
                return done || FEof;
            },
            timeoutMs);
        return done;
    }
    // Everything until the peer closed the connection.
    std::string ReadAll(int timeoutMs = 10000) {
        ReadUntil([&](std::string&) { return FEof; }, timeoutMs);
        return Take();
    }
    bool PeerClosed(int timeoutMs = 3000) {
        ReadUntil([&](std::string&) { return FEof; }, timeoutMs);
        return FEof;
    }
    std::string Take() {
        std::string s = std::move(FIn);
        FIn.clear();
        return s;
    }
    std::string& Pending() { return FIn; }

private:
    int FFd = -1;
    std::string FIn;
    bool FEof = false;
};

// The client's listener for active-mode data connections, on 127.0.0.1.
class TActiveListener {
public:
    TActiveListener() {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &sa.sin_addr);
        EXPECT_EQ(::bind(FFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        ::listen(FFd, 4);
        socklen_t len = sizeof sa;
        getsockname(FFd, reinterpret_cast<sockaddr*>(&sa), &len);
        FPort = ntohs(sa.sin_port);
    }
    ~TActiveListener() { ::close(FFd); }
    TActiveListener(const TActiveListener&) = delete;
    TActiveListener& operator=(const TActiveListener&) = delete;

    std::string PortCommand() const {
        return "PORT 127,0,0,1," + std::to_string(FPort / 256) + "," + std::to_string(FPort % 256);
    }
    // The next data connection the server makes; null when none came.
    std::unique_ptr<TRawConn> Accept() {
        int fd = -1;
        PumpUntil([&] { return (fd = ::accept4(FFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0; });
        if (fd < 0) return nullptr;
        auto conn = std::make_unique<TRawConn>();
        conn->Adopt(fd);
        return conn;
    }

private:
    int FFd = -1;
    int FPort = 0;
};

// An FTP control connection: Cmd sends one line and returns the whole reply
// (all lines of a multi-line reply, joined by CR LF, without the last CR LF).
class TFtpClient : public TRawConn {
public:
    using TRawConn::TRawConn;

    std::string Reply(int timeoutMs = 5000) {
        std::string reply;
        ReadUntil([&](std::string& in) { return Complete(in, reply); }, timeoutMs);
        return reply;
    }
    std::string Cmd(const std::string& line, int timeoutMs = 5000) {
        Send(line + "\r\n");
        return Reply(timeoutMs);
    }
    void Login(const std::string& user = "test", const std::string& pass = "secret") {
        Cmd("USER " + user);
        Cmd("PASS " + pass);
    }
    // PASV, then a data connection to the announced port.
    std::unique_ptr<TRawConn> Pasv(const char* from = nullptr) {
        std::string r = Cmd("PASV");
        size_t open = r.find('(');
        if (r.rfind("227 ", 0) != 0 || open == std::string::npos) {
            ADD_FAILURE() << "PASV: " << r;
            return nullptr;
        }
        int n[6] = {};
        std::sscanf(r.c_str() + open + 1, "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]);
        return std::make_unique<TRawConn>(n[4] * 256 + n[5], from);
    }

private:
    // A reply is complete at the line "NNN text" (blank after the code) that
    // ends it; "NNN-" lines continue it.
    bool Complete(std::string& in, std::string& reply) {
        size_t pos = 0;
        for (;;) {
            size_t eol = in.find("\r\n", pos);
            if (eol == std::string::npos) return false;
            std::string line = in.substr(pos, eol - pos);
            pos = eol + 2;
            if (line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) && line[3] == ' ') {
                reply = in.substr(0, pos - 2);
                in.erase(0, pos);
                return true;
            }
            if (line.size() == 3 && std::isdigit(static_cast<unsigned char>(line[0]))) {
                reply = in.substr(0, pos - 2);
                in.erase(0, pos);
                return true;
            }
        }
    }
};

// A server listening on 127.0.0.1 with an ephemeral port and a scratch folder.
class TServerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vendrix-ftp-test-XXXXXX";
        Root = ::mkdtemp(tmpl);
        Root += "/";
        Server = std::make_unique<TFtpServer>();
        Server->Addr = "127.0.0.1";
        Server->Port = "0";
        // Downloads move on at once, as a policy without caps does.
        Server->OnRetrDataSent = [](TFtpServer& s, TFtpCtrlSocket& c, net::TWSocket& d, uint16_t) {
            s.SendNextDataBlock(c, d);
        };
        Server->OnAuthenticate = [this](TFtpServer&, TFtpCtrlSocket& c, const TFtpString&, const TFtpString&,
                                        bool&) { c.HomeDir = Root; };
        Server->Start();
        Port = std::stoi(Server->ServerSocket().GetLocalPortText());
    }
    void TearDown() override {
        Server->DisconnectAll();
        Server.reset();
        Pump(5);
        std::filesystem::remove_all(Root);
    }
    std::unique_ptr<TFtpClient> Connect() {
        auto c = std::make_unique<TFtpClient>(Port);
        std::string greeting = c->Reply();
        EXPECT_EQ(greeting, "220 QEV FTP Server ready.");
        return c;
    }
    std::unique_ptr<TFtpClient> LoggedIn() {
        auto c = Connect();
        c->Login();
        return c;
    }
    void WriteFile(const std::string& name, const std::string& content) {
        FILE* f = std::fopen((Root + name).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    std::string ReadFile(const std::string& name) {
        std::string s;
        FILE* f = std::fopen((Root + name).c_str(), "rb");
        if (!f) return "<missing>";
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
        return s;
    }

    std::string Root;
    std::unique_ptr<TFtpServer> Server;
    int Port = 0;
};

} // namespace vendrix::ftp::testkit
