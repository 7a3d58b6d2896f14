// File transfers: RETR, STOR, APPE, STOU, REST, ABOR, and the handlers of
// the upload and download data connections.
#include "FtpSrv.h"

#include "FtpSrvT.h"

#include <random>
#include <unistd.h>
#include <utility>

namespace vendrix::ftp {

namespace {
constexpr char kBusy[] = "Data connection already in use";

std::string Num(int64_t v) {
    return std::to_string(v);
}

// "FTP" and six random letters.
std::string RandomName() {
    static std::mt19937_64 rng{std::random_device{}()};
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = "FTP";
    for (int i = 0; i < 6; ++i)
        name += kChars[rng() % (sizeof kChars - 1)];
    return name;
}

// Strict decimal integer (optional sign), as REST takes it.
bool ParseInt64(const std::string& s, int64_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        if (v > (INT64_MAX - (s[i] - '0')) / 10) return false;
        v = v * 10 + (s[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}
} // namespace

// --- commands -------------------------------------------------------------------

// A transfer command while another transfer runs or waits for its data
// connection is refused before it touches the session: a second transfer
// would pour its stream into the first, or change which handlers the waiting
// connection gets, and two 150 replies would share one completion.
void TFtpServer::CommandSTOR(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Client.TransferBusy()) {
        Answer = reply::CannotTransfer("STOR", kBusy);
        return;
    }
    Client.ByteCount = 0;
    StoreCommand(Client, Params, Answer, ftpcSTOR);
}

void TFtpServer::CommandAPPE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Client.TransferBusy()) {
        Answer = reply::kAppeFailed;
        return;
    }
    StoreCommand(Client, Params, Answer, ftpcAPPE);
}

// STOR and APPE: the same frame, their own replies, and for APPE the offset
// of the file's end.
void TFtpServer::StoreCommand(TClient& Client, const TFtpString& Params, TFtpString& Answer, uint8_t kind) {
    const bool appe = kind == ftpcAPPE;
    Client.CurCmdType = kind;
    TSavedDirectory saved(Client);
    try {
        PrepareTransfer(Client, PathStyle->ToLocal(Params));
        std::string path = OverlapAndBuild(Client, Params);
        bool allowed = true;
        if (OnValidatePut) OnValidatePut(*this, Client, path, allowed);
        if (!allowed) {
            Answer = appe ? reply::kCannotAppe : reply::kNotPermitted;
            return;
        }
        Client.FilePath = path;
        Client.XferCmdType = kind;
        // The offset is known before the connection starts, so a client
        // that is already connected appends at the right place.
        if (appe) Client.RestartPos = std::max<int64_t>(GetFileSize(path), 0);
        if (!OpenTransferFile(Client, kind, Answer)) return;
        StartUpload(Client, !appe);
        Answer = appe ? reply::AppendReady(Params, Client.RestartPos) : reply::OpeningData(Params);
    } catch (const std::exception& e) {
        DropTransferFile(Client);
        Answer = appe ? std::string(reply::kAppeFailed) : reply::CannotTransfer("STOR", e.what());
    }
}

void TFtpServer::CommandSTOU(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    if (Client.TransferBusy()) {
        Answer = reply::CannotTransfer("STOU", kBusy);
        return;
    }
    Client.CurCmdType = ftpcSTOU;
    // The name is taken by creating its file exclusively: a name that merely
    // looked free could be created by another session meanwhile.
    std::string made;
    try {
        std::string name;
        if (OnGetUniqueFileName) OnGetUniqueFileName(*this, Client, name);
        try {
            if (!name.empty()) {
                std::string path = BuildFilePath(Client, Client.Directory, name);
                if (CreateNewFile(path)) made = path;
            }
            for (int tries = 0; made.empty(); ++tries) {
                if (tries == 100) throw EFtpError("No unique file name left");
                name = RandomName();
                std::string path = BuildFilePath(Client, Client.Directory, name);
                if (CreateNewFile(path)) made = path;
            }
        } catch (const EFtpFileError& e) {
            // Refused before any 150, as a file that cannot be opened is,
            // with the system's reason and no local path.
            Answer = reply::CannotOpen("STOU", e.Reason());
            return;
        } catch (const EFtpError& e) {
            Answer = reply::CannotOpen("STOU", e.what());
            return;
        }
        PrepareTransfer(Client, PathStyle->ToLocal(name));
        std::string path = BuildFilePath(Client, Client.Directory, Client.FileName);
        bool allowed = true;
        if (OnValidatePut) OnValidatePut(*this, Client, path, allowed);
        // A refused name, or one the application moved elsewhere, leaves no
        // empty file behind.
        if (!allowed || path != made) {
            ::unlink(made.c_str());
            made.clear();
        }
        if (!allowed) {
            Answer = reply::kNotPermitted;
            return;
        }
        Client.FilePath = path;
        Client.XferCmdType = ftpcSTOU;
        if (!OpenTransferFile(Client, ftpcSTOU, Answer)) {
            if (!made.empty()) ::unlink(made.c_str());
            return;
        }
        StartUpload(Client, true);
        Answer = reply::OpeningData(name);
    } catch (const std::exception& e) {
        if (!made.empty()) ::unlink(made.c_str());
        DropTransferFile(Client);
        Answer = reply::CannotTransfer("STOU", e.what());
    }
}

