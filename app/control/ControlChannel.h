// The receiving side of the control socket: the running instance listens on
// a Unix-domain socket (see ControlPath.h) and answers one request per
// connection (see ControlProtocol.h) from the event loop, never blocking it.
//
// Only peers running as the same user are served. The hooks run from the
// loop after the answer has been queued, as posted tasks, so a hook may close
// the channel or stop the whole program.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "EventLoop.h"

namespace vendrix::app {

// Listen found another live instance answering on the same socket.
class TControlAlreadyRunning : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TControlChannel {
public:
    TControlChannel(net::TEventLoop& loop, std::string socketPath);
    ~TControlChannel();
    TControlChannel(const TControlChannel&) = delete;
    TControlChannel& operator=(const TControlChannel&) = delete;

    // Creates the owner-only folder when missing and listens. A socket file
    // left by an ended instance is replaced. Throws TControlAlreadyRunning
    // when a live instance answers on the socket, std::runtime_error for
    // any other failure. Blocks for at most a short probe of the old socket.
    void Listen();
    // Drops every connection, stops listening and removes the socket file
    // (unless another instance has replaced it since).
    void Close();
    bool Listening() const { return FListenFd >= 0; }
    const std::string& SocketPath() const { return FSocketPath; }

    // ACTIVATE: the window comes to the front; headless, nothing happens.
    std::function<void()> OnActivate;
    // COMMAND: the text exactly as received; the hook decides what it means
    // (ParseControlCommand) and ignores the rest.
    std::function<void(const std::string& text)> OnCommand;

    // A connection that has not got its answer out after this long is
    // dropped, so a silent peer cannot hold a slot.
    unsigned TimeoutMs = 5000;
    // Connections beyond this many at once are closed at once.
    std::size_t MaxConnections = 16;

private:
    struct TConnection {
        std::string In;
        std::string Out;
        bool Answered = false;
        net::TEventLoop::TTimerId Timer = 0;
    };

    int BindOrReplace(int fd);
    void Accept();
    void Serve(int fd, uint32_t events);
    void Receive(int fd, TConnection& conn);
    void HandleLine(int fd, TConnection& conn, std::string line);
    void Answer(int fd, TConnection& conn, std::string_view line);
    void Flush(int fd, TConnection& conn);
    void Drop(int fd);

    net::TEventLoop& FLoop;
    std::string FSocketPath;
    int FListenFd = -1;
    dev_t FDev = 0; // the socket file this channel made
    ino_t FIno = 0;
    std::map<int, TConnection> FConnections;
    net::TLifeToken FLife = net::NewLifeToken();
};

} // namespace vendrix::app
