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
#pragma once

#include "Buffer.h"
#include "EventLoop.h"
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
    using TBgExceptionEvent =
        std::function<void(TCustomWSocket& Sender, const std::exception& E, bool& CanClose)>;

    explicit TCustomWSocket(TEventLoop& loop = TEventLoop::Instance());
    virtual ~TCustomWSocket();
    TCustomWSocket(const TCustomWSocket&) = delete;
    TCustomWSocket& operator=(const TCustomWSocket&) = delete;

    // --- properties -------------------------------------------------------
    // Addr, Port, Proto, LocalAddr and LocalPort change only while closed.
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
    int HSocket() const { return FHSocket; }
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
    // system query fails.
    bool GetLocalSockAddr(sockaddr_in& addr) const;

    // --- events --------------------------------------------------------------
    TSessionEvent OnSessionAvailable;
    TSessionEvent OnSessionConnected;
    TSessionEvent OnDataAvailable;
    TSessionEvent OnDataSent;
    TSessionEvent OnSessionClosed;
    TSendData OnSendData;
    TChangeState OnChangeState;
    TErrorEvent OnError;
    TBgExceptionEvent OnBgException;

    TEventLoop& Loop() const { return FLoop; }

protected:
    // Hooks a derived socket overrides to see its own events first; the
    // defaults fire the assigned handlers.
    virtual void TriggerDataAvailable(uint16_t err);
    virtual void TriggerSessionClosed(uint16_t err);
    virtual void TriggerDataSent(uint16_t err);
    virtual void TriggerSessionConnected(uint16_t err);
    virtual void TriggerSessionAvailable(uint16_t err);
    virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);

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
    void WatchHandle();
    void UpdateMask();
    void AdoptHandle(int handle);
    void Dispatch(uint32_t events);
    void HandleConnect(uint16_t err);
    void HandleRead(uint16_t err);
    void HandleWrite();
    void HandleClose(uint16_t err);
    void ReceiveLoop(bool noReceiveLoop);
    void TryToSend();
    bool FatalSendError(int err);
    void PostWriteNotification();
    void BgException(const std::exception& e);
    void FireClosed(uint16_t err);

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
    int FHSocket = -1;
    uint64_t FHandleGen = 0;
    bool FWatched = false;
    bool FWantWrite = false;
    bool FRecvShut = false;
    bool FAllSent = true;
    bool FCloseNotified = false;
    bool FDestroying = false;
    bool FListening = false;
    bool FSendFailed = false;
    bool FPaused = false;
    std::deque<std::unique_ptr<TBuffer>> FQueue;
};

// The class instantiated for listening sockets and data connections.
class TWSocket : public TCustomWSocket {
public:
    using TCustomWSocket::TCustomWSocket;
};

} // namespace vendrix::net
