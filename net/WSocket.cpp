#include "WSocket.h"

#include "AsciiText.h"
#include "Resolve.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
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

TCustomWSocket::TCustomWSocket(TEventLoop& loop)
    : FLoop(loop), FLife(NewLifeToken()), FHandle(loop), FSpare(loop), FShed(loop) {}

TCustomWSocket::~TCustomWSocket() {
    FDestroying = true;
    FLife.reset(); // posted work for this socket is void from now on
    TlsCancelTimer();
    StopBatching();
    FHandle.Close();
    ReleaseSpare();
}

// --- properties ------------------------------------------------------------

void TCustomWSocket::SetAddr(const std::string& value) {
    std::string v(net::TrimControl(value));
    if (FAddrAssigned && v == FAddr) return;
    if (FState != wsClosed) RaiseException("Cannot change Addr if not closed");
    FAddr = v;
    FAddrAssigned = !v.empty();
}

void TCustomWSocket::SetPort(const std::string& value) {
    std::string v(net::TrimControl(value));
    if (FPortAssigned && v == FPort) return;
    if (FState != wsClosed) RaiseException("Cannot change Port if not closed");
    FPort = v;
    FPortAssigned = !v.empty();
}

void TCustomWSocket::SetProto(const std::string& value) {
    std::string v(net::TrimControl(value));
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
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        StopBatching();
        FHandle.Close();
        ReleaseSpare();
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            FireClosed(uint16_t(code));
        }
    }
    ReportSystemError(func, errnoValue);
}

void TCustomWSocket::ReportSystemError(const std::string& func, int errnoValue) {
    int code = WSocketErrorFromErrno(errnoValue);
    FLastError = code;
    RaiseException("Error " + std::to_string(code) + " in function " + func + "\r\n" +
                   WSocketErrorDesc(code));
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
    TlsReset();
}

void TCustomWSocket::FireClosed(uint16_t err) {
    if (FDestroying || FCloseNotified) return;
    FCloseNotified = true;
    TriggerSessionClosed(err);
}

// --- event loop plumbing -----------------------------------------------------

bool TCustomWSocket::WatchHandle(TSocketHandle& handle) {
    TLifeRef ref = FLife;
    return handle.Watch(0, [this, ref](uint32_t events) {
        if (!ref.expired()) Dispatch(events);
    });
}

int TCustomWSocket::PendingError() {
    int soerr = 0;
    socklen_t len = sizeof soerr;
    // A failed query is that query's error, never a clean connection.
    if (getsockopt(FHandle.Fd(), SOL_SOCKET, SO_ERROR, &soerr, &len) != 0) return errno ? errno : EINVAL;
    return soerr;
}

void TCustomWSocket::UpdateMask() {
    if (!FHandle.Watched()) return;
    uint32_t mask = 0;
    if (FPaused) {
        mask = 0;
    } else if (FListening) {
        if (!FBackingOff && !FShed.Valid()) mask = EPOLLIN;
    } else if (FState == wsConnecting) {
        mask = EPOLLOUT;
    } else {
        if (!FRecvShut) mask |= EPOLLIN | EPOLLRDHUP;
        if (FWantWrite) mask |= EPOLLOUT;
    }
    if (!FHandle.Modify(mask)) SocketError("WSAAsyncSelect", errno);
}

