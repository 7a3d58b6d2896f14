// The FTP server: owns the listening socket and every session, splits command
// lines, dispatches them through the command table and sends every reply
// through one path. It decides nothing by policy: each policy question is an
// event the application answers.
//
// Everything runs on the event loop's thread. Work that must not run inside a
// socket's own event (destroying a session, closing after the last reply,
// closing or aborting a data connection, starting or continuing a download)
// is posted as a notification that carries the session's ID and is dropped
// when that session is gone.
#pragma once

#include "FtpReplies.h"
#include "FtpSrvC.h"
#include "FtpTypes.h"
#include "WSocket.h"

#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

namespace vendrix::ftp {

// A command line without its Telnet sequences: IAC IAC is one 255 byte, IAC
// WILL, WONT, DO or DONT goes with its option byte, IAC and any other byte
// go together.
std::string StripTelnet(const std::string& line);

class TFtpServer {
public:
    using TClient = TFtpCtrlSocket;
    using TServerEvent = std::function<void(TFtpServer& Sender)>;
    using TClientEvent = std::function<void(TFtpServer& Sender, TClient& Client, uint16_t AError)>;
    using TCommandEvent = std::function<void(TFtpServer& Sender, TClient& Client, TFtpString& Keyword,
                                             TFtpString& Params, TFtpString& Answer)>;
    using TAnswerEvent = std::function<void(TFtpServer& Sender, TClient& Client, TFtpString& Answer)>;
    using TAuthenticateEvent =
        std::function<void(TFtpServer& Sender, TClient& Client, const TFtpString& UserName,
                           const TFtpString& Password, bool& Authenticated)>;
    using TDirectoryEvent = std::function<void(TFtpServer& Sender, TClient& Client, std::string& Directory,
                                               bool& Allowed, bool& DirExist)>;
    using TBuildDirectoryEvent =
        std::function<void(TFtpServer& Sender, TClient& Client, TFtpString& Directory, bool Detailed)>;
    using TValidateEvent =
        std::function<void(TFtpServer& Sender, TClient& Client, TFtpString& FilePath, bool& Allowed)>;
    using TDataEvent =
        std::function<void(TFtpServer& Sender, TClient& Client, net::TWSocket& Data, uint16_t AError)>;
    using TDataAvailableEvent = std::function<void(TFtpServer& Sender, TClient& Client, net::TWSocket& Data,
                                                   const char* Buf, int Len, uint16_t AError)>;
    using TUniqueFileNameEvent =
        std::function<void(TFtpServer& Sender, TClient& Client, TFtpString& FileName)>;
    using TProcessingEvent = std::function<void(TFtpServer& Sender, TClient& Client, bool& DelayedSend)>;
    using TBuildFilePathEvent =
        std::function<void(TFtpServer& Sender, TClient& Client, const std::string& Directory,
                           const std::string& FileName, std::string& NewFileName)>;
    using TClientFactory = std::function<std::unique_ptr<TClient>(TFtpServer& Owner)>;
    using TCommandHandler = void (TFtpServer::*)(TClient& Client, TFtpString& Keyword, TFtpString& Params,
                                                 TFtpString& Answer);

    struct TFtpSrvCommandTableItem {
        std::string KeyWord;
        TCommandHandler Handler;
        bool NeedsLogin;
    };
    // The classic command set, then the extensions today's clients use
    // (EPSV, EPRT, MLSD, MLST, MFMT, OPTS, HASH, RANG, HELP, ALLO, STAT),
    // and explicit FTPS (AUTH, PBSZ, PROT, CCC).
    static constexpr int kCommandTableSize = 48;

    explicit TFtpServer(net::TEventLoop& loop = net::TEventLoop::Instance());
    ~TFtpServer();
    TFtpServer(const TFtpServer&) = delete;
    TFtpServer& operator=(const TFtpServer&) = delete;

