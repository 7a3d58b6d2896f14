#include "FtpSrv.h"

#include "AsciiText.h"
#include "FtpReplies.h"

#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string_view>
#include <sys/socket.h>

namespace vendrix::ftp {

using net::TCustomWSocket;
using net::TSocketState;

TFtpServer::TFtpServer(net::TEventLoop& loop)
    : FLoop(loop), FLife(net::NewLifeToken()), FServerSocket(std::make_unique<net::TWSocket>(loop)) {
    FServerSocket->Name = "ServerWSocket";
    FServerSocket->OnChangeState = [this](TCustomWSocket& s, TSocketState o, TSocketState n) {
        ServerChangeState(s, o, n);
    };
    ClientClass = [](TFtpServer& owner) { return std::make_unique<TClient>(&owner, owner.FLoop); };

    struct TRow {
        const char* KeyWord;
        TCommandHandler Handler;
        bool NeedsLogin;
    };
    static const TRow kRows[kCommandTableSize] = {
        {"PORT", &TFtpServer::CommandPORT, true},
        {"STOR", &TFtpServer::CommandSTOR, true},
        {"RETR", &TFtpServer::CommandRETR, true},
        {"CWD", &TFtpServer::CommandCWD, true},
        {"XPWD", &TFtpServer::CommandXPWD, true},
        {"PWD", &TFtpServer::CommandPWD, true},
        {"USER", &TFtpServer::CommandUSER, false},
        {"PASS", &TFtpServer::CommandPASS, false},
        {"LIST", &TFtpServer::CommandLIST, true},
        {"NLST", &TFtpServer::CommandNLST, true},
        {"TYPE", &TFtpServer::CommandTYPE, true},
        {"SYST", &TFtpServer::CommandSYST, true},
        {"QUIT", &TFtpServer::CommandQUIT, false},
        {"DELE", &TFtpServer::CommandDELE, true},
        {"SIZE", &TFtpServer::CommandSIZE, true},
        {"REST", &TFtpServer::CommandREST, true},
        {"RNFR", &TFtpServer::CommandRNFR, true},
        {"RNTO", &TFtpServer::CommandRNTO, true},
        {"MKD", &TFtpServer::CommandMKD, true},
        {"RMD", &TFtpServer::CommandRMD, true},
        {"ABOR", &TFtpServer::CommandABOR, false},
        {"PASV", &TFtpServer::CommandPASV, true},
        {"NOOP", &TFtpServer::CommandNOOP, false},
        {"CDUP", &TFtpServer::CommandCDUP, true},
        {"APPE", &TFtpServer::CommandAPPE, true},
        {"STRU", &TFtpServer::CommandSTRU, false},
        {"XMKD", &TFtpServer::CommandMKD, true},
        {"XRMD", &TFtpServer::CommandRMD, true},
        // MDTM requires a login too: without one anybody could probe which
        // files exist anywhere on the machine.
        {"MDTM", &TFtpServer::CommandMDTM, true},
        {"MODE", &TFtpServer::CommandMODE, true},
        {"OVER", &TFtpServer::CommandOVER, false},
        {"STOU", &TFtpServer::CommandSTOU, true},
        // FEAT answers before login: clients ask it first to learn how to
        // log in (RFC 2389).
        {"FEAT", &TFtpServer::CommandFEAT, false},
        {"EPSV", &TFtpServer::CommandEPSV, true},
        {"EPRT", &TFtpServer::CommandEPRT, true},
        {"MLSD", &TFtpServer::CommandMLSD, true},
        {"MLST", &TFtpServer::CommandMLST, true},
        {"MFMT", &TFtpServer::CommandMFMT, true},
        // Clients send OPTS UTF8 ON before they log in.
        {"OPTS", &TFtpServer::CommandOPTS, false},
        {"HASH", &TFtpServer::CommandHASH, true},
        {"RANG", &TFtpServer::CommandRANG, true},
        {"HELP", &TFtpServer::CommandHELP, false},
        {"ALLO", &TFtpServer::CommandALLO, true},
        {"STAT", &TFtpServer::CommandSTAT, false},
        // Explicit FTPS (RFC 4217): AUTH comes before the login it protects.
        {"AUTH", &TFtpServer::CommandAUTH, false},
        {"PBSZ", &TFtpServer::CommandPBSZ, false},
        {"PROT", &TFtpServer::CommandPROT, false},
        {"CCC", &TFtpServer::CommandCCC, false},
    };
    FCommandTable.reserve(kCommandTableSize);
    for (const TRow& row : kRows)
        AddCommand(row.KeyWord, row.Handler, row.NeedsLogin);
}

TFtpServer::~TFtpServer() {
    FDestroying = true;
    FLife.reset();
    // Sessions go without events, as the server that owns them does.
    FClientSet.clear();
    FClientList.clear();
    FExtraSockets.clear();
    FImplicitSockets.clear();
    FServerSocket.reset();
}

void TFtpServer::AddCommand(const std::string& keyword, TCommandHandler handler, bool needsLogin) {
    if (int(FCommandTable.size()) >= kCommandTableSize) throw EFtpError("Too many command");
    FCommandTable.push_back({keyword, handler, needsLogin});
}

// --- listening and accepting -----------------------------------------------

void TFtpServer::ListenOn(net::TWSocket& socket, const std::string& addr, const std::string& port,
                          bool implicitTls) {
    // A failed listen raises: the caller reports it (set again below).
    socket.OnError = nullptr;
    socket.SetPort(port);
    socket.SetProto("tcp");
    socket.SetAddr(addr);
    socket.DualStack = true;
    socket.OnSessionAvailable = [this, implicitTls](TCustomWSocket& s, uint16_t err) {
        ServerSessionAvailable(s, err, implicitTls);
    };
    socket.OnSessionShed = [this](TCustomWSocket&, int handle) { ServerSessionShed(handle); };
    socket.ComponentOptions = net::wsoNoReceiveLoop;
    // A burst of clients must not overflow the queue: the kernel would drop
    // completed handshakes the clients already believe in.
    socket.ListenBacklog = SOMAXCONN;
    try {
        socket.Listen();
    } catch (const net::ESocketException&) {
        // "::" on a host without IPv6: every IPv4 address is what is left.
        const int err = socket.LastError();
        if (addr != "::" || (err != net::WSocketErrorFromErrno(EAFNOSUPPORT) &&
                             err != net::WSocketErrorFromErrno(EADDRNOTAVAIL)))
            throw;
        socket.Close();
        socket.SetAddr("0.0.0.0");
        socket.Listen();
    }
    // A failed accept (out of handles) is told by Accept's result, and the
    // socket layer sheds the waiting connection itself: raising it would only
    // build an exception while no handle is left, to be caught at once.
    socket.OnError = [](TCustomWSocket&) {};
}

void TFtpServer::Start() {
    if (FServerSocket->State() == net::wsListening) return;
    ListenOn(*FServerSocket, Addr, Port, false);
    try {
        FExtraSockets.clear();
        FImplicitSockets.clear();
        for (const std::string& addr : ExtraAddrs) {
            auto socket = std::make_unique<net::TWSocket>(FLoop);
            socket->Name = "ServerWSocket" + std::to_string(FExtraSockets.size() + 2);
            ListenOn(*socket, addr, Port, false);
            FExtraSockets.push_back(std::move(socket));
        }
        if (!ImplicitTlsPort.empty()) {
            std::vector<std::string> addrs{Addr};
            addrs.insert(addrs.end(), ExtraAddrs.begin(), ExtraAddrs.end());
            for (const std::string& addr : addrs) {
                auto socket = std::make_unique<net::TWSocket>(FLoop);
                socket->Name = "ImplicitTlsWSocket" + std::to_string(FImplicitSockets.size() + 1);
                ListenOn(*socket, addr, ImplicitTlsPort, true);
                FImplicitSockets.push_back(std::move(socket));
            }
        }
    } catch (...) {
        FExtraSockets.clear();
        FImplicitSockets.clear();
        FServerSocket->Close();
        throw;
    }
}

void TFtpServer::Stop() {
    FExtraSockets.clear();
    FImplicitSockets.clear();
    FServerSocket->Close();
}

void TFtpServer::ServerChangeState(TCustomWSocket&, TSocketState, TSocketState newState) {
    if (FDestroying) return;
    if (newState == net::wsListening && OnStart) OnStart(*this);
    if (newState == net::wsClosed && OnStop) OnStop(*this);
}

void TFtpServer::ServerSessionShed(int handle) {
    // The client hears why before the socket layer closes the connection; a
    // full send buffer on a fresh connection cannot happen, so one
    // non-blocking send says it all.
    std::string line = std::string(reply::kTooManyConnections) + "\r\n";
    (void)!::send(handle, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (OnClientShed) OnClientShed(*this);
}

void TFtpServer::ServerSessionAvailable(TCustomWSocket& listener, uint16_t err, bool implicitTls) {
    if (err != 0) throw EFtpError("Session available error #" + std::to_string(err));
    // The connection is taken before a session exists, so a failed accept
    // (out of file handles, say) leaves no half-made session behind. The
    // socket layer sheds what it cannot accept and resumes by itself, so
    // there is nothing to pause or retry here: a timer to resume with could
    // not even be made while handles are exhausted.
    int fd = -1;
    try {
        fd = listener.Accept();
    } catch (const net::ESocketException&) {
        fd = -1;
    }
    if (fd < 0) return;
    // Replies go out at once (a completion reply must not wait for the
    // client's delayed acknowledgement), and urgent data stays in the command
    // stream: clients send ABOR and the Telnet interrupt that way.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_OOBINLINE, &one, sizeof one);
    ++ClientNum;
    std::unique_ptr<TClient> owned = ClientClass(*this);
    TClient* client = owned.get();
    client->Name = "ClientWSocket" + std::to_string(ClientNum);
    client->DataSocket->Name = "DataWSocket" + std::to_string(ClientNum);
    client->ID = ClientNum;
    client->Banner = Banner;
    client->XferBlockSize = XferBlockSize;
    FClientList.push_back(std::move(owned));
    FClientSet.insert(client);

    // The control connection closes gracefully: an abortive close could
    // overtake the last reply on its way to the client.
    client->LingerOnOff = net::wsLingerOff;
    client->Dup(fd);
    client->CachePeerAddr();
    client->OnCommand = [this](TClient& c, const std::string& line) { ClientCommand(c, line); };
    client->OnSessionClosed = [this, client](TCustomWSocket&, uint16_t) {
        Post(*client, &TFtpServer::ClientClosedProcedure);
    };
    client->OnDataSent = [this, client](TCustomWSocket&, uint16_t) { ClientDataSent(*client); };
    client->OnTlsHandshakeDone = [this, client](TCustomWSocket&, uint16_t e) { ControlTlsDone(*client, e); };

    if (OnClientConnect) OnClientConnect(*this, *client, 0);
    if (!IsClient(client) || client->State() != net::wsConnected) return;
    if (implicitTls) {
        // Never plain text on the FTPS port: without a context the
        // connection only closes.
        if (!TlsContext) return client->Close();
        // The session is as one that did AUTH TLS, with its data protected
        // unless the client asks otherwise; the greeting waits for the
        // handshake.
        client->ImplicitTls = true;
        client->ProtPrivate = true;
        StartControlTls(*client);
        if (!IsClient(client) || client->State() != net::wsConnected) return;
    }
    if (MaxClients > 0 && ClientCount() > MaxClients) {
        client->Banner = reply::kTooManyUsers;
        client->StartConnection();
        client->Close();
    } else {
        client->StartConnection();
    }
}

TFtpServer::TClient* TFtpServer::GetClient(int index) const {
    if (index < 0 || index >= ClientCount()) return nullptr;
    return FClientList[size_t(index)].get();
}

// --- notifications ---------------------------------------------------------------

void TFtpServer::Post(TClient& Client, void (TFtpServer::*handler)(TClient&)) {
    TClient* client = &Client;
    int32_t id = Client.ID;
    FLoop.Post([this, ref = net::TLifeRef(FLife), client, id, handler] {
        if (ref.expired() || !IsClient(client) || client->ID != id) return;
        (this->*handler)(*client);
    });
}

void TFtpServer::CloseRequestNotification(TClient& Client) {
    if (Client.AllSent()) {
        Client.Close();
    } else {
        Client.CloseRequest = true;
    }
}

void TFtpServer::ClientDataSent(TClient& Client) {
    if (!Client.CloseRequest) return;
    Client.CloseRequest = false;
    Post(Client, &TFtpServer::CloseRequestNotification);
}

void TFtpServer::AbortTransferNotification(TClient& Client) {
    Client.DataSocket->Shutdown(2);
    Client.DataSocket->Close();
}

void TFtpServer::CloseDataNotification(TClient& Client) {
    if (Client.PassiveConnected && FPasvPortRangeSize > 0) ReleasePasvPort(Client);
    Client.DataSocket->Close();
}

void TFtpServer::NextBlockNotification(TClient& Client) {
    SendBlock(Client);
}

void TFtpServer::SendNextDataBlock(TClient& Client, net::TWSocket&) {
    if (Client.InDataSentHandler) {
        Client.NextBlockAsked = true;
        return;
    }
    Post(Client, &TFtpServer::NextBlockNotification);
}

void TFtpServer::PostStartSend(TClient& Client) {
    Client.SendPending = true;
    Post(Client, &TFtpServer::StartSendNotification);
}

void TFtpServer::PostAbortTransfer(TClient& Client) {
    Post(Client, &TFtpServer::AbortTransferNotification);
}

void TFtpServer::DelayReplies(TClient& Client, uint32_t ms) {
    if (Client.HoldingReplies) return;
    Client.HoldingReplies = true;
    Client.Pause();
    TClient* client = &Client;
    int32_t id = Client.ID;
    FLoop.AddTimer(ms, false, [this, ref = net::TLifeRef(FLife), client, id] {
        if (ref.expired() || !IsClient(client) || client->ID != id) return;
        ReleaseHeldReplies(*client);
    });
}

void TFtpServer::ReleaseHeldReplies(TClient& Client) {
    Client.HoldingReplies = false;
    std::vector<std::string> held = std::move(Client.HeldReplies);
    Client.HeldReplies.clear();
    Client.Resume();
    for (const std::string& reply : held) {
        try {
            Client.SendText(reply);
        } catch (...) {
        }
    }
    // An AUTH answered while its reply was held: TLS starts only now, behind
    // the reply the client waits for in clear text.
    if (Client.TlsUpgradePending) StartControlTls(Client);
}

void TFtpServer::ClientClosedProcedure(TClient& Client) {
    std::exception_ptr error;
    try {
        net::TWSocket& data = *Client.DataSocket;
        if (Client.DataSessionActive && data.OnSessionClosed) data.OnSessionClosed(data, net::WSAENOTCONN);
    } catch (...) {
        error = std::current_exception();
    }
    ReleasePasvPort(Client);
    // The session leaves the list and is destroyed whatever happened above.
    std::unique_ptr<TClient> owned;
    for (auto it = FClientList.begin(); it != FClientList.end(); ++it) {
        if (it->get() == &Client) {
            owned = std::move(*it);
            FClientList.erase(it);
            break;
        }
    }
    FClientSet.erase(&Client);
    try {
        if (OnClientDisconnect) OnClientDisconnect(*this, Client, 0);
    } catch (...) {
        if (!error) error = std::current_exception();
    }
    owned.reset();
    if (error) std::rethrow_exception(error);
}

void TFtpServer::DisconnectAll() {
    while (!FClientList.empty()) {
        try {
            ClientClosedProcedure(*FClientList.front());
        } catch (const std::exception& e) {
            if (FLoop.OnException) FLoop.OnException(e);
        }
    }
}

// --- replies and dispatch ------------------------------------------------------------

void TFtpServer::SendAnswer(TClient& Client, TFtpString Answer) {
    try {
        // Clean before the event too: the application logs what it sees.
        Answer = reply::OnWire(Answer);
        if (OnAnswerToClient) {
            OnAnswerToClient(*this, Client, Answer);
            Answer = reply::OnWire(Answer);
        }
        Answer += "\r\n";
        if (Client.HoldingReplies) {
            Client.HeldReplies.push_back(std::move(Answer));
            return;
        }
        Client.SendText(Answer);
    } catch (...) {
        // A reply that cannot be sent has nowhere to go.
    }
}

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}
} // namespace

