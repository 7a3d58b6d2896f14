// Name, port and protocol resolution for the socket layer. Each function
// raises ESocketException with the text the socket prefixes with "listen: "
// or "connect: ".
#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace vendrix::net {

int WSocketResolveProto(const std::string& proto);
uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);
in_addr WSocketResolveHost(const std::string& host);
// True for a dotted IPv4 address as the resolver reads one directly.
bool WSocketIsDottedIp(const std::string& text);

} // namespace vendrix::net
