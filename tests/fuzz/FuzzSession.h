// A server that is not listening and one session on a real loopback
// connection, for fuzz targets that dispatch command lines. Nothing a fuzzed
// command does may change the file system: every write is refused, and the
// session's home is an empty scratch folder.
#pragma once

#include "FtpSrv.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace vendrix::fuzz {

// Bytes a reply may carry: no NUL, and line ends only as the CR LF between
// the lines of a reply that is multi-line by design ("NNN-" first).
inline bool IsOneReply(const std::string& a) {
    const bool multiLine = a.size() >= 4 && a[3] == '-';
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == '\0') return false;
        if (a[i] == '\r' && (!multiLine || i + 1 >= a.size() || a[i + 1] != '\n')) return false;
        if (a[i] == '\n' && (!multiLine || i == 0 || a[i - 1] != '\r')) return false;
    }
    return true;
}

class TFuzzSession {
public:
    TFuzzSession() : Server(Loop) {
        char tmpl[] = "/tmp/vendrix-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl)) std::abort();
        Home = std::string(tmpl) + "/";
        auto deny = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket&, ftp::TFtpString&, bool& ok) { ok = false; };
        Server.OnValidatePut = deny;
        Server.OnValidateDele = deny;
        Server.OnValidateRmd = deny;
        Server.OnValidateRnFr = deny;
        Server.OnValidateRnTo = deny;
        Server.OnMakeDirectory = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket&, std::string&, bool& ok, bool&) {
            ok = false;
        };
        Server.OnAuthenticate = [this](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, const ftp::TFtpString&,
                                       const ftp::TFtpString&, bool&) {
            c.HomeDir = Home;
            c.Directory = Home;
        };
        // A command line holding CR or NUL never gets this far.
        Server.OnClientCommand = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket&, ftp::TFtpString& k,
                                    ftp::TFtpString& p, ftp::TFtpString&) {
            if ((k + p).find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
        };
        Server.OnAnswerToClient = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket&, ftp::TFtpString& a) {
            if (!IsOneReply(a)) std::abort();
        };
        FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        if (::bind(FListener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
            ::listen(FListener, 4) != 0 ||
            ::getsockname(FListener, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            std::abort();
        FAddr = sa;
    }
    // The targets hold it in a static: this runs as the fuzzer exits.
    ~TFuzzSession() {
        Close();
        ::close(FListener);
        std::error_code ignored;
        std::filesystem::remove_all(Home, ignored);
    }
    TFuzzSession(const TFuzzSession&) = delete;
    TFuzzSession& operator=(const TFuzzSession&) = delete;

    // A fresh session on a new connection, waiting for USER (or logged in).
    std::unique_ptr<ftp::TFtpCtrlSocket> NewSession(bool loggedIn) {
        Close();
        FPeer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(FPeer, reinterpret_cast<const sockaddr*>(&FAddr), sizeof FAddr) != 0) Fail("connect");
        int fd = ::accept4(FListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) Fail("accept");
        auto client = Server.ClientClass(Server);
        client->Dup(fd);
        client->CachePeerAddr();
        client->HomeDir = Home;
        client->Directory = Home;
        client->FtpState = loggedIn ? ftp::ftpcReady : ftp::ftpcWaitingUserCode;
        return client;
    }
    // Runs what the commands posted (dropped: the session is not listed).
    void Settle() {
        for (int i = 0; i < 4; ++i)
            Loop.RunOnce(0);
    }
    // The loopback listener must outlive every input: a command that closes
    // a handle twice would close it (or another) by its number.
    void CheckListener() const {
        int listening = 0;
        socklen_t len = sizeof listening;
        if (::getsockopt(FListener, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) != 0 || !listening)
            Fail("listener lost");
    }
    // Closes the client's end with a reset: thousands of inputs must not
    // leave thousands of connections in TIME_WAIT.
    void Close() {
        if (FPeer < 0) return;
        linger l{1, 0};
        ::setsockopt(FPeer, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        ::close(FPeer);
        FPeer = -1;
    }

    net::TEventLoop Loop;
    ftp::TFtpServer Server;
    std::string Home;

private:
    [[noreturn]] static void Fail(const char* what) {
        std::perror(what);
        std::abort();
    }

    int FListener = -1;
    int FPeer = -1;
    sockaddr_in FAddr{};
};

} // namespace vendrix::fuzz
