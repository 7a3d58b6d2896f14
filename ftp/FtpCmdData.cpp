// Data connection setup: PORT, PASV, the passive port range, the active
// connect and the passive accept.
#include "FtpSrv.h"

#include "Resolve.h"

#include <arpa/inet.h>
#include <climits>
#include <fstream>
#include <sys/socket.h>
#include <unistd.h>

namespace vendrix::ftp {

using net::TCustomWSocket;

namespace {
// Reads the next number of a PORT parameter: blanks, digits, blanks, then a
// comma or the end. Past the end every number reads as 0.
int64_t GetInteger(const std::string& s, size_t& i) {
    auto blanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
    };
    blanks();
    int64_t value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i] - '0');
        if (value > INT_MAX) throw EFtpError("GetInteger: overflow");
        ++i;
    }
    blanks();
    if (i < s.size()) {
        if (s[i] != ',') throw EFtpError("GetInteger: unexpected char");
        ++i;
    }
    return value;
}

// Whether this process may bind the "ftp-data" port 20: root, the
// CAP_NET_BIND_SERVICE capability, or a lowered unprivileged port start.
bool MayBindDataPort() {
    static const bool allowed = [] {
        if (geteuid() == 0) return true;
        std::ifstream start("/proc/sys/net/ipv4/ip_unprivileged_port_start");
        int first = 1024;
        if (start >> first && first <= 20) return true;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("CapEff:", 0) == 0) {
                unsigned long long caps = std::stoull(line.substr(7), nullptr, 16);
                return ((caps >> 10) & 1) != 0; // CAP_NET_BIND_SERVICE
            }
        }
        return false;
    }();
    return allowed;
}

// The peer of an accepted handle in its usual text form (an IPv4-mapped
// address reads as IPv4), as the control connection's PeerAddr shows it.
std::string PeerOf(int fd) {
    net::TSockAddr sa;
    sa.Length = sizeof sa.Storage;
    if (getpeername(fd, sa.Raw(), &sa.Length) != 0) return {};
    return net::WSocketAddrText(sa.Raw());
}
} // namespace

void TFtpServer::CommandPORT(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcPORT;
    if (Client.EpsvAll) {
        Answer = reply::kEpsvAllOnly;
        return;
    }
    // PORT names IPv4 addresses only; an IPv6 client uses EPRT.
    if (Client.PeerAddr().find(':') != std::string::npos) {
        Answer = reply::WrongProtocol(2);
        return;
    }
    try {
        size_t i = 0;
        int64_t n[6];
        for (int64_t& v : n)
            v = GetInteger(Params, i);
        for (int64_t v : n)
            if (v > 255) throw EFtpError("out of range");
        std::string addr = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) +
                           "." + std::to_string(n[3]);
        int64_t port = n[4] * 256 + n[5];
        // No bounce: data goes only to the client's own address, and never
        // to a privileged port there.
        if (addr != Client.PeerAddr() || port < 1024) throw EFtpError("refused");
        Client.DataAddr = addr;
        Client.DataPort = std::to_string(port);
        Answer = reply::kPortOk;
    } catch (const std::exception&) {
        Answer = reply::kPortInvalid;
    }
}

std::string TFtpServer::NextPasvPort(size_t from) {
    if (FPasvPortRangeStart == 0 || FPasvPortRangeSize == 0) return from == 0 ? "0" : "";
    for (size_t i = from; i < FPasvPortTable.size(); ++i) {
        if (FPasvPortTable[i] == 0) {
            FPasvPortTable[i] = 1;
            return std::to_string(FPasvPortRangeStart + int32_t(i));
        }
    }
    return {};
}

void TFtpServer::ReleasePasvPort(TClient& Client) {
    int32_t port = Client.PasvPort;
    Client.PasvPort = 0;
    int32_t index = port - FPasvPortRangeStart;
    if (port > 0 && index >= 0 && index < int32_t(FPasvPortTable.size())) FPasvPortTable[size_t(index)] = 0;
}

