#include "WSocket.h"

#include "Resolve.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vendrix::net {

const char* SocketStateName(TSocketState state) {
    static const char* kNames[] = {"wsInvalidState", "wsOpened",         "wsBound",
                                   "wsConnecting",   "wsSocksConnected", "wsConnected",
                                   "wsAccepting",    "wsListening",      "wsClosed"};
    return kNames[state];
}

namespace {
std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string AddrText(const in_addr& a) {
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}
} // namespace

TCustomWSocket::TCustomWSocket(TEventLoop& loop) : FLoop(loop), FLife(NewLifeToken()) {}

TCustomWSocket::~TCustomWSocket() {
    FDestroying = true;
    FLife.reset(); // posted work for this socket is void from now on
    if (FHSocket >= 0) {
        if (FWatched) FLoop.Unwatch(FHSocket);
        ::close(FHSocket);
        FHSocket = -1;
    }
}

// --- properties ------------------------------------------------------------

void TCustomWSocket::SetAddr(const std::string& value) {
    std::string v = Trim(value);
    if (FAddrAssigned && v == FAddr) return;
    if (FState != wsClosed) RaiseException("Cannot change Addr if not closed");
    FAddr = v;
    FAddrAssigned = !v.empty();
}

void TCustomWSocket::SetPort(const std::string& value) {
    std::string v = Trim(value);
    if (FPortAssigned && v == FPort) return;
    if (FState != wsClosed) RaiseException("Cannot change Port if not closed");
    FPort = v;
    FPortAssigned = !v.empty();
}

void TCustomWSocket::SetProto(const std::string& value) {
    std::string v = Trim(value);
    if (FProtoAssigned && v == FProto) return;
    if (FState != wsClosed) RaiseException("Cannot change Proto if not closed");
    FProto = v;
    FProtoAssigned = !v.empty();
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
    if (FState != wsClosed) RaiseException("Cannot change LocalAddr if not closed");
    FLocalAddr = value.empty() ? "0.0.0.0" : value;
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
    if (FState != wsClosed) RaiseException("Cannot change LocalPort if not closed");
    FLocalPort = value;
}

void TCustomWSocket::SetSendFlags(int flags) {
    if (flags != wsSendNormal && flags != wsSendUrgent) RaiseException("Invalid SendFlags");
    FSendFlags = TSocketSendFlags(flags);
}

int64_t TCustomWSocket::BufferedBytes() const {
    int64_t n = 0;
    for (const auto& b : FQueue)
        n += b->Unread();
    return n;
}

// --- error reporting ---------------------------------------------------------

void TCustomWSocket::RaiseException(const std::string& msg, int code) {
    if (code) FLastError = code;
    if (OnError) {
        OnError(*this);
        return;
    }
    throw ESocketException(msg);
}

void TCustomWSocket::SocketError(const std::string& func, int errnoValue) {
    int code = WSocketErrorFromErrno(errnoValue);
    std::string msg =
        "Error " + std::to_string(code) + " in function " + func + "\r\n" + WSocketErrorDesc(code);
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        if (FHSocket >= 0) {
            if (FWatched) FLoop.Unwatch(FHSocket);
            FWatched = false;
            ::close(FHSocket);
            FHSocket = -1;
            ++FHandleGen;
        }
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            FireClosed(uint16_t(code));
        }
    }
    FLastError = code;
    RaiseException(msg);
}

// --- state -------------------------------------------------------------------

void TCustomWSocket::ChangeState(TSocketState newState) {
    TSocketState old = FState;
    if (old == newState) return;
    FState = newState;
    TriggerChangeState(old, newState);
}

void TCustomWSocket::ResetStep() {
    FAddrAssigned = false;
    FPortAssigned = false;
    FProto = "tcp";
    FProtoAssigned = true;
    FLocalPort = "0";
    FLocalAddr = "0.0.0.0";
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    FReadCount = 0;
    FAllSent = true;
    FCloseNotified = false;
    FWantWrite = false;
    FRecvShut = false;
    FListening = false;
    FSendFailed = false;
    FPaused = false;
}