void TFtpServer::CommandRETR(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Client.TransferBusy()) {
        Answer = reply::CannotTransfer("RETR", kBusy);
        return;
    }
    Client.CurCmdType = ftpcRETR;
    TSavedDirectory saved(Client);
    try {
        PrepareTransfer(Client, PathStyle->ToLocal(Params));
        std::string path = OverlapAndBuild(Client, Params);
        bool allowed = true;
        if (OnValidateGet) OnValidateGet(*this, Client, path, allowed);
        if (!allowed) {
            Answer = reply::kCannotRetr;
            return;
        }
        Client.FilePath = path;
        if (!OpenTransferFile(Client, ftpcRETR, Answer)) return;
        Answer = reply::OpeningData(Params);
        bool delayed = false;
        if (OnGetProcessing) OnGetProcessing(*this, Client, delayed);
        if (!delayed) PostStartSend(Client);
    } catch (const std::exception& e) {
        DropTransferFile(Client);
        Answer = reply::CannotTransfer("RETR", e.what());
    }
}

// --- the file of a transfer -------------------------------------------------------------

void TFtpServer::PrepareTransfer(TClient& Client, const std::string& fileName) {
    DropTransferFile(Client);
    Client.FileName = fileName;
    Client.AbortingTransfer = false;
    Client.TransferError = "Transfer Ok";
}

void TFtpServer::DropTransferFile(TClient& Client) {
    // A running transfer keeps its stream until its data connection ends.
    if (Client.DataSessionActive) return;
    Client.DataStream.reset();
    Client.HasOpenedFile = false;
}

bool TFtpServer::OpenTransferFile(TClient& Client, uint8_t kind, TFtpString& Answer) {
    // A download reads from the restart offset; an upload appends for APPE,
    // writes from the restart offset after REST, and creates the file empty
    // otherwise.
    TFileStream::TMode mode = TFileStream::fmCreate;
    if (kind == ftpcRETR)
        mode = TFileStream::fmOpenRead;
    else if (kind == ftpcAPPE && FileExists(Client.FilePath))
        mode = TFileStream::fmOpenReadWrite;
    else if (Client.RestartPos >= 1)
        mode = TFileStream::fmOpenWrite;
    try {
        auto stream = std::make_unique<TFileStream>(Client.FilePath, mode);
        stream->Seek(Client.RestartPos);
        Client.DataStream = std::move(stream);
        Client.HasOpenedFile = true;
        return true;
    } catch (const EFtpFileError& e) {
        // Refused before any 150: the client opens no data connection for it.
        static const char* const kWords[] = {"RETR", "STOR", "APPE", "STOU"};
        const char* word = kind == ftpcRETR   ? kWords[0]
                           : kind == ftpcAPPE ? kWords[2]
                           : kind == ftpcSTOU ? kWords[3]
                                              : kWords[1];
        Answer = reply::CannotOpen(word, e.Reason());
        Client.RestartPos = 0;
        return false;
    }
}

void TFtpServer::CommandREST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcREST;
    int64_t value = 0;
    if (!ParseInt64(Params, value)) {
        Client.RestartPos = 0;
        Answer = reply::RestInvalid(Params);
    } else if (value < 0) {
        Client.RestartPos = 0;
        Answer = reply::kRestartAtZero;
    } else {
        Client.RestartPos = value;
        Answer = reply::RestReady(value);
    }
}