    // --- published properties ----------------------------------------------
    std::string Addr = "0.0.0.0";
    // More addresses to listen on beside Addr, each with its own socket and
    // the same port. "::" listens on both families (dual stack).
    std::vector<std::string> ExtraAddrs;
    std::string Port = "ftp";
    std::string Banner = reply::kServerBanner;
    int32_t MaxClients = 0;
    int32_t UserData = 0;
    std::string PasvIpAddr;
    // Bytes moved per data block of a transfer. Downloads pace one block at a
    // time, so large blocks are what makes uncapped transfers fast: each
    // block costs a round of the loop (1 MiB: 1,024 rounds per GiB).
    int32_t XferBlockSize = 1024 * 1024;
    // The piece of an upload the policy checks at a time (the disk quota:
    // a piece that would pass it is refused whole), at most the session's
    // XferBlockSize. A read takes up to a whole block and hands it over in
    // such pieces, so the read size does not change what is accepted.
    int32_t UploadReadSize = 64 * 1024;
    // The TLS context of FTPS; nullptr: AUTH is refused and FEAT does not
    // offer it. A session keeps the context its control connection started
    // with, for its data connections too, so the context may be replaced
    // while sessions run.
    std::shared_ptr<net::TTlsContext> TlsContext;
    // A PROT P data connection must resume its control connection's TLS
    // session: one that does not is refused with
    // "425 Data connection refused: it must resume the control connection's TLS session."
    // and closed, so a stranger who reaches the data port first gets nothing.
    bool TlsRequireReuse = true;
    // Implicit FTPS: when not empty, Start listens on this port too, on Addr
    // and each of ExtraAddrs, and sessions accepted there run TLS from their
    // first byte (the greeting waits for the handshake) with PROT P.
    std::string ImplicitTlsPort;
    // Paths are POSIX; tests may run the engine's rules under another style.
    const TPathStyle* PathStyle = &TPathStyle::Posix;

    int32_t PasvPortRangeStart() const { return FPasvPortRangeStart; }
    int32_t PasvPortRangeSize() const { return FPasvPortRangeSize; }
    void SetPasvPortRangeStart(int32_t value);
    void SetPasvPortRangeSize(int32_t value);
    const std::vector<uint8_t>& PasvPortTable() const { return FPasvPortTable; }

    TClientFactory ClientClass;
    int32_t ClientNum = 0;
    int64_t BytesSentTotal = 0;

    // --- events --------------------------------------------------------------
    TServerEvent OnStart, OnStop;
    // A TLS handshake of a session ended: its control connection's (Data
    // null) or a PROT P data connection's. AError 0: established, else the
    // socket's code with the reason in the socket's TlsError (the connection
    // closes). Refused: a data connection that did not resume the control
    // connection's session while TlsRequireReuse holds; the engine refuses
    // it after the event.
    using TTlsEvent = std::function<void(TFtpServer& Sender, TClient& Client, net::TWSocket* Data,
                                         uint16_t AError, bool Refused)>;
    TTlsEvent OnTlsHandshakeDone;
    // A connection the server had no file handle for was answered with
    // "421 Too many connections, try again later." and closed. Fires on the
    // loop, with no session: none was made.
    TServerEvent OnClientShed;
    TClientEvent OnClientConnect, OnClientDisconnect;
    TCommandEvent OnClientCommand;
    TAnswerEvent OnAnswerToClient;
    TAuthenticateEvent OnAuthenticate;
    TDirectoryEvent OnChangeDirectory, OnMakeDirectory;
    TBuildDirectoryEvent OnBuildDirectory, OnAlterDirectory;
    TValidateEvent OnValidatePut, OnValidateSize, OnValidateDele, OnValidateRmd, OnValidateRnFr,
        OnValidateRnTo, OnValidateGet;
    // MFMT (the file's modification time) and HASH (the file's digest): the
    // path as for the other validations; refused unless Allowed.
    TValidateEvent OnValidateMfmt, OnValidateHash;
    // The "perm" fact of MLSD and MLST: the letters the session's rights
    // grant on a local path (RFC 3659). Without a handler, the letters
    // follow the file's own mode bits.
    using TPermissionsEvent = std::function<void(TFtpServer& Sender, TClient& Client, const std::string& Path,
                                                 bool Directory, std::string& Perm)>;
    TPermissionsEvent OnGetPermissions;
    TDataEvent OnStorSessionConnected, OnStorSessionClosed;
    TDataAvailableEvent OnStorDataAvailable;
    TDataEvent OnRetrSessionConnected, OnRetrSessionClosed, OnRetrDataSent;
    TUniqueFileNameEvent OnGetUniqueFileName;
    TProcessingEvent OnGetProcessing;
    TBuildFilePathEvent OnBuildFilePath;