void TFtpServer::SetPasvPortRangeSize(int32_t value) {
    if (value < 0 || value > 65535)
        throw EFtpError("Invalid PasvPortRangeSize " + std::to_string(value) + ".");
    if (value == FPasvPortRangeSize) return;
    for (int32_t i = value; i < FPasvPortRangeSize; ++i)
        if (FPasvPortTable[size_t(i)] == 1)
            throw EFtpError("Unable to change PasvPortRangeSize when port is in use.");
    FPasvPortTable.resize(size_t(value), 0);
    FPasvPortRangeSize = value;
}

void TFtpServer::SetPasvPortRangeStart(int32_t value) {
    if (value < 0 || value > 65535)
        throw EFtpError("Invalid PasvPortRangeStart " + std::to_string(value) + ".");
    if (value == FPasvPortRangeStart) return;
    for (uint8_t used : FPasvPortTable)
        if (used == 1) throw EFtpError("Unable to change PasvPortRangeStart when port is in use.");
    FPasvPortRangeStart = value;
}

void TFtpServer::ListenPassive(TClient& Client, const std::string& local) {
    net::TWSocket& data = *Client.DataSocket;
    // A port of the range may be held by another program: the next free one
    // is tried, and only a range with no port left is busy.
    for (size_t from = 0;;) {
        std::string port = NextPasvPort(from);
        if (port.empty()) throw EPasvRangeBusy();
        Client.PasvPort = std::stoi(port);
        // Only the control connection's own interface listens: the client
        // reaches the server there, and nobody needs more.
        data.SetAddr(local);
        data.SetPort(port);
        data.SetProto("tcp");
        data.OnSessionAvailable = [this, &Client](TCustomWSocket&, uint16_t err) {
            PassiveAccept(Client, err);
        };
        InstallHandlers(Client, THandlerSet::None);
        data.ComponentOptions = net::wsoNoReceiveLoop;
        try {
            data.Listen();
            return;
        } catch (const net::ESocketException&) {
            bool taken = data.LastError() == net::WSAEADDRINUSE && port != "0";
            ReleasePasvPort(Client);
            if (!taken) throw;
            from = size_t(std::stoi(port) - FPasvPortRangeStart) + 1;
        }
    }
}

void TFtpServer::CommandPASV(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    net::TWSocket& data = *Client.DataSocket;
    if (Client.EpsvAll) {
        Answer = reply::kEpsvAllOnly;
        return;
    }
    // The reply can only name an IPv4 address.
    if (Client.PeerAddr().find(':') != std::string::npos) {
        Answer = reply::kPasvOnIpv6;
        return;
    }
    try {
        std::string local = Client.GetLocalAddrText();
        data.Close();
        ReleasePasvPort(Client); // a new PASV replaces the listener and its port
        ListenPassive(Client, local);
        int p = std::stoi(data.GetLocalPortText());
        std::string hostPart;
        if (Client.PeerAddr() == "127.0.0.1") {
            hostPart = "127,0,0,1";
        } else {
            std::string addr = PasvIpAddr.empty() ? local : PasvIpAddr;
            if (!PasvIpAddr.empty() && !net::WSocketIsDottedIp(PasvIpAddr))
                throw EFtpError("Invalid PASV IP Address");
            for (char& c : addr)
                if (c == '.') c = ',';
            hostPart = addr;
        }
        Answer = reply::PassiveMode(hostPart, p);
        Client.PassiveMode = true;
        Client.PassiveStart = false;
        Client.PassiveConnected = false;
    } catch (const std::exception& e) {
        Answer = dynamic_cast<const EPasvRangeBusy*>(&e) ? std::string(reply::kPasvRangeBusy)
                                                         : reply::PasvError(e.what());
        try {
            data.Close();
        } catch (...) {
        }
        ReleasePasvPort(Client);
    }
}