void TCustomWSocket::FireClosed(uint16_t err) {
    if (FDestroying || FCloseNotified) return;
    FCloseNotified = true;
    TriggerSessionClosed(err);
}

// --- event loop plumbing -----------------------------------------------------

void TCustomWSocket::WatchHandle() {
    TLifeRef ref = FLife;
    uint32_t mask = 0;
    FWatched = FLoop.Watch(FHSocket, mask, [this, ref](uint32_t events) {
        if (!ref.expired()) Dispatch(events);
    });
    if (!FWatched) throw ESocketException("Error 10022 in function WSAAsyncSelect\r\nInvalid argument");
    UpdateMask();
}

void TCustomWSocket::UpdateMask() {
    if (FHSocket < 0 || !FWatched) return;
    uint32_t mask = 0;
    if (FPaused) {
        mask = 0;
    } else if (FListening) {
        mask = EPOLLIN;
    } else if (FState == wsConnecting) {
        mask = EPOLLOUT;
    } else {
        if (!FRecvShut) mask |= EPOLLIN | EPOLLRDHUP;
        if (FWantWrite) mask |= EPOLLOUT;
    }
    FLoop.Modify(FHSocket, mask);
}

void TCustomWSocket::Dispatch(uint32_t events) {
    TLifeRef ref = FLife;
    uint64_t gen = FHandleGen;
    auto alive = [&] { return !ref.expired() && FHandleGen == gen && FHSocket >= 0; };
    if (FPaused) return;
    try {
        if (FListening) {
            if (events & (EPOLLIN | EPOLLERR)) TriggerSessionAvailable(0);
            return;
        }
        if (FState == wsConnecting) {
            if (!(events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) return;
            int soerr = 0;
            socklen_t len = sizeof soerr;
            getsockopt(FHSocket, SOL_SOCKET, SO_ERROR, &soerr, &len);
            HandleConnect(WSocketErrorFromErrno(soerr));
            if (!alive() || soerr != 0) return;
            // A connection that has just been made is writable: the one write
            // notification every new connection gets.
            events |= EPOLLOUT;
            events &= ~uint32_t(EPOLLIN | EPOLLRDHUP | EPOLLHUP);
        }
        bool hup = events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR);
        if ((events & EPOLLIN) && !FRecvShut && (!hup || BytesWaiting() > 0)) {
            HandleRead(0);
            if (!alive()) return;
        }
        if (events & EPOLLOUT) {
            HandleWrite();
            if (!alive()) return;
        }
        if (hup && !FRecvShut) {
            int soerr = 0;
            socklen_t len = sizeof soerr;
            getsockopt(FHSocket, SOL_SOCKET, SO_ERROR, &soerr, &len);
            HandleClose(WSocketErrorFromErrno(soerr));
        } else if (hup && (events & (EPOLLHUP | EPOLLERR))) {
            HandleClose(0);
        }
    } catch (const std::exception& e) {
        if (!ref.expired()) BgException(e);
    }
}