void TFtpServer::CommandABOR(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    net::TWSocket& data = *Client.DataSocket;
    // A transfer runs once its data connection carries it, and is pending
    // from its 150 reply until the connection comes (passive or active).
    const bool transfer =
        Client.DataSessionActive || Client.PassiveStart || data.State() == net::wsConnecting;
    if (!transfer) {
        Answer = reply::kAborOk;
        return;
    }
    Client.TransferError = reply::kAbortedReason;
    Client.AbortingTransfer = true;
    // The closed handler runs at once and sends the transfer's own 426
    // reply; this command's reply follows it.
    data.Close();
    if (Client.PassiveStart) {
        // A transfer cancelled before its connection came has no closed
        // handler run for it by a connected socket.
        Client.PassiveStart = false;
        DropTransferFile(Client);
    }
    Answer = reply::kAborDone;
}

// --- starting a transfer ------------------------------------------------------------

void TFtpServer::StartUpload(TClient& Client, bool bindDataPort) {
    if (Client.PassiveMode) {
        InstallHandlers(Client, THandlerSet::Upload);
        if (Client.PassiveConnected)
            UploadConnected(Client, 0);
        else
            Client.PassiveStart = true;
    } else {
        ActiveConnect(Client, THandlerSet::Upload, false, bindDataPort);
    }
}

void TFtpServer::StartDownload(TClient& Client) {
    Client.AbortingTransfer = false;
    Client.DataSent = false;
    Client.DataCloseQueued = false;
    Client.TransferError = "Transfer Ok";
    if (Client.PassiveMode) {
        InstallHandlers(Client, THandlerSet::Download);
        if (Client.PassiveConnected)
            DownloadConnected(Client, 0);
        else
            Client.PassiveStart = true;
    } else {
        ActiveConnect(Client, THandlerSet::Download, true, true);
    }
}

void TFtpServer::StartSendNotification(TClient& Client) {
    Client.SendPending = false;
    try {
        StartDownload(Client);
    } catch (const std::exception& e) {
        // The client was promised a transfer by the 150 reply: tell it that
        // none will come instead of leaving it waiting.
        Client.TransferError = e.what();
        DropTransferFile(Client);
        SendAnswer(Client, reply::CannotTransfer("RETR", Client.TransferError));
    }
}

// --- uploads ---------------------------------------------------------------------------

void TFtpServer::UploadConnected(TClient& Client, uint16_t err) {
    Client.DataSessionActive = true;
    Client.PassiveMode = false;
    if (OnStorSessionConnected) OnStorSessionConnected(*this, Client, *Client.DataSocket, err);
    if (err != 0) {
        Client.AbortingTransfer = true;
        Client.TransferError = "Client data socket connection error: " + Num(err);
        return;
    }
    if (Client.DataTlsRefused) return RefuseDataConnection(Client);
    // A fast upload is read in large pieces rather than one per segment.
    Client.DataSocket->SetReceiveBatching(true);
}

void TFtpServer::UploadDataAvailable(TClient& Client, uint16_t err) {
    net::TWSocket& data = *Client.DataSocket;
    // One read takes what the connection holds, up to a block; the policy
    // sees it in pieces of UploadReadSize as if each had been read alone, and
    // what it accepted is written at once. A refused piece is not written,
    // the pieces before it are.
    const size_t block = size_t(std::max(Client.XferBlockSize, 1));
    const size_t piece = std::min(size_t(std::max(UploadReadSize, 1)), block);
    if (FBlock.size() < block) FBlock.resize(block);
    const int n = data.Receive(FBlock.data(), int(block));
    if (n <= 0 || Client.AbortingTransfer) return;
    size_t accepted = 0;
    try {
        while (accepted < size_t(n)) {
            const size_t len = std::min(piece, size_t(n) - accepted);
            if (OnStorDataAvailable)
                OnStorDataAvailable(*this, Client, data, FBlock.data() + accepted, int(len), err);
            if (Client.DataStream) Client.ByteCount += int64_t(len);
            accepted += len;
        }
    } catch (const std::exception& e) {
        Client.TransferError = ClientReason(e);
        Client.AbortingTransfer = true;
    }
    try {
        if (Client.DataStream && accepted > 0) Client.DataStream->Write(FBlock.data(), int64_t(accepted));
    } catch (const std::exception& e) {
        if (!Client.AbortingTransfer) Client.TransferError = ClientReason(e);
        Client.AbortingTransfer = true;
    }
    if (Client.AbortingTransfer) Post(Client, &TFtpServer::AbortTransferNotification);
}

