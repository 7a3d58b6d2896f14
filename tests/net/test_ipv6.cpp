// IPv6 listening and connecting on ::1, one dual-stack listener for both
// families, and addresses in their usual text form (an IPv4 client of a
// dual-stack listener reads as dotted IPv4). Skipped on a host without IPv6.
#include "EventLoop.h"
#include "Resolve.h"
#include "WSocket.h"

#include "PumpUntil.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vendrix::net;
using vendrix::testing::PumpUntil;

namespace {

bool HostHasIpv6Loopback() {
    int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_addr = in6addr_loopback;
    bool ok = bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    close(fd);
    return ok;
}

// A listener on `addr` that adopts one connection, and a client.
struct TLink {
    TWSocket listener;
    std::unique_ptr<TWSocket> server;
    TWSocket client;
    std::vector<std::string> clientEvents;

    TLink(const std::string& addr, bool dualStack) {
        listener.SetAddr(addr);
        listener.SetPort("0");
        listener.DualStack = dualStack;
        listener.OnSessionAvailable = [this](TCustomWSocket&, uint16_t) {
            server = std::make_unique<TWSocket>();
            server->Dup(listener.Accept());
        };
        listener.Listen();
        client.OnSessionConnected = [this](TCustomWSocket&, uint16_t e) {
            clientEvents.push_back("connected " + std::to_string(e));
        };
        client.OnSessionClosed = [this](TCustomWSocket&, uint16_t e) {
            clientEvents.push_back("closed " + std::to_string(e));
        };
    }
    void Connect(const std::string& addr) {
        client.SetAddr(addr);
        client.SetPort(listener.GetLocalPortText());
        client.Connect();
    }
};

TEST(Ipv6, ListenAndConnectOnTheLoopback) {
    if (!HostHasIpv6Loopback()) GTEST_SKIP() << "no IPv6 on this host";
    TLink link("::1", false);
    EXPECT_EQ(link.listener.GetLocalAddrText(), "::1");
    link.Connect("[::1]");
    ASSERT_TRUE(PumpUntil([&] { return link.server && link.client.State() == wsConnected; }));
    EXPECT_EQ(link.server->PeerAddr(), "::1");
    EXPECT_EQ(link.server->PeerPort(), link.client.GetLocalPortText());
    EXPECT_EQ(link.client.PeerAddr(), "::1");
    EXPECT_EQ(link.client.PeerPort(), link.listener.GetLocalPortText());
    sockaddr_in v4{};
    EXPECT_FALSE(link.server->GetLocalSockAddr(v4)); // no IPv4 form of ::1
}

TEST(Ipv6, ADualStackListenerReportsAnIpv4ClientAsDottedIpv4) {
    if (!HostHasIpv6Loopback()) GTEST_SKIP() << "no IPv6 on this host";
    TLink link("::", true);
    link.Connect("127.0.0.1");
    ASSERT_TRUE(PumpUntil([&] { return link.server && link.client.State() == wsConnected; }));
    EXPECT_EQ(link.server->PeerAddr(), "127.0.0.1");
    EXPECT_EQ(link.server->GetLocalAddrText(), "127.0.0.1");
    sockaddr_in v4{};
    ASSERT_TRUE(link.server->GetLocalSockAddr(v4));
    EXPECT_EQ(v4.sin_family, AF_INET);
    EXPECT_EQ(ntohl(v4.sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_EQ(std::to_string(ntohs(v4.sin_port)), link.listener.GetLocalPortText());
}

TEST(Ipv6, AnIpv6OnlyListenerRefusesIpv4Clients) {
    if (!HostHasIpv6Loopback()) GTEST_SKIP() << "no IPv6 on this host";
    TLink link("::", false);
    link.Connect("127.0.0.1");
    EXPECT_TRUE(PumpUntil([&] { return link.clientEvents.size() == 2; }));
    EXPECT_EQ(link.clientEvents, (std::vector<std::string>{"connected 10061", "closed 0"}));
    EXPECT_FALSE(link.server);
}

TEST(Ipv6, AddressTexts) {
    struct TCase {
        const char* host;
        const char* expected; // the address as text, or the error
    };
    const TCase cases[] = {
        {"::1", "::1"},
        {" [::1] ", "::1"},
        {"::", "::"},
        {"::ffff:1.2.3.4", "1.2.3.4"},
        {"2001:DB8:0:0::1", "2001:db8::1"},
        {"127.0.0.1", "127.0.0.1"},
        {"::1x", "WSocketResolveHost: '::1x' Invalid IP address."},
        {"[::1", "WSocketResolveHost: '[::1' Invalid IP address."},
    };
    for (const auto& c : cases) {
        std::string got;
        try {
            TSockAddr a = WSocketResolveAddr(c.host, 21);
            got = WSocketAddrText(a.Raw());
            EXPECT_EQ(WSocketPortText(a.Raw()), "21") << c.host;
        } catch (const ESocketException& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c.expected) << c.host;
    }
}

} // namespace