void TCustomWSocket::BgException(const std::exception& e) {
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(*this, e, canClose);
        } catch (...) {
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

void TCustomWSocket::HandleConnect(uint16_t err) {
    TLifeRef ref = FLife;
    if (FState != wsConnected) {
        ChangeState(wsConnected);
        if (ref.expired()) return;
        UpdateMask();
        TriggerSessionConnected(err);
        if (ref.expired()) return;
    }
    if (err != 0 && FState != wsClosed) InternalClose(true, 0);
}

void TCustomWSocket::HandleRead(uint16_t err) {
    TLifeRef ref = FLife;
    if (FState != wsConnected) {
        ChangeState(wsConnected);
        if (ref.expired()) return;
        TriggerSessionConnected(err);
        if (ref.expired() || FHSocket < 0) return;
    }
    ReceiveLoop(ComponentOptions & wsoNoReceiveLoop);
}

void TCustomWSocket::ReceiveLoop(bool noReceiveLoop) {
    TLifeRef ref = FLife;
    uint64_t gen = FHandleGen;
    for (;;) {
        FLastError = 0;
        try {
            TriggerDataAvailable(0);
        } catch (...) {
            return; // swallowed: an escaping exception only ends the loop
        }
        if (ref.expired() || gen != FHandleGen || FHSocket < 0) return;
        if (noReceiveLoop || FLastError != 0) return;
        int waiting = BytesWaiting();
        if (waiting <= 0) return;
    }
}

int TCustomWSocket::BytesWaiting() {
    int n = 0;
    if (FHSocket < 0 || ioctl(FHSocket, FIONREAD, &n) != 0) {
        FLastError = WSocketErrorFromErrno(errno);
        return -1;
    }
    return n;
}

void TCustomWSocket::HandleWrite() {
    TLifeRef ref = FLife;
    TryToSend();
    if (ref.expired() || FHSocket < 0) return;
    if (FAllSent) {
        if (FWantWrite) {
            FWantWrite = false;
            UpdateMask();
        }
        TriggerDataSent(0);
    }
}

void TCustomWSocket::HandleClose(uint16_t err) {
    if (FState == wsConnecting) return;
    TLifeRef ref = FLife;
    uint64_t gen = FHandleGen;
    if (!FRecvShut && BytesWaiting() > 0) {
        ReceiveLoop(false); // every byte that came with the close first
        if (ref.expired()) return;
    }
    if (gen == FHandleGen) {
        FireClosed(err);
        if (ref.expired()) return;
    }
    if (gen == FHandleGen && FState != wsClosed) InternalClose(true, 0);
}

void TCustomWSocket::PostWriteNotification() {
    TLifeRef ref = FLife;
    uint64_t gen = FHandleGen;
    FLoop.Post([this, ref, gen] {
        if (ref.expired() || gen != FHandleGen || FHSocket < 0) return;
        try {
            HandleWrite();
        } catch (const std::exception& e) {
            if (!ref.expired()) BgException(e);
        }
    });
}

// --- operations ----------------------------------------------------------------

void TCustomWSocket::Listen() {
    if (!FPortAssigned) RaiseException("listen: port not assigned", WSAEINVAL);
    if (!FProtoAssigned) RaiseException("listen: protocol not assigned", WSAEINVAL);
    if (!FAddrAssigned) RaiseException("listen: address not assigned", WSAEINVAL);
    if (!FPortAssigned || !FProtoAssigned || !FAddrAssigned) return; // OnError took the report
    sockaddr_in sa{};
    try {
        int proto = WSocketResolveProto(FProto);
        if (proto != IPPROTO_TCP) throw ESocketException("Only TCP is supported");
        sa.sin_family = AF_INET;
        sa.sin_port = htons(WSocketResolvePort(FPort, FProto));
        sa.sin_addr = WSocketResolveHost(FAddr);
    } catch (const ESocketException& e) {
        RaiseException(std::string("listen: ") + e.what());
        return;
    }
    FQueue.clear();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return SocketError("socket", errno);
    // A restart must not fail on connections in TIME_WAIT; Linux still
    // refuses a second listener on the same address and port.
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        int err = errno;
        ::close(fd);
        return SocketError("Bind", err);
    }
    FHSocket = fd;
    ++FHandleGen;
    ChangeState(wsBound);
    if (::listen(fd, ListenBacklog) != 0) {
        int err = errno;
        ::close(fd);
        FHSocket = -1;
        ChangeState(wsClosed);
        return SocketError("Listen", err);
    }
    FListening = true;
    WatchHandle();
    ChangeState(wsListening);
}

int TCustomWSocket::Accept() {
    if (FState != wsListening) {
        RaiseException("not a listening socket", WSAEINVAL);
        return -1;
    }
    int fd = ::accept4(FHSocket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        SocketError("Accept", errno);
        return -1;
    }
    return fd;
}

