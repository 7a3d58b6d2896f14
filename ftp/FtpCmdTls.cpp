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
    try {
        Client.StartTls(*TlsContext);
    } catch (const std::exception&) {
        Post(Client, &TFtpServer::CloseRequestNotification);
    }
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
    net::TWSocket& data = *Client.DataSocket;
    if (!Client.ProtPrivate || !TlsContext || data.State() != net::wsConnected ||
        data.TlsState() != net::tlsOff)
        return;
    // A handshake that cannot start leaves the transfer to fail on the
    // closed connection, as any broken data connection does.
    try {
        data.StartTls(*TlsContext);
    } catch (const std::exception&) {
        data.Abort();
    }
}

} // namespace vendrix::ftp
