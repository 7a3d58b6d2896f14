// Explicit FTPS: AUTH, PBSZ, PROT and CCC, the control connection's switch
// to TLS, and the TLS handshake of PROT P data connections.
#include "AsciiText.h"
#include "FtpSrv.h"

namespace vendrix::ftp {

void TFtpServer::CommandAUTH(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcAUTH;
    std::string_view mechanism = net::TrimControl(Params);
    if (!net::EqualsNoCase(mechanism, "TLS") && !net::EqualsNoCase(mechanism, "SSL") &&
        !net::EqualsNoCase(mechanism, "TLS-C")) {
        Answer = reply::kAuthUnknown;
    } else if (Client.TlsState() != net::tlsOff) {
        Answer = reply::kAuthAgain;
    } else if (!TlsContext) {
        Answer = reply::kAuthUnavailable;
    } else {
        Answer = reply::kAuthTlsOk;
        Client.TlsUpgradePending = true;
    }
}

void TFtpServer::StartControlTls(TClient& Client) {
    Client.TlsUpgradePending = false;
    Client.TlsContext = TlsContext;
    try {
        Client.StartTls(*Client.TlsContext);
    } catch (const std::exception&) {
        Post(Client, &TFtpServer::CloseRequestNotification);
    }
}

void TFtpServer::ControlTlsDone(TClient& Client, uint16_t err) {
    if (OnTlsHandshakeDone) OnTlsHandshakeDone(*this, Client, nullptr, err, false);
}

void TFtpServer::CommandPBSZ(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcPBSZ;
    if (Client.TlsState() != net::tlsEstablished) {
        Answer = reply::kTlsFirst;
        return;
    }
    // A stream protocol has no buffer size to agree on: always 0.
    Client.PbszDone = true;
    Answer = reply::kPbszOk;
}

void TFtpServer::CommandPROT(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcPROT;
    std::string level = net::UpperCase(net::TrimControl(Params));
    if (Client.TlsState() != net::tlsEstablished) {
        Answer = reply::kTlsFirst;
    } else if (level == "P" || level == "C") {
        Client.ProtPrivate = level == "P";
        Answer = Client.ProtPrivate ? reply::kProtPrivate : reply::kProtClear;
    } else if (level == "S" || level == "E") {
        Answer = reply::kProtUnsupported;
    } else {
        Answer = reply::kProtUnknown;
    }
}

void TFtpServer::CommandCCC(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcCCC;
    Answer = reply::kCccRefused;
}

void TFtpServer::SecureDataConnection(TClient& Client) {
    Client.DataTlsRefused = false; // a new data connection
    net::TWSocket& data = *Client.DataSocket;
    if (!Client.ProtPrivate || !Client.TlsContext || data.State() != net::wsConnected ||
        data.TlsState() != net::tlsOff)
        return;
    TClient* c = &Client;
    data.OnTlsHandshakeDone = [this, c](net::TCustomWSocket&, uint16_t err) { DataTlsDone(*c, err); };
    // No session tickets after the handshake: a client that only writes (an
    // upload) would never read them, and unread bytes at its close make its
    // system reset the connection, which loses the end of the upload here.
    // The client resumes the control connection's session every time.
    data.TlsIssueTickets = false;
    // A handshake that cannot start leaves the transfer to fail on the
    // closed connection, as any broken data connection does.
    try {
        data.StartTls(*Client.TlsContext);
    } catch (const std::exception&) {
        data.Abort();
    }
}

void TFtpServer::DataTlsDone(TClient& Client, uint16_t err) {
    net::TWSocket& data = *Client.DataSocket;
    // The control connection's session is known only to its client (and the
    // tag inside it only to the server): a connection that resumed another
    // session, or none, may come from anybody who reached the port first.
    const uint64_t resumed = data.TlsResumedTag();
    const bool refused = err == 0 && TlsRequireReuse && (resumed == 0 || resumed != Client.TlsSessionTag());
    TClient* client = &Client;
    if (OnTlsHandshakeDone) OnTlsHandshakeDone(*this, Client, &data, err, refused);
    if (!IsClient(client)) return;
    if (!refused) {
        // A download waiting for the handshake starts now; after a failed
        // one the connection closes and ends it.
        if (Client.DataTlsWait && err == 0) {
            Client.DataTlsWait = false;
            SendBlock(Client);
        }
        return;
    }
    Client.DataTlsWait = false;
    Client.DataTlsRefused = true;
    // A transfer already waiting on the connection ends now; one that comes
    // later is refused when it starts.
    if (Client.DataSessionActive) RefuseDataConnection(Client);
}

void TFtpServer::RefuseDataConnection(TClient& Client) {
    Client.AbortingTransfer = true;
    Client.TransferError = "TLS session not resumed";
    Client.DataRefusal = reply::kTlsReuseRequired;
    Post(Client, &TFtpServer::AbortTransferNotification);
}

} // namespace vendrix::ftp