void TCustomWSocket::ApplyLinger() {
    if (LingerOnOff == wsLingerNoSet) return;
    if (FHSocket < 0) RaiseException("Cannot set linger option at this time");
    linger l{};
    l.l_onoff = LingerOnOff == wsLingerOn ? 1 : 0;
    l.l_linger = LingerTimeout;
    if (setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
        SocketError("setsockopt(SO_LINGER)", errno);
}

void TCustomWSocket::Dup(int handle) {
    if (handle == 0 || handle == -1) {
        RaiseException("Error 10022 in function Dup\r\nInvalid argument", WSAEINVAL);
        return;
    }
    if (FState != wsClosed) {
        if (FHSocket >= 0) {
            if (FWatched) FLoop.Unwatch(FHSocket);
            FWatched = false;
            if (::close(FHSocket) != 0) SocketError("Dup (closesocket)", errno);
            FHSocket = -1;
        }
        ChangeState(wsClosed);
    }
    FHSocket = handle;
    ++FHandleGen;
    FListening = false;
    FRecvShut = false;
    FCloseNotified = false;
    ApplyLinger();
    // A freshly connected socket is writable: with an empty queue OnDataSent
    // fires once right after the connection is established.
    FWantWrite = true;
    WatchHandle();
    ChangeState(wsConnected);
}

void TCustomWSocket::Connect() {
    if (FHSocket >= 0 && FState != wsClosed) return RaiseException("Connect: Socket already in use");
    if (!FPortAssigned) return RaiseException("Connect: No Port Specified");
    if (!FAddrAssigned) return RaiseException("Connect: No IP Address Specified");
    if (!FProtoAssigned) return RaiseException("Connect: No Protocol Specified");
    sockaddr_in remote{}, local{};
    bool bindLocal = false;
    try {
        int proto = WSocketResolveProto(FProto);
        if (proto != IPPROTO_TCP) throw ESocketException("Only TCP is supported");
        remote.sin_family = AF_INET;
        remote.sin_port = htons(WSocketResolvePort(FPort, FProto));
        uint16_t lport = WSocketResolvePort(FLocalPort.empty() ? "0" : FLocalPort, FProto);
        remote.sin_addr = WSocketResolveHost(FAddr);
        local.sin_family = AF_INET;
        local.sin_port = htons(lport);
        local.sin_addr = WSocketResolveHost(FLocalAddr);
        bindLocal = lport != 0 || FLocalAddr != "0.0.0.0";
    } catch (const ESocketException& e) {
        return RaiseException(std::string("connect: ") + e.what());
    }
    FQueue.clear();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return SocketError("Connect (socket)", errno);
    FHSocket = fd;
    ++FHandleGen;
    FCloseNotified = false;
    FRecvShut = false;
    FListening = false;
    ChangeState(wsOpened);
    if (FState != wsOpened) return RaiseException("Connect (Invalid operation in OnChangeState)", WSAEINVAL);
    int one = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0)
        return SocketError("setsockopt(SO_REUSEADDR)", errno);
    if ((ComponentOptions & wsoTcpNoDelay) && setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0)
        return SocketError("setsockopt(IPPROTO_TCP, TCP_NODELAY)", errno);
    ApplyLinger();
    if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0)
        return SocketError("setsockopt(SO_KEEPALIVE)", errno);
    if (bindLocal) {
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            int code = WSocketErrorFromErrno(errno);
            return RaiseException("winsock.bind failed, error #" + std::to_string(code), code);
        }
        sockaddr_in bound{};
        socklen_t len = sizeof bound;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
            int code = WSocketErrorFromErrno(errno);
            return RaiseException("winsock.getsockname failed, error #" + std::to_string(code), code);
        }
        FLocalPort = std::to_string(ntohs(bound.sin_port));
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 && errno != EINPROGRESS) {
        int err = errno;
        FLastError = WSocketErrorFromErrno(err);
        return SocketError("Connect", err);
    }
    ChangeState(wsConnecting);
    if (FHSocket >= 0) WatchHandle();
}

