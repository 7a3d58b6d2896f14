// The asynchronous TCP socket every network endpoint of the server is built
// on: non-blocking, driven by readiness notifications from the event loop,
// with an unbounded send queue and events that fire from the loop.
//
// Who calls what: all operations are called from the loop's thread (inside
// event handlers or posted tasks). Events fire only from the loop, never from
// inside the operation that caused them, with one exception the engine relies
// on: Close and Abort fire OnSessionClosed synchronously, as a graceful close
// of a connection does on the original platform. An operation that fails
// raises ESocketException (or fires OnError when assigned) and fires no event
// for the failed call.
//
// Out of file handles: a listening socket keeps one spare handle. When
// Accept fails for lack of handles (it still reports 10024 and returns -1),
// the socket closes the spare, takes the waiting connection with it and
// sheds it: OnSessionShed fires from the loop with that connection's handle,
// the handler may write a short refusal to it (non-blocking; it must not keep
// the handle), then the socket closes it and takes its spare again. So the
// accept queue keeps moving while handles are exhausted, the listener never
// spins on it and needs no pausing, and accepting resumes by itself once
// handles are free. Should even the spare be lost, the listener stops asking
// for connections for a moment on a timer made by Listen, which needs no new
// handle to fire. A listener its owner has paused stays paused until the
// owner resumes it, so an owner that pauses on a failed Accept must not need
// a new handle (a new timer, say) to resume.
#pragma once

#include "Buffer.h"
#include "EventLoop.h"
#include "Resolve.h"
#include "SocketHandle.h"
#include "TlsSession.h"
#include "WSocketErrors.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <string>

namespace vendrix::net {

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsSocksConnected,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};
// The TLS mode of a connection: off until StartTls, then the handshake, then
// established (or failed, just before the connection closes).
enum TTlsState { tlsOff, tlsHandshaking, tlsEstablished, tlsFailed };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TWSocketOption : unsigned { wsoNoReceiveLoop = 1, wsoTcpNoDelay = 2 };
using TWSocketOptions = unsigned;

const char* SocketStateName(TSocketState state);

class TCustomWSocket {
public:
    using TSessionEvent = std::function<void(TCustomWSocket& Sender, uint16_t ErrCode)>;
    using TSendData = std::function<void(TCustomWSocket& Sender, int BytesSent)>;
    using TChangeState =
        std::function<void(TCustomWSocket& Sender, TSocketState OldState, TSocketState NewState)>;
    using TErrorEvent = std::function<void(TCustomWSocket& Sender)>;
    using TShedEvent = std::function<void(TCustomWSocket& Sender, int Handle)>;
    using TBgExceptionEvent =
        std::function<void(TCustomWSocket& Sender, const std::exception& E, bool& CanClose)>;

    explicit TCustomWSocket(TEventLoop& loop = TEventLoop::Instance());
    virtual ~TCustomWSocket();
    TCustomWSocket(const TCustomWSocket&) = delete;
    TCustomWSocket& operator=(const TCustomWSocket&) = delete;