void TFtpServer::InstallHandlers(TClient& Client, THandlerSet set) {
    net::TWSocket& data = *Client.DataSocket;
    TClient* c = &Client;
    data.OnSessionConnected = nullptr;
    data.OnSessionClosed = nullptr;
    data.OnDataAvailable = nullptr;
    data.OnDataSent = nullptr;
    data.OnSendData = nullptr;
    if (set == THandlerSet::Upload) {
        data.OnSessionConnected = [this, c](TCustomWSocket&, uint16_t err) {
            if (!err) SecureDataConnection(*c);
            UploadConnected(*c, err);
        };
        data.OnSessionClosed = [this, c](TCustomWSocket&, uint16_t err) { UploadClosed(*c, err); };
        data.OnDataAvailable = [this, c](TCustomWSocket&, uint16_t err) { UploadDataAvailable(*c, err); };
    } else if (set == THandlerSet::Download) {
        data.OnSessionConnected = [this, c](TCustomWSocket&, uint16_t err) {
            if (!err) SecureDataConnection(*c);
            DownloadConnected(*c, err);
        };
        data.OnSessionClosed = [this, c](TCustomWSocket&, uint16_t err) { DownloadClosed(*c, err); };
        data.OnDataSent = [this, c](TCustomWSocket&, uint16_t err) { DownloadDataSent(*c, err); };
        data.OnSendData = [this, c](TCustomWSocket&, int sent) {
            c->HandedCount += sent;
            if (!c->SendingFile) return;
            c->ByteCount += sent;
            BytesSentTotal += sent;
        };
    }
}

void TFtpServer::ActiveConnect(TClient& Client, THandlerSet set, bool closeFirst, bool bindDataPort) {
    net::TWSocket& data = *Client.DataSocket;
    if (closeFirst) data.Close();
    data.SetProto("tcp");
    data.SetAddr(Client.DataAddr);
    data.SetPort(Client.DataPort);
    InstallHandlers(Client, set);
    data.LingerOnOff = net::wsLingerOff;
    data.LingerTimeout = 0;
    if (bindDataPort) {
        // The data connection leaves from the control connection's interface,
        // and from "ftp-data" only where the process may bind it.
        data.SetLocalAddr(Client.GetLocalAddrText());
        data.SetLocalPort(MayBindDataPort() ? "ftp-data" : "0");
    }
    data.ComponentOptions = net::wsoNoReceiveLoop;
    data.SetSendBlockSize(Client.XferBlockSize);
    data.Connect();
}

void TFtpServer::PassiveAccept(TClient& Client, uint16_t) {
    net::TWSocket& data = *Client.DataSocket;
    int fd = data.Accept();
    if (fd < 0) return;
    // Only the client itself may connect: anybody else could steal the data.
    if (PeerOf(fd) != Client.PeerAddr()) {
        ::close(fd);
        return;
    }
    data.OnSessionClosed = nullptr;
    data.Close();
    // Without a waiting transfer command the connection gets no handlers: a
    // client that connects early and is then refused must not see its idle
    // connection reported as a completed transfer. The command installs its
    // own handlers when it comes.
    THandlerSet set = THandlerSet::None;
    if (Client.PassiveStart) switch (Client.CurCmdType) {
        case ftpcSTOR:
        case ftpcAPPE:
        case ftpcSTOU:
            set = THandlerSet::Upload;
            break;
        case ftpcRETR:
        case ftpcLIST:
        case ftpcNLST:
            set = THandlerSet::Download;
            break;
        default:
            break;
        }
    InstallHandlers(Client, set);
    data.LingerOnOff = net::wsLingerOff;
    data.LingerTimeout = 0;
    data.ComponentOptions = net::wsoNoReceiveLoop;
    data.SetSendBlockSize(Client.XferBlockSize);
    data.Dup(fd);
    Client.PassiveConnected = true;
    SecureDataConnection(Client);
    if (Client.PassiveStart && data.OnSessionConnected) data.OnSessionConnected(data, 0);
}

} // namespace vendrix::ftp
