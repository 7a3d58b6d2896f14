#include "FtpSrvC.h"

#include "FtpSrv.h"

namespace vendrix::ftp {

TFtpCtrlSocket::TFtpCtrlSocket(TFtpServer* owner, net::TEventLoop& loop)
    : net::TCustomWSocket(loop), DataSocket(std::make_unique<net::TWSocket>(loop)), FOwner(owner),
      FLines(2048) {}

TFtpCtrlSocket::~TFtpCtrlSocket() {
    DataStream.reset();
    DataSocket.reset();
}

const TPathStyle& TFtpCtrlSocket::Style() const {
    return FOwner ? *FOwner->PathStyle : TPathStyle::Posix;
}

void TFtpCtrlSocket::CachePeerAddr() {
    std::string addr = TCustomWSocket::PeerAddr();
    if (addr != "error") FPeerAddr = addr;
}

void TFtpCtrlSocket::TriggerChangeState(net::TSocketState oldState, net::TSocketState newState) {
    if (newState == net::wsConnected) CachePeerAddr();
    TCustomWSocket::TriggerChangeState(oldState, newState);
}

void TFtpCtrlSocket::StartConnection() {
    SessionStartTick = net::TEventLoop::Tick();
    LastCommandTick = 0;
    CommandCount = 0;
    FtpState = ftpcWaitingUserCode;
    SendText(Banner + "\r\n");
}

void TFtpCtrlSocket::ResetIdle() {
    LastCommandTick = net::TEventLoop::Tick();
}

void TFtpCtrlSocket::SetDirectory(const std::string& newDir) {
    Directory = ApplySetDirectory(Style(), Directory, newDir, AllowUnc);
}

void TFtpCtrlSocket::TriggerDataAvailable(uint16_t) {
    int n = Receive(FLines.WritePtr(), FLines.WriteSpace());
    if (n <= 0) return;
    FLines.Commit(n);
    std::string line;
    const bool plain = TlsState() == net::tlsOff;
    while (FLines.NextLine(line)) {
        LastCommandTick = net::TEventLoop::Tick();
        ++CommandCount;
        if (OnCommand) OnCommand(*this, line);
        // A handler that ended the connection ends the processing of
        // whatever else arrived with it.
        if (State() != net::wsConnected) break;
        // Whatever came in clear text behind AUTH was never protected: it
        // is dropped, not run as if it had come through TLS (also while
        // AUTH's reply is held and TLS has not started yet).
        if (plain && (TlsState() != net::tlsOff || TlsUpgradePending)) {
            FLines.Clear();
            break;
        }
    }
}

} // namespace vendrix::ftp