    // --- interface ------------------------------------------------------------
    // Listens on Addr:Port and on each of ExtraAddrs; a failure raises the
    // socket layer's exception and leaves nothing listening. "::" where the
    // host has no IPv6 falls back to "0.0.0.0".
    void Start();
    // Closes the listener; live sessions stay.
    void Stop();
    bool Listening() const { return FServerSocket->State() == net::wsListening; }
    // The listeners of ExtraAddrs, in their order.
    const std::vector<std::unique_ptr<net::TWSocket>>& ExtraSockets() const { return FExtraSockets; }
    // The implicit FTPS listeners (Addr first, then ExtraAddrs); empty when
    // ImplicitTlsPort is.
    const std::vector<std::unique_ptr<net::TWSocket>>& ImplicitSockets() const { return FImplicitSockets; }
    net::TWSocket& ServerSocket() { return *FServerSocket; }
    // Ends every session one after the other, each with OnClientDisconnect.
    void DisconnectAll();
    int ClientCount() const { return int(FClientList.size()); }
    TClient* GetClient(int index) const;
    bool IsClient(const TClient* client) const { return FClientSet.count(client) != 0; }
    void SendAnswer(TClient& Client, TFtpString Answer);
    // Lets a download or listing send its next block: posted, or, when called
    // from OnRetrDataSent, right after that handler returns.
    void SendNextDataBlock(TClient& Client, net::TWSocket& Data);
    // Opens the download data connection for a RETR whose OnGetProcessing
    // handler delayed it (posted).
    void PostStartSend(TClient& Client);
    // Aborts the session's data connection from the loop (quota, administrator).
    void PostAbortTransfer(TClient& Client);
    // Holds the session's replies for `ms` milliseconds and reads no further
    // command meanwhile; the held replies then go out in order. A policy uses
    // it to slow down password guessing without blocking the loop.
    void DelayReplies(TClient& Client, uint32_t ms);

    // Dispatches one command line of the session (without its line end), as
    // the session's line reader does for every line it receives; the reply
    // goes out through SendAnswer.
    void ClientCommand(TClient& Client, const std::string& line);

    void AddCommand(const std::string& keyword, TCommandHandler handler, bool needsLogin);
    const std::vector<TFtpSrvCommandTableItem>& CommandTable() const { return FCommandTable; }

    // The local path a file parameter names (the parameter already carries
    // local separators). Raises EFtpError from the path rules.
    std::string BuildFilePath(TClient& Client, const std::string& Directory, std::string FileName);

private:
    friend class TFtpCtrlSocket;

    // --- server core ---
    void ServerSessionAvailable(net::TCustomWSocket& sender, uint16_t err, bool implicitTls);
    void ListenOn(net::TWSocket& socket, const std::string& addr, const std::string& port, bool implicitTls);
    void ServerChangeState(net::TCustomWSocket& sender, net::TSocketState oldState,
                           net::TSocketState newState);
    void ClientDataSent(TClient& Client);
    void ClientClosedProcedure(TClient& Client);
    void Post(TClient& Client, void (TFtpServer::*handler)(TClient&));
    void CloseRequestNotification(TClient& Client);
    void AbortTransferNotification(TClient& Client);
    void CloseDataNotification(TClient& Client);
    void StartSendNotification(TClient& Client);
    void NextBlockNotification(TClient& Client);
    void ServerSessionShed(int handle);
    void ReleaseHeldReplies(TClient& Client);