std::string StripTelnet(const std::string& line) {
    constexpr unsigned char kIac = 255, kWill = 251, kDont = 254;
    std::string buf;
    buf.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (static_cast<unsigned char>(line[i]) != kIac) {
            buf += line[i];
            continue;
        }
        if (i + 1 >= line.size()) break;
        unsigned char next = static_cast<unsigned char>(line[i + 1]);
        if (next == kIac) {
            buf += line[i]; // IAC IAC is one 255 byte
            ++i;
        } else if (next >= kWill && next <= kDont) {
            i += 2; // IAC WILL/WONT/DO/DONT option: three bytes
        } else {
            ++i; // IAC and a command byte
        }
    }
    return buf;
}

void TFtpServer::ClientCommand(TClient& Client, const std::string& line) {
    std::string buf = StripTelnet(line);
    // A CR or NUL inside a command would reach file names, listings and log
    // lines, or silently cut the command: refused before anything sees it.
    // The line reader never passes an LF, but a line handed in directly may
    // hold one, and it would do the same harm.
    if (buf.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        SendAnswer(Client, reply::kControlCharacter);
        return;
    }
    TFtpString Keyword, Params, Answer;
    try {
        size_t i = 0;
        while (i < buf.size() && IsBlank(buf[i]))
            ++i;
        size_t k = i;
        while (k < buf.size() && IsAlnum(buf[k]))
            ++k;
        Keyword = net::UpperCase(std::string_view(buf).substr(i, k - i));
        while (k < buf.size() && IsBlank(buf[k]))
            ++k;
        Params = buf.substr(k);

        if (OnClientCommand) OnClientCommand(*this, Client, Keyword, Params, Answer);
        if (!Answer.empty()) {
            SendAnswer(Client, Answer);
            return;
        }
        if (Keyword.empty()) {
            SendAnswer(Client, reply::NotUnderstood(Params));
            return;
        }
        for (const TFtpSrvCommandTableItem& row : FCommandTable) {
            if (row.KeyWord != Keyword) continue;
            if (row.NeedsLogin && Client.FtpState != ftpcReady) {
                Answer = reply::kLoginFirst;
            } else {
                (this->*row.Handler)(Client, Keyword, Params, Answer);
            }
            // A handler that answers later (HASH) leaves Answer empty.
            if (!Answer.empty()) SendAnswer(Client, Answer);
            if (Client.TlsUpgradePending && !Client.HoldingReplies) StartControlTls(Client);
            return;
        }
        SendAnswer(Client, reply::NotUnderstood(Keyword));
    } catch (const std::exception& e) {
        SendAnswer(Client, reply::CommandError(e.what()));
    }
}

std::string TFtpServer::OverlapAndBuild(TClient& Client, const std::string& params) {
    const TPathStyle& style = *PathStyle;
    std::string name = style.ToLocal(params);
    size_t last = name.rfind(style.Sep);
    std::string dirPart = last == std::string::npos ? std::string() : name.substr(0, last + 1);
    if (!dirPart.empty() && dirPart != std::string(1, style.Sep))
        Client.SetDirectory(TrimDirectoryOverlap(style, Client.Directory, name));
    return BuildFilePath(Client, Client.Directory, params);
}

std::string TFtpServer::BuildFilePath(TClient& Client, const std::string& Directory, std::string FileName) {
    const TPathStyle& style = *PathStyle;
    FileName = style.ToLocal(FileName);
    if (style.Drives && FileName.size() > 2 && FileName[0] == style.Sep && FileName[2] == ':')
        FileName.erase(0, 1);
    std::string result;
    if (OnBuildFilePath) OnBuildFilePath(*this, Client, Directory, FileName, result);
    if (!result.empty()) return result;
    return ApplyBuildFilePath(style, Client.HomeDir, Directory, FileName);
}

} // namespace vendrix::ftp
