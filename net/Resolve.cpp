#include "Resolve.h"

#include "WSocketErrors.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstring>
#include <netdb.h>

namespace vendrix::net {

int WSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
    if (std::isdigit(static_cast<unsigned char>(proto[0]))) return std::atoi(proto.c_str());
    // The two every socket names, without the protocols file: each passive
    // connection would read it again, and a minimal system may not have it.
    if (proto == "tcp" || proto == "TCP") return IPPROTO_TCP;
    if (proto == "udp" || proto == "UDP") return IPPROTO_UDP;
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

namespace {
// Text no name service could know as a host name: digits and dots only (a
// top-level domain is never all digits), or an IPv6 literal.
bool LooksNumeric(const std::string& host) {
    if (host.find(':') != std::string::npos) return true;
    size_t b = host.find_first_not_of(' ');
    size_t e = host.find_last_not_of(' ');
    if (b == std::string::npos) return false;
    for (size_t i = b; i <= e; ++i)
        if (!std::isdigit(static_cast<unsigned char>(host[i])) && host[i] != '.') return false;
    return true;
}
} // namespace

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
    // Numeric forms ("127.1", "0x7f.1", an IPv6 literal) never go to the
    // name service: a lookup blocks the loop, and the answer is known here.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* res = nullptr;
    int rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
    if (rc != 0 && !LooksNumeric(host)) {
        hints.ai_flags = 0;
        rc = getaddrinfo(host.c_str(), nullptr, &hints, &res);
    }
    if (rc != 0 || !res)
        throw ESocketException("WSocketResolveHost: Cannot convert host address '" + host +
                               "', Error #11001");
    a = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return a;
}

namespace {
std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}
} // namespace

TSockAddr WSocketResolveAddr(const std::string& host, uint16_t port) {
    TSockAddr a;
    std::string t = Trimmed(host);
    if (t.size() > 2 && t.front() == '[' && t.back() == ']') t = t.substr(1, t.size() - 2);
    if (t.find(':') != std::string::npos) {
        // Read without the name service, scope ("fe80::1%eth0") included.
        addrinfo hints{};
        hints.ai_family = AF_INET6;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICHOST;
        addrinfo* res = nullptr;
        if (getaddrinfo(t.c_str(), nullptr, &hints, &res) != 0 || !res)
            throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
        std::memcpy(&a.Storage, res->ai_addr, res->ai_addrlen);
        a.Length = socklen_t(res->ai_addrlen);
        freeaddrinfo(res);
        reinterpret_cast<sockaddr_in6*>(&a.Storage)->sin6_port = htons(port);
        return a;
    }
    auto* in = reinterpret_cast<sockaddr_in*>(&a.Storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(port);
    in->sin_addr = WSocketResolveHost(host);
    a.Length = sizeof(sockaddr_in);
    return a;
}

TSockAddr WSocketAnyAddr(int family, uint16_t port) {
    TSockAddr a;
    if (family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.Storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        in6->sin6_addr = in6addr_any;
        a.Length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&a.Storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(INADDR_ANY);
        a.Length = sizeof(sockaddr_in);
    }
    return a;
}

std::string WSocketAddrText(const sockaddr* sa) {
    char buf[INET6_ADDRSTRLEN] = {};
    if (sa->sa_family == AF_INET6) {
        const in6_addr& a6 = reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&a6)) {
            in_addr a4{};
            std::memcpy(&a4, &a6.s6_addr[12], sizeof a4);
            inet_ntop(AF_INET, &a4, buf, sizeof buf);
        } else {
            inet_ntop(AF_INET6, &a6, buf, sizeof buf);
        }
        return buf;
    }
    if (sa->sa_family != AF_INET) return "error";
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, buf, sizeof buf);
    return buf;
}

std::string WSocketPortText(const sockaddr* sa) {
    if (sa->sa_family == AF_INET6)
        return std::to_string(ntohs(reinterpret_cast<const sockaddr_in6*>(sa)->sin6_port));
    if (sa->sa_family == AF_INET)
        return std::to_string(ntohs(reinterpret_cast<const sockaddr_in*>(sa)->sin_port));
    return "error";
}

} // namespace vendrix::net