int TCustomWSocket::Send(const void* data, int length) {
    if (FState != wsConnected && FState != wsSocksConnected) {
        SocketError("Send", ENOTCONN);
        return -1;
    }
    if (length <= 0) return 0;
    const int total = length;
    if (FSendFailed) return total; // the connection is ending; its close is on the way
    FAllSent = false;
    const char* p = static_cast<const char*>(data);
    if (FQueue.empty() || (FQueue.size() == 1 && FQueue.front()->Unread() == 0)) {
        // Nothing is waiting: offer the bytes to the system straight from the
        // caller's memory and queue only what it did not take.
        int flags = MSG_NOSIGNAL | (FSendFlags == wsSendUrgent ? MSG_OOB : 0);
        ssize_t n = ::send(FHSocket, p, size_t(length), flags);
        if (n > 0) {
            if (OnSendData) OnSendData(*this, int(n));
            p += n;
            length -= int(n);
        } else if (n < 0 && errno != EAGAIN) {
            int err = errno;
            if (!FatalSendError(err)) SocketError("TryToSend failed", err);
            return total;
        }
    }
    while (length > 0) {
        if (FQueue.empty()) FQueue.push_back(std::make_unique<TBuffer>(FSendBlockSize));
        int n = FQueue.back()->Write(p, length);
        if (n == 0) {
            FQueue.push_back(std::make_unique<TBuffer>(FSendBlockSize));
            continue;
        }
        p += n;
        length -= n;
    }
    if (FQueue.empty()) FAllSent = true;
    TryToSend();
    if (FHSocket < 0 || FSendFailed) return total;
    if (FAllSent) {
        PostWriteNotification();
    } else if (!FWantWrite) {
        FWantWrite = true;
        UpdateMask();
    }
    return total;
}

bool TCustomWSocket::FatalSendError(int err) {
    uint16_t code = WSocketErrorFromErrno(err);
    if (code != 10022 && code != 10038 && code != 10053 && code != 10054 && code != 10057) return false;
    // The peer is gone: drop what is queued and end the connection from the
    // loop, so OnSessionClosed never fires inside the caller's Send.
    FQueue.clear();
    if (FSendFailed) return true;
    FSendFailed = true;
    TLifeRef ref = FLife;
    uint64_t gen = FHandleGen;
    FLoop.Post([this, ref, gen, code] {
        if (ref.expired() || gen != FHandleGen || FHSocket < 0) return;
        InternalClose(false, code);
    });
    return true;
}

int TCustomWSocket::SendText(const std::string& text) {
    if (text.empty()) return 0;
    return Send(text.data(), int(text.size()));
}

void TCustomWSocket::TryToSend() {
    if (FHSocket < 0 || FQueue.empty()) return;
    int flags = MSG_NOSIGNAL | (FSendFlags == wsSendUrgent ? MSG_OOB : 0);
    for (;;) {
        int count = 0;
        const char* p = FQueue.front()->Peek(count);
        if (count > 0) {
            ssize_t n = ::send(FHSocket, p, size_t(count), flags);
            if (n < 0) {
                int err = errno;
                if (err == EAGAIN) return;
                if (FatalSendError(err)) return;
                return SocketError("TryToSend failed", err);
            }
            if (n > 0 && OnSendData) OnSendData(*this, int(n));
            FQueue.front()->Remove(int(n));
            if (n < count) return;
            continue;
        }
        if (FQueue.size() > 1) {
            FQueue.pop_front();
            continue;
        }
        FAllSent = true;
        return;
    }
}

int TCustomWSocket::Receive(void* buffer, int size) {
    if (FHSocket < 0) {
        FLastError = WSAENOTCONN;
        return -1;
    }
    ssize_t n = ::recv(FHSocket, buffer, size_t(size > 0 ? size : 0), 0);
    if (n < 0) {
        FLastError = WSocketErrorFromErrno(errno);
        return -1;
    }
    FReadCount += n;
    return int(n);
}