void TCustomWSocket::Dispatch(uint32_t events) {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    auto alive = [&] { return !ref.expired() && FHandle.Generation() == gen && FHandle.Valid(); };
    if (FPaused) return;
    try {
        if (FListening) {
            if (events & (EPOLLIN | EPOLLERR)) TriggerSessionAvailable(0);
            return;
        }
        if (FState == wsConnecting) {
            if (!(events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) return;
            int soerr = PendingError();
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
            HandleClose(WSocketErrorFromErrno(PendingError()));
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
        if (ref.expired() || !FHandle.Valid()) return;
    }
    if (FTls) return TlsPump(false);
    ReceiveLoop(ComponentOptions & wsoNoReceiveLoop);
}

void TCustomWSocket::ReceiveLoop(bool noReceiveLoop) {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    for (;;) {
        FLastError = 0;
        FReadDrained = false;
        try {
            TriggerDataAvailable(0);
        } catch (...) {
            return; // swallowed: an escaping exception only ends the loop
        }
        if (ref.expired() || gen != FHandle.Generation() || !FHandle.Valid()) return;
        if (noReceiveLoop || FLastError != 0) return;
        // A short read emptied the queue; bytes that came after it make the
        // level-triggered poll report the socket again next round.
        if (FReadDrained) return;
        int waiting = BytesWaiting();
        if (waiting <= 0) return;
    }
}

int TCustomWSocket::BytesWaiting() {
    int n = 0;
    if (!FHandle.Valid() || ioctl(FHandle.Fd(), FIONREAD, &n) != 0) {
        FLastError = WSocketErrorFromErrno(errno);
        return -1;
    }
    return n;
}

void TCustomWSocket::HandleWrite() {
    TLifeRef ref = FLife;
    TryToSend();
    if (ref.expired() || !FHandle.Valid()) return;
    if (FAllSent) {
        if (FWantWrite) {
            FWantWrite = false;
            UpdateMask();
        }
        if (FTls && FTls->Status() != TTlsSession::tsEstablished) return; // handshake bytes
        TriggerDataSent(0);
    }
}

void TCustomWSocket::HandleClose(uint16_t err) {
    if (FState == wsConnecting) return;
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    if (FTls && !FRecvShut) {
        TlsPump(true); // every byte that came with the close first
        if (ref.expired()) return;
        // After the peer's close_notify a reset (our own close_notify
        // meeting its closed socket) loses nothing: the end is in order.
        if (FTls && FTls->PeerEnded()) err = 0;
    } else if (!FRecvShut && BytesWaiting() > 0) {
        ReceiveLoop(false); // every byte that came with the close first
        if (ref.expired()) return;
    }
    if (gen == FHandle.Generation()) {
        FireClosed(err);
        if (ref.expired()) return;
    }
    if (gen == FHandle.Generation() && FState != wsClosed) InternalClose(true, 0);
}

void TCustomWSocket::PostWriteNotification() {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    FLoop.Post([this, ref, gen] {
        if (ref.expired() || gen != FHandle.Generation() || !FHandle.Valid()) return;
        try {
            HandleWrite();
        } catch (const std::exception& e) {
            if (!ref.expired()) BgException(e);
        }
    });
}

// --- operations ----------------------------------------------------------------

void TCustomWSocket::Listen() {
    // One report for the first missing setting: the call ends there.
    if (!FPortAssigned) return RaiseException("listen: port not assigned", WSAEINVAL);
    if (!FProtoAssigned) return RaiseException("listen: protocol not assigned", WSAEINVAL);
    if (!FAddrAssigned) return RaiseException("listen: address not assigned", WSAEINVAL);
    TSockAddr sa;
    try {
        int proto = WSocketResolveProto(FProto);
        if (proto != IPPROTO_TCP) throw ESocketException("Only TCP is supported");
        sa = WSocketResolveAddr(FAddr, WSocketResolvePort(FPort, FProto));
    } catch (const ESocketException& e) {
        return RaiseException(std::string("listen: ") + e.what());
    }
    DropQueued();
    // Everything that can fail happens on a handle of our own first, so a
    // failed Listen fires no event and leaves nothing open.
    TSocketHandle fresh(FLoop);
    fresh.Reset(::socket(sa.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fresh.Valid()) return ReportSystemError("socket", errno);
    // A restart must not fail on connections in TIME_WAIT; Linux still
    // refuses a second listener on the same address and port.
    int one = 1;
    if (setsockopt(fresh.Fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0)
        return ReportSystemError("setsockopt(SO_REUSEADDR)", errno);
    // Said either way, so the system's default does not decide whether an
    // IPv6 listener also takes IPv4 clients.
    int v6only = DualStack ? 0 : 1;
    if (sa.Family() == AF_INET6 &&
        setsockopt(fresh.Fd(), IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only) != 0)
        return ReportSystemError("setsockopt(IPV6_V6ONLY)", errno);
    if (::bind(fresh.Fd(), sa.Raw(), sa.Length) != 0) return ReportSystemError("Bind", errno);
    if (::listen(fresh.Fd(), ListenBacklog) != 0) return ReportSystemError("Listen", errno);
    if (!WatchHandle(fresh)) return ReportSystemError("WSAAsyncSelect", errno);
    TSocketHandle spare(FLoop);
    TEventLoop::TTimerId timer = 0;
    if (!PrepareSpare(spare, timer)) return ReportSystemError("Listen (spare handle)", errno);
    ReleaseSpare();
    FHandle.Take(fresh);
    FSpare.Take(spare);
    FBackOffTimer = timer;
    FListening = true;
    uint64_t gen = FHandle.Generation();
    ChangeState(wsBound);
    if (FHandle.Generation() != gen || FState != wsBound) return; // the handler closed it again
    UpdateMask();
    ChangeState(wsListening);
}

int TCustomWSocket::Accept() {
    if (FState != wsListening) {
        RaiseException("not a listening socket", WSAEINVAL);
        return -1;
    }
    int fd = ::accept4(FHandle.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        if (err == EMFILE || err == ENFILE) ShedWaitingConnection();
        SocketError("Accept", err);
        return -1;
    }
    return fd;
}

// --- a listener out of file handles --------------------------------------------

namespace {
constexpr uint32_t kBackOffMs = 100;

int OpenSpare() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}
} // namespace

bool TCustomWSocket::PrepareSpare(TSocketHandle& spare, TEventLoop::TTimerId& timer) {
    spare.Reset(OpenSpare());
    if (!spare.Valid()) return false;
    TLifeRef ref = FLife;
    timer = FLoop.AddIdleTimer([this, ref] {
        if (!ref.expired()) EndBackOff();
    });
    if (!timer && errno == 0) errno = EMFILE;
    return timer != 0;
}

void TCustomWSocket::ReleaseSpare() {
    FSpare.Close();
    FShed.Close();
    if (FBackOffTimer) FLoop.CancelTimer(FBackOffTimer);
    FBackOffTimer = 0;
    FBackingOff = false;
}

void TCustomWSocket::ShedWaitingConnection() {
    if (FShed.Valid() || FBackingOff) return;
    int fd = -1;
    int err = EAGAIN;
    if (FSpare.Valid()) {
        FSpare.Close(); // its number is the one accept takes now
        fd = ::accept4(FHandle.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        err = errno;
    }
    if (fd < 0) {
        FSpare.Reset(OpenSpare());
        // Nothing waiting after all is no reason to stop; no spare is.
        if (err != EAGAIN || !FSpare.Valid()) BackOff();
        return;
    }
    FShed.Reset(fd);
    UpdateMask(); // quiet until the shed connection is gone
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    FLoop.Post([this, ref, gen] {
        if (!ref.expired() && gen == FHandle.Generation()) FinishShed();
    });
}

void TCustomWSocket::FinishShed() {
    if (OnSessionShed && FShed.Valid()) {
        TLifeRef ref = FLife;
        try {
            OnSessionShed(*this, FShed.Fd());
        } catch (const std::exception& e) {
            if (!ref.expired()) BgException(e);
        }
        if (ref.expired()) return;
    }
    FShed.Close();
    if (!FListening) return; // the handler closed the listener
    FSpare.Reset(OpenSpare());
    if (!FSpare.Valid()) return BackOff();
    UpdateMask();
}

void TCustomWSocket::BackOff() {
    FBackingOff = FBackOffTimer && FLoop.StartTimer(FBackOffTimer, kBackOffMs);
    UpdateMask();
}

void TCustomWSocket::EndBackOff() {
    FBackingOff = false;
    if (!FListening) return;
    if (!FSpare.Valid()) FSpare.Reset(OpenSpare());
    UpdateMask();
}

int TCustomWSocket::ApplyLingerTo(int fd) {
    linger l{};
    l.l_onoff = LingerOnOff == wsLingerOn ? 1 : 0;
    l.l_linger = LingerTimeout;
    return setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0 ? 0 : errno;
}

void TCustomWSocket::ApplyLinger() {
    if (LingerOnOff == wsLingerNoSet) return;
    if (!FHandle.Valid()) return RaiseException("Cannot set linger option at this time");
    if (int err = ApplyLingerTo(FHandle.Fd())) SocketError("setsockopt(SO_LINGER)", err);
}

void TCustomWSocket::Dup(int handle) {
    if (handle == 0 || handle == -1)
        return RaiseException("Error 10022 in function Dup\r\nInvalid argument", WSAEINVAL);
    // The new handle is made ready before the old one is given up: a Dup
    // that fails here leaves the socket as it was and the handle with its
    // caller.
    if (LingerOnOff != wsLingerNoSet) {
        if (int err = ApplyLingerTo(handle)) return ReportSystemError("setsockopt(SO_LINGER)", err);
    }
    TSocketHandle fresh(FLoop);
    fresh.Reset(handle);
    if (!WatchHandle(fresh)) {
        int err = errno;
        fresh.Release();
        return ReportSystemError("WSAAsyncSelect", err);
    }
    if (FState != wsClosed) {
        // The old handle is gone even when its close reports an error; the
        // socket says so before reporting, and the new handle stays with the
        // caller.
        StopBatching();
        int err = FHandle.Close();
        ReleaseSpare();
        ChangeState(wsClosed);
        if (err != 0) {
            fresh.Release();
            return ReportSystemError("Dup (closesocket)", err);
        }
    }
    FHandle.Take(fresh);
    TlsReset();
    FListening = false;
    FRecvShut = false;
    FCloseNotified = false;
    FFileCorked = FFileLowWater = false; // options of the old handle
    FUncorkQueued = false;               // a check still queued was for it
    // A freshly connected socket is writable: with an empty queue OnDataSent
    // fires once right after the connection is established.
    FWantWrite = true;
    UpdateMask();
    ChangeState(wsConnected);
}

void TCustomWSocket::Connect() {
    if (FHandle.Valid() && FState != wsClosed) return RaiseException("Connect: Socket already in use");
    if (!FPortAssigned) return RaiseException("Connect: No Port Specified");
    if (!FAddrAssigned) return RaiseException("Connect: No IP Address Specified");
    if (!FProtoAssigned) return RaiseException("Connect: No Protocol Specified");
    TSockAddr remote, local;
    bool bindLocal = false;
    try {
        int proto = WSocketResolveProto(FProto);
        if (proto != IPPROTO_TCP) throw ESocketException("Only TCP is supported");
        uint16_t port = WSocketResolvePort(FPort, FProto);
        uint16_t lport = WSocketResolvePort(FLocalPort.empty() ? "0" : FLocalPort, FProto);
        remote = WSocketResolveAddr(FAddr, port);
        // The default local address means "any" in the remote's family.
        local = FLocalAddr == "0.0.0.0" ? WSocketAnyAddr(remote.Family(), lport)
                                        : WSocketResolveAddr(FLocalAddr, lport);
        bindLocal = lport != 0 || FLocalAddr != "0.0.0.0";
    } catch (const ESocketException& e) {
        return RaiseException(std::string("connect: ") + e.what());
    }
    DropQueued();
    // As in Listen: a Connect that fails before the connection is under way
    // fires nothing and leaves nothing open.
    TSocketHandle fresh(FLoop);
    fresh.Reset(::socket(remote.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fresh.Valid()) return ReportSystemError("Connect (socket)", errno);
    int fd = fresh.Fd();
    int one = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0)
        return ReportSystemError("setsockopt(SO_REUSEADDR)", errno);
    if ((ComponentOptions & wsoTcpNoDelay) && setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0)
        return ReportSystemError("setsockopt(IPPROTO_TCP, TCP_NODELAY)", errno);
    if (LingerOnOff != wsLingerNoSet) {
        if (int err = ApplyLingerTo(fd)) return ReportSystemError("setsockopt(SO_LINGER)", err);
    }
    if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0)
        return ReportSystemError("setsockopt(SO_KEEPALIVE)", errno);
    std::string boundPort;
    if (bindLocal) {
        if (::bind(fd, local.Raw(), local.Length) != 0) {
            int code = WSocketErrorFromErrno(errno);
            return RaiseException("winsock.bind failed, error #" + std::to_string(code), code);
        }
        TSockAddr bound;
        bound.Length = sizeof bound.Storage;
        if (getsockname(fd, bound.Raw(), &bound.Length) != 0) {
            int code = WSocketErrorFromErrno(errno);
            return RaiseException("winsock.getsockname failed, error #" + std::to_string(code), code);
        }
        boundPort = WSocketPortText(bound.Raw());
    }
    if (!WatchHandle(fresh)) return ReportSystemError("WSAAsyncSelect", errno);
    if (::connect(fd, remote.Raw(), remote.Length) != 0 && errno != EINPROGRESS)
        return ReportSystemError("Connect", errno);
    if (bindLocal) FLocalPort = boundPort;
    FHandle.Take(fresh);
    FCloseNotified = false;
    FRecvShut = false;
    FListening = false;
    uint64_t gen = FHandle.Generation();
    ChangeState(wsOpened);
    if (FState != wsOpened) return RaiseException("Connect (Invalid operation in OnChangeState)", WSAEINVAL);
    if (FHandle.Generation() != gen) return;
    ChangeState(wsConnecting);
    if (FHandle.Generation() == gen && FState == wsConnecting) UpdateMask();
}

int TCustomWSocket::Send(const void* data, int length) {
    if (FState != wsConnected && FState != wsSocksConnected) {
        SocketError("Send", ENOTCONN);
        return -1;
    }
    if (length <= 0) return 0;
    if (!FTls) return SendRaw(data, length);
    if (FSendFailed) return length;
    const char* p = static_cast<const char*>(data);
    if (FTls->Status() == TTlsSession::tsHandshaking) {
        FTlsPlain.append(p, size_t(length));
    } else if (!FTls->Write(p, length)) {
        FatalSendError(ECONNABORTED); // closes from the loop
        return length;
    }
    TlsFlush();
    return length;
}

int TCustomWSocket::SendRaw(const void* data, int length) {
    const int total = length;
    if (FSendFailed) return total; // the connection is ending; its close is on the way
    FAllSent = false;
    const char* p = static_cast<const char*>(data);
    if (FQueue.empty() || (FQueue.size() == 1 && FQueue.front()->Unread() == 0)) {
        // Nothing is waiting: offer the bytes to the system straight from the
        // caller's memory and queue only what it did not take.
        int flags = MSG_NOSIGNAL | (FSendFlags == wsSendUrgent ? MSG_OOB : 0);
        ssize_t n = ::send(FHandle.Fd(), p, size_t(length), flags);
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
    if (!FHandle.Valid() || FSendFailed) return total;
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
    DropQueued();
    if (FSendFailed) return true;
    FSendFailed = true;
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    FLoop.Post([this, ref, gen, code] {
        if (ref.expired() || gen != FHandle.Generation() || !FHandle.Valid()) return;
        InternalClose(false, code);
    });
    return true;
}

int TCustomWSocket::SendText(const std::string& text) {
    if (text.empty()) return 0;
    return Send(text.data(), int(text.size()));
}

void TCustomWSocket::TryToSend() {
    if (!FHandle.Valid()) return;
    if (FFileLeft > 0) {
        if (SendFileRange()) FAllSent = true;
        return;
    }
    if (FQueue.empty()) return;
    int flags = MSG_NOSIGNAL | (FSendFlags == wsSendUrgent ? MSG_OOB : 0);
    for (;;) {
        int count = 0;
        const char* p = FQueue.front()->Peek(count);
        if (count > 0) {
            ssize_t n = ::send(FHandle.Fd(), p, size_t(count), flags);
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
    if (!FHandle.Valid()) {
        FLastError = WSAENOTCONN;
        return -1;
    }
    if (FTls) return TlsReceive(buffer, size);
    ssize_t n = ::recv(FHandle.Fd(), buffer, size_t(size > 0 ? size : 0), 0);
    if (n < 0) {
        FLastError = WSocketErrorFromErrno(errno);
        return -1;
    }
    FReadCount += n;
    FReadDrained = n < size;
    if (FBatching && n > 0) NoteBatchRead(int(n));
    return int(n);
}

void TCustomWSocket::Shutdown(int how) {
    if (!FHandle.Valid()) return;
    ::shutdown(FHandle.Fd(), how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
    if (how == 0 || how == 2) {
        FRecvShut = true;
        UpdateMask();
    }
}

void TCustomWSocket::InternalClose(bool shutdownSend, uint16_t err) {
    if (!FHandle.Valid()) {
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            ResetStep();
        }
        return;
    }
    if (FState == wsClosed) return;
    TlsCancelTimer();
    StopBatching();
    if (shutdownSend) ::shutdown(FHandle.Fd(), SHUT_WR);
    int closeErr = FHandle.Close();
    ReleaseSpare();
    bool failed = closeErr != 0 && closeErr != EINTR;
    uint64_t gen = FHandle.Generation();
    TLifeRef ref = FLife;
    ChangeState(wsClosed);
    if (ref.expired()) return;
    FireClosed(err);
    if (ref.expired()) return;
    // A handler that opened the socket again keeps its new settings.
    if (gen == FHandle.Generation() && !FHandle.Valid() && FState == wsClosed) {
        try {
            ResetStep();
        } catch (...) {
        }
    }
    if (failed) SocketError("Disconnect (closesocket)", closeErr);
}

void TCustomWSocket::Close() {
    if (FTls && FTls->Status() == TTlsSession::tsEstablished && FState == wsConnected && !FSendFailed) {
        FTls->Shutdown(); // close_notify, so the peer can tell the end from a cut
        TlsFlush();
    }
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
    if (FTls && FTls->HasPending()) {
        // Decrypted bytes wait in the session, where readiness cannot see them.
        TLifeRef ref = FLife;
        uint64_t gen = FHandle.Generation();
        FLoop.Post([this, ref, gen] {
            if (!ref.expired() && gen == FHandle.Generation() && !FPaused) TlsReceiveLoop();
        });
    }
}

void TCustomWSocket::Abort() {
    DropQueued();
    if (FState == wsConnected && FHandle.Valid()) {
        LingerOnOff = wsLingerOff;
        ApplyLinger();
    }
    InternalClose(false, 0);
}

// --- addresses -------------------------------------------------------------------

bool TCustomWSocket::PeerSockAddr(TSockAddr& addr) const {
    addr = {};
    addr.Length = sizeof addr.Storage;
    return FState == wsConnected && FHandle.Valid() &&
           getpeername(FHandle.Fd(), addr.Raw(), &addr.Length) == 0;
}

std::string TCustomWSocket::PeerAddr() const {
    TSockAddr sa;
    return PeerSockAddr(sa) ? WSocketAddrText(sa.Raw()) : "error";
}

std::string TCustomWSocket::PeerPort() const {
    TSockAddr sa;
    return PeerSockAddr(sa) ? WSocketPortText(sa.Raw()) : "error";
}

bool TCustomWSocket::GetLocalSockAddr(TSockAddr& addr) const {
    addr = {};
    addr.Length = sizeof addr.Storage;
    return FHandle.Valid() && getsockname(FHandle.Fd(), addr.Raw(), &addr.Length) == 0;
}

bool TCustomWSocket::GetLocalSockAddr(sockaddr_in& addr) const {
    addr = {};
    TSockAddr any;
    if (!GetLocalSockAddr(any)) return false;
    if (any.Family() == AF_INET) {
        std::memcpy(&addr, &any.Storage, sizeof addr);
        return true;
    }
    // An IPv6 socket answers for an IPv4 client through a mapped address.
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(any.Storage);
    if (!IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr)) return false;
    addr.sin_family = AF_INET;
    addr.sin_port = in6.sin6_port;
    std::memcpy(&addr.sin_addr, &in6.sin6_addr.s6_addr[12], sizeof addr.sin_addr);
    return true;
}

std::string TCustomWSocket::GetLocalAddrText() const {
    TSockAddr sa;
    if ((FState != wsBound && FState != wsConnected && FState != wsListening) || !GetLocalSockAddr(sa))
        return "error";
    return WSocketAddrText(sa.Raw());
}

std::string TCustomWSocket::GetLocalPortText() const {
    TSockAddr sa;
    if ((FState != wsBound && FState != wsConnected && FState != wsListening) || !GetLocalSockAddr(sa))
        return "error";
    return WSocketPortText(sa.Raw());
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

void TCustomWSocket::TriggerTlsHandshakeDone(uint16_t err) {
    if (OnTlsHandshakeDone) OnTlsHandshakeDone(*this, err);
}

void TCustomWSocket::TriggerChangeState(TSocketState oldState, TSocketState newState) {
    if (OnChangeState) OnChangeState(*this, oldState, newState);
}

} // namespace vendrix::net