void TFtpServer::UploadClosed(TClient& Client, uint16_t err) {
    ReleasePasvPort(Client);
    Client.DataSessionActive = false;
    Client.PassiveStart = false;
    Client.PassiveConnected = false;
    Client.RestartPos = 0;
    Client.DataPort = "ftp-data";
    if (Client.HasOpenedFile) {
        Client.DataStream.reset();
        Client.HasOpenedFile = false;
    }
    if (OnStorSessionClosed) OnStorSessionClosed(*this, Client, *Client.DataSocket, err);
    std::string answer;
    if (!Client.DataRefusal.empty())
        answer = std::exchange(Client.DataRefusal, std::string());
    else if (Client.AbortingTransfer)
        answer = reply::ConnectionClosed(Client.TransferError);
    else if (err != 0)
        answer = reply::ConnectionError(err);
    else if (Client.XferCmdType == ftpcAPPE)
        answer = reply::kAppendComplete;
    else if (Client.XferCmdType == ftpcSTOU)
        answer = reply::UniqueCreated(Client.FileName);
    else
        answer = reply::kUploadComplete;
    Client.XferCmdType = ftpcPORT;
    SendAnswer(Client, answer);
}

// --- downloads -------------------------------------------------------------------------

void TFtpServer::DownloadConnected(TClient& Client, uint16_t err) {
    Client.DataSessionActive = err == 0;
    Client.PassiveMode = false;
    try {
        if (OnRetrSessionConnected) OnRetrSessionConnected(*this, Client, *Client.DataSocket, err);
        if (err != 0) throw EFtpError("Client data socket connection error: " + Num(err));
    } catch (const std::exception& e) {
        Client.AbortingTransfer = true;
        Client.TransferError = e.what();
        Post(Client, &TFtpServer::AbortTransferNotification);
        return;
    }
    if (Client.DataTlsRefused) return RefuseDataConnection(Client);
    Client.ByteCount = 0;
    Client.HandedCount = 0;
    Client.SendingFile = false;
    Client.FileEnded = false;
    Client.NextBlockAsked = false;
    Client.DownloadRunning = true;
    // Bytes sent during the handshake would go out as soon as it ends, before
    // the check of the session it resumed could stop them.
    Client.DataTlsWait = Client.DataSocket->TlsState() == net::tlsHandshaking;
    if (!Client.DataTlsWait) SendBlock(Client);
}

// A block of a regular file goes from the file to the connection without a
// copy through the process, when the connection can take it that way (not
// encrypted). The stream's position moves as the bytes go, so a REST offset
// holds and the copying path can follow at any block.
bool TFtpServer::SendFileBlock(TClient& Client) {
    const int fd = Client.DataStream->Handle();
    if (fd < 0 || Client.FileEnded || !Client.DataSocket->CanSendFile()) return false;
    Client.SendingFile = true;
    Client.FileBlockStart = Client.ByteCount;
    Client.ReadyForNextBlock = false;
    if (Client.DataSocket->SendFile(fd, std::max(Client.XferBlockSize, 1))) return true;
    Client.SendingFile = false;
    return false;
}

void TFtpServer::SendBlock(TClient& Client) {
    if (!Client.DownloadRunning) return; // the data connection ended meanwhile
    try {
        int64_t n = 0;
        if (Client.DataStream && SendFileBlock(Client)) return;
        if (Client.DataStream) {
            size_t size = size_t(std::max(Client.XferBlockSize, 1));
            if (FBlock.size() < size) FBlock.resize(size);
            n = Client.DataStream->Read(FBlock.data(), int64_t(size));
        }
        if (n > 0) {
            Client.ByteCount += n;
            BytesSentTotal += n;
            Client.ReadyForNextBlock = false;
            Client.DataSocket->Send(FBlock.data(), int(n));
        } else if (!Client.DataSocket->AllSent()) {
            // The end of the stream, but bytes still wait for the kernel:
            // closing now would drop them. The block-sent handler asks again.
            Client.ReadyForNextBlock = false;
        } else if (!Client.DataSent) {
            // Every byte is in the kernel's hands: the close is the end. Over
            // TLS the close_notify goes first, on its own: a client that
            // misses it takes the download as cut, and Close could not wait
            // for room in a full send buffer. The block-sent handler closes
            // once it has left.
            Client.DataSent = true;
            net::TWSocket& data = *Client.DataSocket;
            if (data.TlsState() == net::tlsEstablished) data.TlsCloseNotify();
            if (data.AllSent()) {
                Client.DataCloseQueued = true;
                Post(Client, &TFtpServer::CloseDataNotification);
            } else {
                Client.ReadyForNextBlock = false;
            }
        }
    } catch (const std::exception& e) {
        Client.TransferError = ClientReason(e);
        Client.AbortingTransfer = true;
        Post(Client, &TFtpServer::AbortTransferNotification);
    }
}

