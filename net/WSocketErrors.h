// Socket error codes in the Windows Sockets numbering that the FTP engine and
// the session log pass on, the mapping from Linux errno values, and their
// descriptions.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vendrix::net {

enum : uint16_t {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAEADDRINUSE = 10048,
    WSANOTINITIALISED = 10093,
};

// Maps an errno value onto the Windows Sockets code; unknown values pass
// through unchanged (and are described as "Not a WinSock error").
uint16_t WSocketErrorFromErrno(int err);

// The description of a code ("Connection reset by peer", ...).
std::string WSocketErrorDesc(int code);

// The error every socket operation raises.
class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const std::string& msg) : std::runtime_error(msg) {}
};

} // namespace vendrix::net