void TCustomWSocket::Shutdown(int how) {
    if (FHSocket < 0) return;
    ::shutdown(FHSocket, how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
    if (how == 0 || how == 2) {
        FRecvShut = true;
        UpdateMask();
    }
}

void TCustomWSocket::InternalClose(bool shutdownSend, uint16_t err) {
    if (FHSocket < 0) {
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            ResetStep();
        }
        return;
    }
    if (FState == wsClosed) return;
    if (shutdownSend) ::shutdown(FHSocket, SHUT_WR);
    if (FWatched) FLoop.Unwatch(FHSocket);
    FWatched = false;
    int fd = FHSocket;
    FHSocket = -1;
    ++FHandleGen;
    uint64_t gen = FHandleGen;
    bool failed = ::close(fd) != 0 && errno != EINTR;
    int closeErr = errno;
    TLifeRef ref = FLife;
    ChangeState(wsClosed);
    if (ref.expired()) return;
    FireClosed(err);
    if (ref.expired()) return;
    // A handler that opened the socket again keeps its new settings.
    if (gen == FHandleGen && FHSocket < 0 && FState == wsClosed) {
        try {
            ResetStep();
        } catch (...) {
        }
    }
    if (failed) SocketError("Disconnect (closesocket)", closeErr);
}

void TCustomWSocket::Close() {
    InternalClose(true, 0);
}

void TCustomWSocket::CloseLater() {
    TLifeRef ref = FLife;
    FLoop.Post([this, ref] {
        if (!ref.expired()) Close();
    });
}

void TCustomWSocket::Pause() {
    FPaused = true;
    UpdateMask();
}

void TCustomWSocket::Resume() {
    FPaused = false;
    UpdateMask();
}

void TCustomWSocket::Abort() {
    FQueue.clear();
    if (FState == wsConnected && FHSocket >= 0) {
        LingerOnOff = wsLingerOff;
        ApplyLinger();
    }
    InternalClose(false, 0);
}

// --- addresses -------------------------------------------------------------------

std::string TCustomWSocket::PeerAddr() const {
    if (FState != wsConnected || FHSocket < 0) return "error";
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getpeername(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return "error";
    return AddrText(sa.sin_addr);
}

std::string TCustomWSocket::PeerPort() const {
    if (FState != wsConnected || FHSocket < 0) return "error";
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getpeername(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return "error";
    return std::to_string(ntohs(sa.sin_port));
}

bool TCustomWSocket::GetLocalSockAddr(sockaddr_in& addr) const {
    addr = {};
    socklen_t len = sizeof addr;
    return FHSocket >= 0 && getsockname(FHSocket, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
}

std::string TCustomWSocket::GetLocalAddrText() const {
    sockaddr_in sa{};
    if ((FState != wsBound && FState != wsConnected && FState != wsListening) || !GetLocalSockAddr(sa))
        return "error";
    return AddrText(sa.sin_addr);
}

std::string TCustomWSocket::GetLocalPortText() const {
    sockaddr_in sa{};
    if ((FState != wsBound && FState != wsConnected && FState != wsListening) || !GetLocalSockAddr(sa))
        return "error";
    return std::to_string(ntohs(sa.sin_port));
}

// --- default event triggers ---------------------------------------------------------

void TCustomWSocket::TriggerDataAvailable(uint16_t err) {
    if (OnDataAvailable) {
        OnDataAvailable(*this, err);
        return;
    }
    char discard[1024];
    int n = Receive(discard, sizeof discard);
    if (n < 0 && FLastError == WSAEWOULDBLOCK) FLastError = 0;
}

void TCustomWSocket::TriggerSessionClosed(uint16_t err) {
    if (OnSessionClosed) OnSessionClosed(*this, err);
}

void TCustomWSocket::TriggerDataSent(uint16_t err) {
    if (OnDataSent) OnDataSent(*this, err);
}

void TCustomWSocket::TriggerSessionConnected(uint16_t err) {
    if (OnSessionConnected) OnSessionConnected(*this, err);
}

void TCustomWSocket::TriggerSessionAvailable(uint16_t err) {
    if (OnSessionAvailable) OnSessionAvailable(*this, err);
}

void TCustomWSocket::TriggerChangeState(TSocketState oldState, TSocketState newState) {
    if (OnChangeState) OnChangeState(*this, oldState, newState);
}

} // namespace vendrix::net
