// One client's control connection and everything the server knows about the
// client: login state, directories, the data connection and the transfer.
#pragma once

#include "FtpHash.h"
#include "FtpMlsx.h"
#include "FtpReplies.h"
#include "FtpStream.h"
#include "FtpTypes.h"
#include "LineBuffer.h"
#include "PathRules.h"
#include "WSocket.h"

#include <functional>
#include <memory>
#include <vector>

namespace vendrix::ftp {

class TFtpServer;

class TFtpCtrlSocket : public net::TCustomWSocket {
public:
    using TCommandEvent = std::function<void(TFtpCtrlSocket& Sender, const std::string& Line)>;

    explicit TFtpCtrlSocket(TFtpServer* owner, net::TEventLoop& loop = net::TEventLoop::Instance());
    ~TFtpCtrlSocket() override;

    // --- published properties ----------------------------------------------
    TFtpCtrlState FtpState = ftpcInvalid;
    std::string Banner = reply::kSessionBanner;
    bool Busy = false;
    std::string UserName, PassWord;
    int32_t UserData = 0;
    TCommandEvent OnCommand; // one call per received command line

    // Size of the command-line buffer; raises "Data in buffer, can't change
    // size" while part of a line is held.
    int RcvSize() const { return FLines.Size(); }
    void SetRcvSize(int size) { FLines.SetSize(size); }
    int RcvCnt() const { return FLines.Count(); }

    // --- session record ----------------------------------------------------------
    std::unique_ptr<net::TWSocket> DataSocket;
    uint64_t SessionStartTick = 0;
    uint64_t LastCommandTick = 0;
    int32_t CommandCount = 0;
    bool CloseRequest = false;
    std::string HomeDir = "/tmp/";
    std::string Directory = HomeDir;
    bool AbortingTransfer = false;
    int32_t ID = 0;
    bool BinaryMode = false;
    std::string DataAddr, DataPort;
    std::string FileName;
    std::string FilePath;
    bool DataSessionActive = false;
    std::unique_ptr<TFtpStream> DataStream;
    bool HasOpenedFile = false;
    std::string TransferError;
    int64_t ByteCount = 0;
    // Bytes of the running download that the kernel has taken: what the
    // client can have received when the connection ends early.
    int64_t HandedCount = 0;
    bool DataSent = false;
    // The close of the finished download's data connection is posted.
    bool DataCloseQueued = false;
    uint8_t CurCmdType = ftpcPORT;
    int64_t RestartPos = 0;
    std::string RenameFrom, RenameTo;
    bool PassiveMode = false, PassiveStart = false, PassiveConnected = false;
    bool AllowUnc = false;
    bool ReadyForNextBlock = false;
    // The block in flight goes from the file by the socket (SendFile): its
    // bytes count as the kernel takes them, from ByteCount's value at
    // FileBlockStart on. FileEnded: a file block came out short, so the
    // stream is at its end as far as the open file goes.
    bool SendingFile = false;
    bool FileEnded = false;
    int64_t FileBlockStart = 0;
    // The policy asked for the next block from inside the block-sent
    // handler: it goes as soon as that handler returns, without a loop round.
    bool InDataSentHandler = false;
    bool NextBlockAsked = false;
    // A download's data connection is up and its blocks are flowing; the
    // block-sent handler acts only then (an idle data connection must not
    // start "sending" before its command arrives).
    bool DownloadRunning = false;
    // The kind of the running upload (STOR, APPE or STOU): its completion
    // reply follows it even when other commands arrived meanwhile.
    uint8_t XferCmdType = ftpcPORT;
    // Replies held back by DelayReplies, sent in order when the delay ends.
    std::vector<std::string> HeldReplies;
    bool HoldingReplies = false;
    // A download's start is posted and has not run yet.
    bool SendPending = false;
    // A transfer or listing is running or waiting for its data connection:
    // another transfer command must be refused, or two 150 replies would
    // share one completion.
    bool TransferBusy() const {
        return DataSessionActive || PassiveStart || SendPending || DataSocket->State() == net::wsConnecting;
    }
    // The passive-range port this session holds (0: none).
    int32_t PasvPort = 0;
    // Bytes per transfer block; the server's XferBlockSize at accept. The
    // policy lowers it for sessions under a speed cap.
    int32_t XferBlockSize = 64 * 1024;
    // FTPS: AUTH's reply is on its way and TLS starts behind it; PBSZ was
    // given; PROT P asks for encrypted data connections; the session came
    // through the implicit FTPS port (TLS from the first byte).
    bool TlsUpgradePending = false;
    bool PbszDone = false;
    bool ProtPrivate = false;
    bool ImplicitTls = false;
    // The context the control connection's TLS runs on; its data
    // connections use it too, so they can resume its session.
    std::shared_ptr<net::TTlsContext> TlsContext;
    // The current data connection did not resume the control connection's
    // TLS session (and TlsRequireReuse holds): its transfer is refused.
    bool DataTlsRefused = false;
    // A download waits for its data connection's TLS handshake to end (and
    // for the session check): not one byte goes out before it.
    bool DataTlsWait = false;
    // A reply that replaces the running transfer's completion reply.
    std::string DataRefusal;
    // After "EPSV ALL" the client uses EPSV only: PORT, PASV and EPRT are
    // refused until the session ends.
    bool EpsvAll = false;
    // The listing under way is MLSD: its lines are facts, not LIST lines.
    bool MachineListing = false;
    // The HASH algorithm chosen with OPTS HASH, and the byte range set with
    // RANG (HashRangeEnd < 0: to the end of the file).
    std::string HashAlgorithm = "SHA-256";
    int64_t HashRangeStart = 0, HashRangeEnd = -1;
    // The HASH being computed in slices for this session; its reply is
    // pending while it is set.
    std::unique_ptr<THashJob> HashJob;
    std::string HashShownPath;
    // The MLST facts the session shows (OPTS MLST), as TFact bits.
    uint8_t MlstFacts = kAllFacts;

    TFtpServer* Owner() const { return FOwner; }

    // The address cached when the handle was adopted; readable after close.
    const std::string& PeerAddr() const { return FPeerAddr; }
    void CachePeerAddr();

    // Sends the banner (not through OnAnswerToClient) and starts the session.
    void StartConnection();
    void ResetIdle();
    void SetAbortingTransfer(bool flag) { AbortingTransfer = flag; }
    // Applies the directory rules; raises EFtpError with the refusal text and
    // leaves Directory unchanged on failure.
    void SetDirectory(const std::string& newDir);

    const TPathStyle& Style() const;

protected:
    void TriggerDataAvailable(uint16_t err) override;
    void TriggerChangeState(net::TSocketState oldState, net::TSocketState newState) override;

private:
    TFtpServer* FOwner;
    TLineBuffer FLines;
    std::string FPeerAddr;
};

// Restores a session's directory when a command's frame ends, whatever the
// outcome.
class TSavedDirectory {
public:
    explicit TSavedDirectory(TFtpCtrlSocket& client) : FClient(client), FSaved(client.Directory) {}
    ~TSavedDirectory() { FClient.Directory = FSaved; }
    TSavedDirectory(const TSavedDirectory&) = delete;
    TSavedDirectory& operator=(const TSavedDirectory&) = delete;
    const std::string& Saved() const { return FSaved; }

private:
    TFtpCtrlSocket& FClient;
    std::string FSaved;
};

} // namespace vendrix::ftp
