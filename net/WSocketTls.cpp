// The TLS mode of TCustomWSocket: the socket moves ciphertext between the
// system and its TTlsSession and fires its usual events for the plaintext.
#include "WSocket.h"

#include <cerrno>
#include <sys/socket.h>

namespace vendrix::net {

namespace {
constexpr int kRawChunk = 64 * 1024;
} // namespace

void TCustomWSocket::StartTls(TTlsContext& ctx, TTlsResumption resume) {
    if (FState != wsConnected || !FHandle.Valid())
        return RaiseException("StartTls: socket not connected", WSAENOTCONN);
    if (FTls) return RaiseException("StartTls: TLS already started", WSAEINVAL);
    auto tls = std::make_unique<TTlsSession>(ctx, std::move(resume));
    if (!tls->Valid()) return RaiseException("StartTls: " + tls->Error(), WSAEINVAL);
    if (!TlsIssueTickets) tls->NoTickets();
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    TEventLoop::TTimerId timer = FLoop.AddTimer(TlsHandshakeTimeoutMs, false, [this, ref, gen] {
        if (ref.expired() || gen != FHandle.Generation()) return;
        FTlsTimer = 0;
        if (!FTls || FTls->Status() != TTlsSession::tsHandshaking) return;
        try {
            TlsFail(WSAETIMEDOUT, "TLS handshake timed out");
        } catch (const std::exception& e) {
            if (!ref.expired()) BgException(e);
        }
    });
    if (!timer) return RaiseException("StartTls: no timer for the handshake time limit", WSAEMFILE);
    FTls = std::move(tls);
    FTlsTimer = timer;
    FTlsPlain.clear();
    FTlsError.clear();
    FTlsPeerEof = false;
    if (!ctx.IsServer()) {
        FTls->Advance(); // the client speaks first
        TlsFlush();
    }
}

TTlsState TCustomWSocket::TlsState() const {
    if (!FTls) return tlsOff;
    switch (FTls->Status()) {
    case TTlsSession::tsHandshaking:
        return tlsHandshaking;
    case TTlsSession::tsEstablished:
        return tlsEstablished;
    default:
        return tlsFailed;
    }
}

void TCustomWSocket::TlsCloseNotify() {
    if (!FTls || FTls->Status() != TTlsSession::tsEstablished || FState != wsConnected || FSendFailed) return;
    FTls->Shutdown();
    TlsFlush();
}

void TCustomWSocket::TlsCancelTimer() {
    if (FTlsTimer) FLoop.CancelTimer(FTlsTimer);
    FTlsTimer = 0;
}

void TCustomWSocket::TlsReset() {
    TlsCancelTimer();
    FTls.reset();
    FTlsPlain.clear();
    FTlsPeerEof = false;
}

void TCustomWSocket::TlsFlush() {
    if (!FTls || !FTls->HasOutput() || !FHandle.Valid()) return;
    std::string out = FTls->TakeOutput();
    SendRaw(out.data(), int(out.size()));
}

int TCustomWSocket::TlsReceive(void* buffer, int size) {
    if (FTls->Status() == TTlsSession::tsEstablished) {
        int n = FTls->Read(static_cast<char*>(buffer), size);
        // A peer that ends the session and waits for our close_notify before
        // closing (as one that unwraps its data connection does) gets it.
        if (n == 0 && !FTlsPeerEof) FTls->Shutdown();
        TlsFlush(); // a read may owe the peer an answer (a key update)
        if (n >= 0) {
            FReadCount += n;
            return n;
        }
        if (FTls->Status() == TTlsSession::tsEstablished) {
            if (FTlsPeerEof) return 0; // cut without close_notify: the end all the same
            FLastError = WSAEWOULDBLOCK;
            return -1;
        }
        FTlsError = FTls->Error();
        FatalSendError(ECONNABORTED); // closes from the loop
    }
    FLastError = FTls->Status() == TTlsSession::tsHandshaking ? WSAEWOULDBLOCK : WSAECONNABORTED;
    return -1;
}

void TCustomWSocket::TlsPump(bool all) {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    char chunk[kRawChunk];
    // Everything the system holds is taken at once: each read empties its
    // buffer faster than a peer refills it, so this ends, and bytes left
    // behind in the system while decrypted ones wait were seen to be lost at
    // the peer's close (see the test of data sent before the close).
    while (!FTlsPeerEof) {
        ssize_t n = ::recv(FHandle.Fd(), chunk, sizeof chunk, 0);
        if (n > 0) {
            FTls->Feed(chunk, int(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            FTlsPeerEof = true; // an error reads as the end; the close reports it
        } else if (errno == EAGAIN) {
            break;
        }
    }
    if (FTls->Status() == TTlsSession::tsHandshaking) {
        TTlsSession::TStatus status = FTls->Advance();
        TlsFlush(); // the handshake's next flight, or the alert that ends it
        if (ref.expired() || gen != FHandle.Generation() || !FTls) return;
        if (status == TTlsSession::tsFailed) return TlsFail(WSAECONNABORTED, FTls->Error());
        if (status == TTlsSession::tsHandshaking) {
            if (FTlsPeerEof) TlsFail(WSAECONNABORTED, "connection closed during the TLS handshake");
            return;
        }
        TlsCancelTimer();
        if (!FTlsPlain.empty()) {
            std::string plain;
            plain.swap(FTlsPlain);
            FTls->Write(plain.data(), int(plain.size()));
            TlsFlush();
        }
        TriggerTlsHandshakeDone(0);
        if (ref.expired() || gen != FHandle.Generation() || !FTls) return;
    }
    TlsReceiveLoop();
    // At the peer's close every decrypted byte goes out before the closed
    // event, one event per round or not.
    while (all && FTls && FTls->HasPending() && FHandle.Valid() && !FPaused) {
        int64_t before = FReadCount;
        TlsReceiveLoop();
        if (ref.expired() || gen != FHandle.Generation() || FReadCount == before) return;
    }
}

void TCustomWSocket::TlsReceiveLoop() {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    // Bounded by progress: a handler that reads nothing ends the round.
    while (FTls && FTls->HasPending() && FTls->Status() == TTlsSession::tsEstablished) {
        int64_t before = FReadCount;
        FLastError = 0;
        try {
            TriggerDataAvailable(0);
        } catch (...) {
            return; // swallowed, as in ReceiveLoop
        }
        if (ref.expired() || gen != FHandle.Generation() || !FHandle.Valid() || FPaused) return;
        if (FReadCount == before || (FLastError != 0 && FLastError != WSAEWOULDBLOCK)) return;
        if (ComponentOptions & wsoNoReceiveLoop) {
            // One event per round, as readiness gives it without TLS.
            if (FTls->HasPending()) {
                FLoop.Post([this, ref, gen] {
                    if (!ref.expired() && gen == FHandle.Generation() && FHandle.Valid() && !FPaused)
                        TlsReceiveLoop();
                });
            }
            return;
        }
    }
}

void TCustomWSocket::TlsFail(uint16_t code, const std::string& why) {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    TlsCancelTimer();
    FTlsError = why;
    FLastError = code;
    TriggerTlsHandshakeDone(code);
    if (ref.expired() || gen != FHandle.Generation() || FState == wsClosed) return;
    InternalClose(true, code);
}

} // namespace vendrix::net
