#include "ControlChannel.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ControlClient.h"
#include "ControlPath.h"
#include "ControlProtocol.h"

namespace vendrix::app {

namespace {

// How long Listen waits for an old socket's owner to identify itself.
constexpr int kProbeTimeoutMs = 1000;
constexpr int kBacklog = 16;

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

bool SameUser(int fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == geteuid();
}

} // namespace

TControlChannel::TControlChannel(net::TEventLoop& loop, std::string socketPath)
    : FLoop(loop), FSocketPath(std::move(socketPath)) {}

TControlChannel::~TControlChannel() {
    Close();
}

int TControlChannel::BindOrReplace(int fd) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, FSocketPath.data(), FSocketPath.size());
    auto bindIt = [&] {
        return bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 ? 0 : errno;
    };
    int error = bindIt();
    if (error != EADDRINUSE) return error;

    struct stat st {};
    if (lstat(FSocketPath.c_str(), &st) == 0 && !S_ISSOCK(st.st_mode))
        throw std::runtime_error(FSocketPath + " exists and is not a socket");
    TControlAnswer probe = IdentifyAt(FSocketPath, kProbeTimeoutMs);
    if (probe.Ok())
        throw TControlAlreadyRunning("another instance is already running (it answers on " + FSocketPath +
                                     ")");
    if (probe.Status != TControlStatus::NoInstance)
        throw std::runtime_error(FSocketPath +
                                 " is in use by a program that is not a working instance: " + probe.Text);
    // Nobody listens: the file was left by an instance that ended abruptly.
    if (unlink(FSocketPath.c_str()) != 0 && errno != ENOENT)
        throw std::runtime_error(SystemError("cannot remove the old control socket " + FSocketPath, errno));
    return bindIt();
}

void TControlChannel::Listen() {
    if (Listening()) return;
    if (FSocketPath.size() >= sizeof(sockaddr_un::sun_path))
        throw std::runtime_error("the control socket path is too long: " + FSocketPath);
    CheckControlFolder(FolderOf(FSocketPath), true);

    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(SystemError("cannot create the control socket", errno));
    try {
        if (int error = BindOrReplace(fd))
            throw std::runtime_error(SystemError("cannot bind the control socket " + FSocketPath, error));
        struct stat st {};
        if (lstat(FSocketPath.c_str(), &st) == 0) {
            FDev = st.st_dev;
            FIno = st.st_ino;
        }
        if (listen(fd, kBacklog) != 0 || !FLoop.Watch(fd, EPOLLIN, [this](uint32_t) { Accept(); })) {
            int error = errno;
            unlink(FSocketPath.c_str());
            throw std::runtime_error(
                SystemError("cannot listen on the control socket " + FSocketPath, error));
        }
    } catch (...) {
        close(fd);
        throw;
    }
    FListenFd = fd;
}

void TControlChannel::Close() {
    while (!FConnections.empty())
        Drop(FConnections.begin()->first);
    if (!Listening()) return;
    FLoop.Unwatch(FListenFd);
    close(FListenFd);
    FListenFd = -1;
    // A newer instance may have replaced a socket it took for stale: leave
    // that one alone.
    struct stat st {};
    if (lstat(FSocketPath.c_str(), &st) == 0 && st.st_dev == FDev && st.st_ino == FIno)
        unlink(FSocketPath.c_str());
}

void TControlChannel::Accept() {
    for (;;) {
        int fd = accept4(FListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        if (FConnections.size() >= MaxConnections || !SameUser(fd) ||
            !FLoop.Watch(fd, EPOLLIN, [this, fd](uint32_t events) { Serve(fd, events); })) {
            close(fd);
            continue;
        }
        TConnection& conn = FConnections[fd];
        conn.Timer = FLoop.AddTimer(TimeoutMs, false, [this, fd] { Drop(fd); });
    }
}

void TControlChannel::Serve(int fd, uint32_t events) {
    auto it = FConnections.find(fd);
    if (it == FConnections.end()) return;
    TConnection& conn = it->second;
    if (conn.Answered) {
        if (events & EPOLLOUT)
            Flush(fd, conn);
        else
            Drop(fd);
        return;
    }
    Receive(fd, conn);
}

void TControlChannel::Receive(int fd, TConnection& conn) {
    char buffer[512];
    for (;;) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            // The peer went away before finishing its request.
            Drop(fd);
            return;
        }
        conn.In.append(buffer, std::size_t(n));
        auto end = conn.In.find('\n');
        if (end != std::string::npos) {
            HandleLine(fd, conn, conn.In.substr(0, end));
            return;
        }
        // Room for the longest request and a "\r": more without a line end
        // cannot become a valid request.
        if (conn.In.size() > kMaxControlRequest + 1) {
            Answer(fd, conn, "ERR request too long");
            return;
        }
    }
}

void TControlChannel::HandleLine(int fd, TConnection& conn, std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxControlRequest) {
        Answer(fd, conn, "ERR request too long");
        return;
    }
    auto request = ParseControlRequest(line);
    if (!request) {
        Answer(fd, conn, "ERR unknown request");
        return;
    }
    net::TLifeRef life = FLife;
    switch (request->Verb) {
    case TControlVerb::Identify:
        Answer(fd, conn, kControlIdentifyAnswer);
        return;
    case TControlVerb::Activate:
        Answer(fd, conn, kControlOkAnswer);
        FLoop.Post([this, life] {
            if (!life.expired() && OnActivate) OnActivate();
        });
        return;
    case TControlVerb::Command:
        Answer(fd, conn, kControlOkAnswer);
        FLoop.Post([this, life, text = std::move(request->Text)] {
            if (!life.expired() && OnCommand) OnCommand(text);
        });
        return;
    }
}

void TControlChannel::Answer(int fd, TConnection& conn, std::string_view line) {
    conn.Answered = true;
    conn.In.clear();
    conn.Out = std::string(line) + "\n";
    Flush(fd, conn);
}

void TControlChannel::Flush(int fd, TConnection& conn) {
    while (!conn.Out.empty()) {
        ssize_t n = send(fd, conn.Out.data(), conn.Out.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            FLoop.Modify(fd, EPOLLOUT);
            return;
        }
        if (n < 0) break;
        conn.Out.erase(0, std::size_t(n));
    }
    // One request per connection: the answer is out (or cannot go), so end.
    // Unread input would turn the close into a reset that the peer might see
    // before the answer, so what has arrived is read away first.
    char sink[4096];
    for (int i = 0; i < 16 && recv(fd, sink, sizeof sink, 0) > 0; ++i) {
    }
    Drop(fd);
}

void TControlChannel::Drop(int fd) {
    auto it = FConnections.find(fd);
    if (it == FConnections.end()) return;
    FLoop.CancelTimer(it->second.Timer);
    FLoop.Unwatch(fd);
    close(fd);
    FConnections.erase(it);
}

} // namespace vendrix::app