    // --- properties -------------------------------------------------------
    // Addr, Port, Proto, LocalAddr and LocalPort change only while closed.
    // Addr and LocalAddr take a dotted IPv4 address, an IPv6 literal ("::1",
    // "[::1]", "::") or a host name (looked up for IPv4).
    const std::string& Addr() const { return FAddr; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return FProto; }
    void SetProto(const std::string& value);
    bool AddrAssigned() const { return FAddrAssigned; }
    bool PortAssigned() const { return FPortAssigned; }
    bool ProtoAssigned() const { return FProtoAssigned; }
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return FLocalPort; }
    void SetLocalPort(const std::string& value);

    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    uint16_t LingerTimeout = 0;
    TWSocketOptions ComponentOptions = 0;
    int ListenBacklog = 5;
    // An IPv6 listener ("::") takes IPv4 clients too (IPV6_V6ONLY off);
    // without it, IPv6 clients only. IPv4 peers then read as dotted IPv4.
    bool DualStack = false;
    bool ReuseAddr = false;
    std::string Name;

    TSocketSendFlags SendFlags() const { return FSendFlags; }
    void SetSendFlags(int flags);
    // Capacity of each new send-queue block (1460 by default).
    int SendBlockSize() const { return FSendBlockSize; }
    void SetSendBlockSize(int size) { FSendBlockSize = size > 0 ? size : 1460; }

    TSocketState State() const { return FState; }
    int LastError() const { return FLastError; }
    int64_t ReadCount() const { return FReadCount; }
    int HSocket() const { return FHandle.Fd(); }
    bool AllSent() const { return FAllSent; }
    // Bytes waiting in the send queue.
    int64_t BufferedBytes() const;

    // --- operations --------------------------------------------------------
    void Listen();
    // The handle of the next waiting connection (listening sockets only);
    // -1 when none could be taken and reporting did not raise.
    int Accept();
    // Adopts an accepted handle; the socket becomes wsConnected without
    // OnSessionConnected.
    void Dup(int handle);
    void Connect();
    // Queues the bytes and returns the full length; OnDataSent fires from the
    // loop once the queue has drained.
    int Send(const void* data, int length);
    int SendText(const std::string& text);
    // Sends up to `count` bytes of the open file `fd`, from the file's
    // position on (which advances as the bytes go), straight from the file to
    // the connection with sendfile(2): no copy through the process. Plain
    // connections with nothing queued only; false otherwise, and then nothing
    // is sent and nothing fires. The file must stay open until OnDataSent.
    // OnSendData fires for every part the system takes; OnDataSent fires from
    // the loop once the range has gone, or once the file ended before its end
    // (FileShortfall says how many bytes did not come) or could not be read
    // (FileError gives the errno). Data connections of downloads use it.
    // While ranges go, the connection sends only full segments (TCP_CORK,
    // lifted at the end of the loop round in which the last range was handed
    // over, unless the next one follows, so no byte waits on it) and keeps
    // little unsent data queued (TCP_NOTSENT_LOWAT): the process then hands
    // the system each part itself when the peer has taken the last one,
    // instead of the peer's acknowledgements sending it on the reader's time.
    bool SendFile(int fd, int64_t count);
    // Whether SendFile can be used now.
    bool CanSendFile() const;
    int64_t FileShortfall() const { return FFileShort; }
    int FileError() const { return FFileError; }
    // Bytes read (0 at end of stream, -1 on error with LastError set).
    int Receive(void* buffer, int size);
    void Shutdown(int how);
    void Close();
    // Closes from the loop, after the current handler has returned.
    void CloseLater();
    void Abort();
    // Pause stops delivering notifications (a listener out of file handles
    // must not spin); Resume delivers them again.
    void Pause();
    void Resume();
    bool Paused() const { return FPaused; }

    std::string PeerAddr() const;
    std::string PeerPort() const;
    std::string GetLocalAddrText() const;
    std::string GetLocalPortText() const;
    // The raw local address (family, port, IPv4 address); false when the
    // system query fails or the address is IPv6 (an IPv4-mapped one is given
    // as the IPv4 address).
    bool GetLocalSockAddr(sockaddr_in& addr) const;
    // The local address of either family.
    bool GetLocalSockAddr(TSockAddr& addr) const;

    // --- TLS mode ---------------------------------------------------------------
    // From StartTls on, the bytes sent are encrypted and OnDataAvailable fires
    // for decrypted bytes that Receive returns; OnDataSent and OnSendData keep
    // their meaning for the encrypted bytes. The handshake runs on the loop:
    // data sent before it ends waits for it, OnDataSent stays quiet while it
    // runs, and OnTlsHandshakeDone fires from the loop when it ends, with 0 or
    // with WSAECONNABORTED (the peer failed it or closed) or WSAETIMEDOUT
    // (it took longer than TlsHandshakeTimeoutMs); a failed handshake then
    // closes the connection (OnSessionClosed with the same code), and
    // TlsError says why. Connected sockets only, once per connection; the
    // context must outlive the connection. A client offers `resume` (a
    // session of an earlier connection) to the server; the server side never
    // needs it. Raises and fires nothing when it fails.
    void StartTls(TTlsContext& ctx, TTlsResumption resume = {});
    uint32_t TlsHandshakeTimeoutMs = 30000;
    // A server connection sends TLS 1.3 session tickets after its handshake
    // (read at StartTls).
    bool TlsIssueTickets = true;
    TTlsState TlsState() const;
    // After the handshake: whether it resumed an earlier session, the session
    // to resume on a later connection (a TLS 1.3 client has it once the
    // server's first data has been read), protocol and cipher names.
    bool TlsSessionReused() const { return FTls && FTls->Reused(); }
    TTlsResumption TlsSession() const { return FTls ? FTls->Session() : TTlsResumption(); }
    std::string TlsVersion() const { return FTls ? FTls->Version() : ""; }
    std::string TlsCipher() const { return FTls ? FTls->Cipher() : ""; }
    // Server side, after the handshake: the tag of the connection's session
    // and of the session it resumed (0: none); see TTlsSession::Tag. A data
    // connection resumed its control connection's session when its
    // TlsResumedTag is the control connection's TlsSessionTag.
    uint64_t TlsSessionTag() const { return FTls ? FTls->Tag() : 0; }
    uint64_t TlsResumedTag() const { return FTls ? FTls->ResumedTag() : 0; }
    const std::string& TlsError() const { return FTlsError; }
    // Sends the close_notify alert now, ahead of Close (established TLS
    // only; once). A sender that waits for AllSent afterwards knows the
    // alert has reached the kernel: Close sends it too, but cannot wait for
    // room in a full send buffer.
    void TlsCloseNotify();
    bool TlsCloseNotified() const { return FTls && FTls->SentShutdown(); }

    // --- events --------------------------------------------------------------
    TSessionEvent OnSessionAvailable;
    TSessionEvent OnSessionConnected;
    TSessionEvent OnDataAvailable;
    TSessionEvent OnDataSent;
    TSessionEvent OnSessionClosed;
    TSendData OnSendData;
    TChangeState OnChangeState;
    TErrorEvent OnError;
    // A waiting connection shed for lack of file handles (see the top).
    TShedEvent OnSessionShed;
    TBgExceptionEvent OnBgException;
    TSessionEvent OnTlsHandshakeDone;

    TEventLoop& Loop() const { return FLoop; }

    // Bulk receiving, for upload data connections (loop thread, connected
    // socket). Once a read finds kBatchTrigger bytes waiting, the peer is
    // sending fast and the system is asked to hold the connection unreadable
    // until kBatchBytes wait (SO_RCVLOWAT): each read then takes a large
    // piece instead of one per arriving segment. When no read came for
    // kBatchIdleMs the mark is back to one byte, so a stream that slowed down
    // is read at once again; the end of the stream is reported as ever.
    // Plain connections only: over TLS this does nothing. Closing the
    // connection ends it.
    static constexpr int kBatchTrigger = 64 * 1024;
    static constexpr int kBatchBytes = 256 * 1024;
    static constexpr uint32_t kBatchIdleMs = 50;
    void SetReceiveBatching(bool on);

