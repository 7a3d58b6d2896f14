#include "Resolve.h"

#include "WSocketErrors.h"

#include <arpa/inet.h>
#include <cctype>
#include <netdb.h>

namespace vendrix::net {

int WSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    if (std::isdigit(static_cast<unsigned char>(proto[0]))) return std::atoi(proto.c_str());
    protoent* pe = getprotobyname(proto.c_str());
    if (!pe)
        throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + proto + "', Error #11001");
    return pe->p_proto;
}

uint16_t WSocketResolvePort(const std::string& port, const std::string& proto) {
    if (port.empty() || port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
    if (proto.empty() || proto.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Proto.");
    size_t i = port.find_first_not_of(' ');
    if (i != std::string::npos && std::isdigit(static_cast<unsigned char>(port[i]))) {
        long value = 0;
        for (; i < port.size() && std::isdigit(static_cast<unsigned char>(port[i])); ++i) {
            value = value * 10 + (port[i] - '0');
            if (value > 65535) break;
        }
        if (value > 65535) throw ESocketException("WSocketResolvePort: Invalid Port.");
        return uint16_t(value);
    }
    std::string p = proto;
    if (std::isdigit(static_cast<unsigned char>(p[0])))
        p = std::atoi(p.c_str()) == IPPROTO_UDP ? "udp" : "tcp";
    servent* se = getservbyname(port.c_str(), p.c_str());
    if (!se) throw ESocketException("WSocketResolvePort: Cannot convert port '" + port + "', Error #11001");
    return ntohs(uint16_t(se->s_port));
}

bool WSocketIsDottedIp(const std::string& text) {
    size_t b = text.find_first_not_of(' ');
    size_t e = text.find_last_not_of(' ');
    if (b == std::string::npos) return false;
    std::string t = text.substr(b, e - b + 1);
    if (t[0] == '.') return false;
    int dots = 0, part = 0, digits = 0;
    for (char c : t) {
        if (c == '.') {
            if (digits == 0) return false;
            ++dots;
            part = digits = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            part = part * 10 + (c - '0');
            if (++digits > 3 || part > 255) return false;
        } else {
            return false;
        }
    }
    return dots == 3 && digits > 0;
}

in_addr WSocketResolveHost(const std::string& host) {
    if (host.empty() || host.size() > 256)
        throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
    in_addr a{};
    if (WSocketIsDottedIp(host)) {
        size_t b = host.find_first_not_of(' ');
        size_t e = host.find_last_not_of(' ');
        if (inet_pton(AF_INET, host.substr(b, e - b + 1).c_str(), &a) != 1)
            throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
        return a;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
    if (rc != 0 || !res)
        throw ESocketException("WSocketResolveHost: Cannot convert host address '" + host +
                               "', Error #11001");
    a = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return a;
}

} // namespace vendrix::net