    // --- login and session commands ---
    void CommandUSER(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandPASS(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandQUIT(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandNOOP(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandSYST(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandTYPE(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandMODE(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandSTRU(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandFEAT(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandOVER(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandOPTS(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandHELP(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandALLO(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandSTAT(TClient&, TFtpString&, TFtpString&, TFtpString&);

    // --- explicit FTPS ---
    void CommandAUTH(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandPBSZ(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandPROT(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandCCC(TClient&, TFtpString&, TFtpString&, TFtpString&);
    // After AUTH's reply has gone out in clear text (after the held replies
    // too), or at once on an implicit FTPS connection.
    void StartControlTls(TClient& Client);
    void ControlTlsDone(TClient& Client, uint16_t err);
    // A data connection of a PROT P session starts its TLS handshake.
    void SecureDataConnection(TClient& Client);
    void DataTlsDone(TClient& Client, uint16_t err);
    // Ends the running transfer of a data connection refused for its TLS
    // session with the 425 reply in place of the completion reply.
    void RefuseDataConnection(TClient& Client);

    // --- file and directory commands ---
    void CommandCWD(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandCDUP(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandPWD(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandXPWD(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandMKD(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandRMD(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandDELE(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandRNFR(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandRNTO(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandSIZE(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandMDTM(TClient&, TFtpString&, TFtpString&, TFtpString&);
    // The overlap step shared by MKD, RMD, DELE, RNFR and RNTO: P for the
    // parameter, with the session's directory switched for the command.
    std::string OverlapAndBuild(TClient& Client, const std::string& params);

    // --- data connections ---
    void CommandPORT(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandPASV(TClient&, TFtpString&, TFtpString&, TFtpString&);
    // Takes the first free port of the range at or after index `from` ("0"
    // without a range, for the first try only); empty when none is left.
    std::string NextPasvPort(size_t from = 0);
    // Makes the data socket listen on the control connection's local
    // address and a port of the range; raises EPasvRangeBusy when every port
    // is taken, the socket layer's exception on any other failure.
    void ListenPassive(TClient& Client, const std::string& local);
    struct EPasvRangeBusy : EFtpError {
        EPasvRangeBusy() : EFtpError("No available PASV Ports") {}
    };
    void CommandEPSV(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandEPRT(TClient&, TFtpString&, TFtpString&, TFtpString&);
    // Replaces the passive listener by one on `addr` (ListenPassive) and
    // returns its port.
    int ExtendedPassiveListen(TClient& Client, const std::string& addr);
    void ReleasePasvPort(TClient& Client);
    enum class THandlerSet { Upload, Download, None };
    void InstallHandlers(TClient& Client, THandlerSet set);
    void ActiveConnect(TClient& Client, THandlerSet set, bool closeFirst, bool bindDataPort);
    void PassiveAccept(TClient& Client, uint16_t err);

    // --- transfers ---
    void CommandRETR(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandSTOR(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandAPPE(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandSTOU(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandREST(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandABOR(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void StoreCommand(TClient& Client, const TFtpString& Params, TFtpString& Answer, uint8_t kind);
    // A new transfer's file name and state; the stream of an earlier
    // command that never got its data connection is dropped.
    void PrepareTransfer(TClient& Client, const std::string& fileName);
    // Releases the transfer's stream unless its data connection is up.
    void DropTransferFile(TClient& Client);
    // Opens or creates the transfer's file before any 150 reply; false with
    // the "550" refusal in Answer when it cannot be.
    bool OpenTransferFile(TClient& Client, uint8_t kind, TFtpString& Answer);
    void StartUpload(TClient& Client, bool bindDataPort);
    void StartDownload(TClient& Client);
    void SendBlock(TClient& Client);
    bool SendFileBlock(TClient& Client);
    void UploadConnected(TClient& Client, uint16_t err);
    void UploadDataAvailable(TClient& Client, uint16_t err);
    void UploadClosed(TClient& Client, uint16_t err);
    void DownloadConnected(TClient& Client, uint16_t err);
    void DownloadDataSent(TClient& Client, uint16_t err);
    void DownloadClosed(TClient& Client, uint16_t err);

    // --- listings ---
    void CommandLIST(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandNLST(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void ListCommand(TClient& Client, TFtpString& Params, TFtpString& Answer, bool detailed);
    void CommandMLSD(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandMLST(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandMFMT(TClient&, TFtpString&, TFtpString&, TFtpString&);
    // The MLSD text of a listing pattern: facts lines, hidden entries left
    // out as LIST leaves them out.
    std::string MachineListing(TClient& Client, const std::string& pattern);
    // The "perm" fact of a local path for this session.
    std::string Permissions(TClient& Client, const std::string& path, bool directory);

    // --- digests ---
    void CommandHASH(TClient&, TFtpString&, TFtpString&, TFtpString&);
    void CommandRANG(TClient&, TFtpString&, TFtpString&, TFtpString&);
    // Hashes the next slice of the session's running HASH, then posts the
    // slice after it or sends the reply.
    void HashSlice(TClient& Client);

    net::TEventLoop& FLoop;
    net::TLifeToken FLife;
    std::unique_ptr<net::TWSocket> FServerSocket;
    std::vector<std::unique_ptr<net::TWSocket>> FExtraSockets;
    std::vector<std::unique_ptr<net::TWSocket>> FImplicitSockets;
    std::vector<std::unique_ptr<TClient>> FClientList;
    std::unordered_set<const TClient*> FClientSet;
    std::vector<TFtpSrvCommandTableItem> FCommandTable;
    int32_t FPasvPortRangeStart = 0;
    int32_t FPasvPortRangeSize = 0;
    std::vector<uint8_t> FPasvPortTable;
    std::vector<char> FBlock; // the transfer block buffer, shared: one block is in flight at a time
    bool FDestroying = false;
};

} // namespace vendrix::ftp
