// Extended data connections (RFC 2428): EPSV and EPRT, which name ports
// without an address and so work on IPv6 control connections too.
#include "FtpSrv.h"

#include "AsciiText.h"
#include "Resolve.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace vendrix::ftp {

using net::TCustomWSocket;

namespace {
// 1 for an IPv4 control connection, 2 for IPv6 (RFC 2428's numbers). A
// mapped IPv4 peer of a dual-stack listener is IPv4.
int ControlFamily(const TFtpCtrlSocket& client) {
    return client.PeerAddr().find(':') == std::string::npos ? 1 : 2;
}

// The address of an EPRT parameter in its usual text form; empty when it
// is not an address of the family given.
std::string AddressText(int family, const std::string& text) {
    if (family == 1) {
        in_addr a{};
        if (inet_pton(AF_INET, text.c_str(), &a) != 1) return {};
        char buf[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &a, buf, sizeof buf);
        return buf;
    }
    net::TSockAddr sa;
    auto* sin6 = reinterpret_cast<sockaddr_in6*>(&sa.Storage);
    sin6->sin6_family = AF_INET6;
    if (inet_pton(AF_INET6, text.c_str(), &sin6->sin6_addr) != 1) return {};
    sa.Length = sizeof(sockaddr_in6);
    return net::WSocketAddrText(sa.Raw());
}
} // namespace

int TFtpServer::ExtendedPassiveListen(TClient& Client, const std::string& addr) {
    net::TWSocket& data = *Client.DataSocket;
    data.Close();
    ReleasePasvPort(Client); // a new listener replaces the old one and its port
    ListenPassive(Client, addr);
    return std::stoi(data.GetLocalPortText());
}

void TFtpServer::CommandEPSV(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcEPSV;
    const std::string param = net::UpperCase(net::TrimControl(Params));
    const int family = ControlFamily(Client);
    if (param == "ALL") {
        Client.EpsvAll = true;
        Answer = reply::kEpsvAllOk;
        return;
    }
    if (!param.empty() && param != std::to_string(family)) {
        Answer = reply::WrongProtocol(family);
        return;
    }
    try {
        // The listener takes connections only on the address the client
        // already reaches this server on.
        const int port = ExtendedPassiveListen(Client, Client.GetLocalAddrText());
        Answer = reply::ExtendedPassive(port);
        Client.PassiveMode = true;
        Client.PassiveStart = false;
        Client.PassiveConnected = false;
    } catch (const std::exception& e) {
        try {
            Client.DataSocket->Close();
        } catch (...) {
        }
        ReleasePasvPort(Client);
        Answer = dynamic_cast<const EPasvRangeBusy*>(&e) ? std::string(reply::kPasvRangeBusy)
                                                         : reply::CantOpenData(e.what());
    }
}

void TFtpServer::CommandEPRT(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcEPRT;
    if (Client.EpsvAll) {
        Answer = reply::kEpsvAllOnly;
        return;
    }
    // "<d>proto<d>address<d>port<d>" with any printable delimiter.
    const std::string p(net::TrimControl(Params));
    if (p.size() < 7 || p[0] < 33 || p[0] > 126) {
        Answer = reply::kEprtInvalid;
        return;
    }
    const char d = p[0];
    std::string fields[3];
    size_t at = 1;
    for (std::string& field : fields) {
        const size_t next = p.find(d, at);
        if (next == std::string::npos) {
            Answer = reply::kEprtInvalid;
            return;
        }
        field = p.substr(at, next - at);
        at = next + 1;
    }
    if (at != p.size()) {
        Answer = reply::kEprtInvalid;
        return;
    }
    const int family = ControlFamily(Client);
    if (fields[0] != "1" && fields[0] != "2") {
        Answer = reply::WrongProtocol(family);
        return;
    }
    const std::string addr = AddressText(fields[0] == "1" ? 1 : 2, fields[1]);
    int64_t port = -1;
    if (!fields[2].empty() && fields[2].size() <= 5 &&
        fields[2].find_first_not_of("0123456789") == std::string::npos)
        port = std::stoll(fields[2]);
    // No bounce: data goes only to the client's own address, and never to
    // a privileged port there.
    if (addr.empty() || port < 1024 || port > 65535 || addr != Client.PeerAddr()) {
        Answer = reply::kEprtInvalid;
        return;
    }
    Client.DataAddr = addr;
    Client.DataPort = std::to_string(port);
    Answer = reply::kEprtOk;
}

} // namespace vendrix::ftp