protected:
    // Hooks a derived socket overrides to see its own events first; the
    // defaults fire the assigned handlers.
    virtual void TriggerDataAvailable(uint16_t err);
    virtual void TriggerSessionClosed(uint16_t err);
    virtual void TriggerDataSent(uint16_t err);
    virtual void TriggerSessionConnected(uint16_t err);
    virtual void TriggerSessionAvailable(uint16_t err);
    virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);
    virtual void TriggerTlsHandshakeDone(uint16_t err);

    // Reports a failed system call: "Error N in function F" plus the code's
    // description; closes the connection on 10054/10057.
    void SocketError(const std::string& func, int errnoValue);
    // Reports a refusal (no description line) with an explicit code.
    void RaiseException(const std::string& msg, int code = 0);
    // Number of bytes the system holds for reading; -1 on failure.
    int BytesWaiting();

    TLifeRef LifeRef() const { return FLife; }

private:
    void ChangeState(TSocketState newState);
    void ResetStep();
    void InternalClose(bool shutdownSend, uint16_t err);
    void ApplyLinger();
    int ApplyLingerTo(int fd);
    bool WatchHandle(TSocketHandle& handle);
    void UpdateMask();
    int PendingError();
    // The "Error N in function F" report without SocketError's closing on
    // 10054/10057: for failures on a handle the socket does not own yet.
    void ReportSystemError(const std::string& func, int errnoValue);
    void Dispatch(uint32_t events);
    void HandleConnect(uint16_t err);
    void HandleRead(uint16_t err);
    void HandleWrite();
    void HandleClose(uint16_t err);
    void ReceiveLoop(bool noReceiveLoop);
    void TryToSend();
    // The sendfile part of TryToSend: false while the range still waits for
    // the system to take more.
    bool SendFileRange();
    void CorkFileRange(bool on);
    void UncorkAtRoundEnd();
    void QueueUncorkCheck();
    void DropQueued();
    bool FatalSendError(int err);
    void PostWriteNotification();
    void BgException(const std::exception& e);
    void FireClosed(uint16_t err);
    bool PeerSockAddr(TSockAddr& addr) const;
    bool PrepareSpare(TSocketHandle& spare, TEventLoop::TTimerId& timer);
    void ReleaseSpare();
    void ShedWaitingConnection();
    void FinishShed();
    void BackOff();
    void EndBackOff();
    // The unencrypted send path; Send encrypts first in TLS mode.
    int SendRaw(const void* data, int length);
    int TlsReceive(void* buffer, int size);
    // Reads what the system holds into the TLS session (all of it when
    // `all`, else a bounded amount), moves the handshake on and delivers
    // decrypted bytes.
    void TlsPump(bool all);
    void TlsReceiveLoop();
    void TlsFlush();
    void TlsFail(uint16_t code, const std::string& why);
    void TlsCancelTimer();
    void TlsReset();
    void NoteBatchRead(int bytes);
    void BatchTick();
    void SetLowWater(int bytes);
    void StopBatching();

    TEventLoop& FLoop;
    TLifeToken FLife;
    std::string FAddr, FPort, FProto = "tcp";
    bool FAddrAssigned = false, FPortAssigned = false, FProtoAssigned = true;
    std::string FLocalAddr = "0.0.0.0", FLocalPort = "0";
    TSocketSendFlags FSendFlags = wsSendNormal;
    int FSendBlockSize = 1460;
    TSocketState FState = wsClosed;
    int FLastError = 0;
    int64_t FReadCount = 0;
    // The last Receive took less than it asked for: the system held no more
    // at that moment, so the receive loop need not ask how much is waiting.
    bool FReadDrained = false;
    TSocketHandle FHandle;
    // A listener's spare handle, the connection being shed with it, and the
    // timer that ends a pause for lack of handles.
    TSocketHandle FSpare;
    TSocketHandle FShed;
    TEventLoop::TTimerId FBackOffTimer = 0;
    bool FBackingOff = false;
    bool FWantWrite = false;
    bool FRecvShut = false;
    bool FAllSent = true;
    bool FCloseNotified = false;
    bool FDestroying = false;
    bool FListening = false;
    bool FSendFailed = false;
    bool FPaused = false;
    std::deque<std::unique_ptr<TBuffer>> FQueue;
    // The file range of SendFile still to go, and how the last one ended.
    int FFileFd = -1;
    int64_t FFileLeft = 0;
    int64_t FFileShort = 0;
    bool FFileCorked = false;
    bool FUncorkQueued = false; // an uncork waits for the round's end
    int FUncorkRounds = 0;      // round ends it may still wait for the next range
    bool FFileLowWater = false; // TCP_NOTSENT_LOWAT set (once per connection)
    int FFileError = 0;
    std::unique_ptr<TTlsSession> FTls;
    std::string FTlsPlain; // sent before the handshake ended
    std::string FTlsError;
    TEventLoop::TTimerId FTlsTimer = 0;
    bool FTlsPeerEof = false;
    // Bulk receiving: asked for, the mark raised, a read since the last tick.
    bool FBatching = false;
    bool FLowWater = false;
    bool FReadSinceTick = false;
    TEventLoop::TTimerId FBatchTimer = 0;
};

// The class instantiated for listening sockets and data connections.
class TWSocket : public TCustomWSocket {
public:
    using TCustomWSocket::TCustomWSocket;
};

} // namespace vendrix::net