void TFtpServer::DownloadDataSent(TClient& Client, uint16_t err) {
    if (Client.AbortingTransfer || Client.ReadyForNextBlock || !Client.DownloadRunning) return;
    if (Client.DataSent) {
        // Only the close_notify was waiting for the kernel: it has left.
        if (!Client.DataCloseQueued) {
            Client.DataCloseQueued = true;
            Post(Client, &TFtpServer::CloseDataNotification);
        }
        return;
    }
    net::TWSocket& data = *Client.DataSocket;
    if (Client.SendingFile) {
        Client.SendingFile = false;
        try {
            if (data.FileError() != 0) RaiseReadError(Client.FilePath, data.FileError());
        } catch (const std::exception& e) {
            Client.TransferError = ClientReason(e);
            Client.AbortingTransfer = true;
            Post(Client, &TFtpServer::AbortTransferNotification);
            return;
        }
        if (data.FileShortfall() > 0) {
            // The file ended within this block; the copying path reads on
            // from here (nothing, unless the file grew again).
            Client.FileEnded = true;
            if (Client.ByteCount == Client.FileBlockStart) {
                // Nothing went: this was no block, the stream is at its end.
                SendBlock(Client);
                return;
            }
        }
    }
    Client.InDataSentHandler = true;
    Client.NextBlockAsked = false;
    try {
        if (OnRetrDataSent) OnRetrDataSent(*this, Client, data, err);
        if (err != 0) throw EFtpError("Send: error #" + Num(err));
    } catch (const std::exception& e) {
        // The closed handler reports it.
        Client.InDataSentHandler = false;
        Client.TransferError = e.what();
        Client.AbortingTransfer = true;
        Post(Client, &TFtpServer::AbortTransferNotification);
        return;
    }
    Client.InDataSentHandler = false;
    Client.ReadyForNextBlock = true;
    if (Client.NextBlockAsked) {
        Client.NextBlockAsked = false;
        SendBlock(Client);
    }
}

void TFtpServer::DownloadClosed(TClient& Client, uint16_t err) {
    ReleasePasvPort(Client);
    Client.DataSessionActive = false;
    Client.PassiveStart = false;
    Client.PassiveConnected = false;
    Client.DownloadRunning = false;
    Client.DataTlsWait = false;
    Client.ReadyForNextBlock = false;
    Client.SendingFile = false;
    Client.RestartPos = 0;
    Client.DataPort = "ftp-data";
    if (Client.HasOpenedFile) {
        Client.DataStream.reset();
        Client.HasOpenedFile = false;
    }
    // Complete only when the stream's last byte was handed to the kernel
    // before the close. A client that closed or reset the connection earlier
    // got less than the file: that is a failed transfer of the bytes that
    // really left, whatever the socket reported.
    const bool complete = Client.DataSent && err == 0 && !Client.AbortingTransfer;
    if (!complete) {
        if (!Client.AbortingTransfer) Client.TransferError = reply::kAbortedReason;
        Client.AbortingTransfer = true;
        BytesSentTotal -= Client.ByteCount - Client.HandedCount;
        Client.ByteCount = Client.HandedCount;
    }
    std::string answer = !Client.DataRefusal.empty() ? std::exchange(Client.DataRefusal, std::string())
                         : complete                  ? std::string(reply::kTransferComplete)
                                                     : reply::ConnectionClosed(Client.TransferError);
    SendAnswer(Client, answer);
    if (OnRetrSessionClosed) OnRetrSessionClosed(*this, Client, *Client.DataSocket, err);
}

} // namespace vendrix::ftp
