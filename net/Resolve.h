// Name, port and protocol resolution for the socket layer. Each function
// raises ESocketException with the text the socket prefixes with "listen: "
// or "connect: ".
#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>

namespace vendrix::net {

int WSocketResolveProto(const std::string& proto);
uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);
in_addr WSocketResolveHost(const std::string& host);
// True for a dotted IPv4 address as the resolver reads one directly.
bool WSocketIsDottedIp(const std::string& text);

// A socket address of either family.
struct TSockAddr {
    sockaddr_storage Storage{};
    socklen_t Length = 0;
    int Family() const { return Storage.ss_family; }
    sockaddr* Raw() { return reinterpret_cast<sockaddr*>(&Storage); }
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
};

// Host and port as an address: an IPv6 literal ("::1", "[::1]", "::") gives
// an IPv6 address, anything else goes through WSocketResolveHost.
TSockAddr WSocketResolveAddr(const std::string& host, uint16_t port);
// The "any" address of a family, with a port.
TSockAddr WSocketAnyAddr(int family, uint16_t port);
// The address in its usual text form; an IPv4-mapped IPv6 address
// ("::ffff:1.2.3.4") reads as the IPv4 address it carries.
std::string WSocketAddrText(const sockaddr* sa);
// The port in decimal.
std::string WSocketPortText(const sockaddr* sa);

} // namespace vendrix::net
