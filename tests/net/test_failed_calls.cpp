// A socket call that fails fires nothing: no state change, no connect or
// close event, one error report with the exact code, and no handle left
// open. Every event of the socket is recorded while the call fails and while
// the loop runs afterwards.
#include "EventLoop.h"
#include "Resolve.h"
#include "WSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vendrix::net;

namespace {

using TEvents = std::vector<std::string>;

// Records every event of a socket as text; errors go to OnError, so nothing
// is raised and a second report would show up as a second line.
struct TRecorded {
    TWSocket s;
    TEvents events;

    TRecorded() {
        s.OnError = [this](TCustomWSocket& x) { events.push_back("error " + std::to_string(x.LastError())); };
        s.OnChangeState = [this](TCustomWSocket&, TSocketState o, TSocketState n) {
            events.push_back(std::string("state ") + SocketStateName(o) + "->" + SocketStateName(n));
        };
        s.OnSessionConnected = [this](TCustomWSocket&, uint16_t e) {
            events.push_back("connected " + std::to_string(e));
        };
        s.OnSessionClosed = [this](TCustomWSocket&, uint16_t e) {
            events.push_back("closed " + std::to_string(e));
        };
        s.OnSessionAvailable = [this](TCustomWSocket&, uint16_t) { events.push_back("available"); };
        s.OnDataSent = [this](TCustomWSocket&, uint16_t) { events.push_back("sent"); };
    }
    // The call's events plus whatever the loop delivers afterwards.
    TEvents Settled() {
        for (int i = 0; i < 10; ++i)
            TEventLoop::Instance().RunOnce(1);
        return events;
    }
};

bool IsOpen(int fd) {
    return fd >= 0 && fcntl(fd, F_GETFD) != -1;
}

// A loopback listener whose port is taken for the tests below.
struct TBusyPort {
    TWSocket l;
    std::string port;
    TBusyPort() {
        l.SetAddr("127.0.0.1");
        l.SetPort("0");
        l.Listen();
        port = l.GetLocalPortText();
    }
};

struct TListenCase {
    const char* name;
    const char* addr; // nullptr: not assigned
    const char* port; // nullptr: not assigned; "busy": the port in use
    TEvents expected;
};

TEST(FailedCall, ListenReportsOnceAndFiresNothing) {
    TBusyPort busy;
    const TListenCase cases[] = {
        {"no port, no address", nullptr, nullptr, {"error 10022"}},
        {"no address", nullptr, "0", {"error 10022"}},
        {"port in use", "127.0.0.1", "busy", {"error 10048"}},
        {"address not local", "192.0.2.1", "0", {"error 10049"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRecorded r;
        if (c.addr) r.s.SetAddr(c.addr);
        if (c.port) r.s.SetPort(std::string(c.port) == "busy" ? busy.port : c.port);
        r.s.Listen();
        EXPECT_EQ(r.Settled(), c.expected);
        EXPECT_EQ(r.s.State(), wsClosed);
        EXPECT_EQ(r.s.HSocket(), -1);
    }
}

TEST(FailedCall, ConnectReportsOnceAndFiresNothing) {
    TBusyPort busy;
    struct TCase {
        const char* name;
        const char* addr;
        const char* localPort; // "busy": the port in use
        TEvents expected;
    };
    const TCase cases[] = {
        {"local port in use", "127.0.0.1", "busy", {"error 10048"}},
        {"broadcast address", "255.255.255.255", "0", {"error 10051"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRecorded r;
        r.s.SetAddr(c.addr);
        r.s.SetPort(busy.port);
        r.s.SetLocalAddr("127.0.0.1");
        r.s.SetLocalPort(std::string(c.localPort) == "busy" ? busy.port : c.localPort);
        r.s.Connect();
        EXPECT_EQ(r.Settled(), c.expected);
        EXPECT_EQ(r.s.State(), wsClosed);
        EXPECT_EQ(r.s.HSocket(), -1);
    }
}

TEST(FailedCall, DupOfABadHandleLeavesItWithTheCaller) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    struct TCase {
        const char* name;
        int handle;
        TEvents expected;
    };
    const TCase cases[] = {
        {"no handle", -1, {"error 10022"}},
        {"not a socket", pipeFds[0], {"error 10038"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TRecorded r;
        r.s.Dup(c.handle);
        EXPECT_EQ(r.Settled(), c.expected);
        EXPECT_EQ(r.s.State(), wsClosed);
        EXPECT_EQ(r.s.HSocket(), -1);
    }
    EXPECT_TRUE(IsOpen(pipeFds[0]));
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST(FailedCall, DupWhoseOldHandleFailsToCloseNeverClosesItAgain) {
    // A connected socket whose handle has gone behind its back: closing it
    // fails, and its number may already belong to someone else.
    TRecorded r;
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    r.s.LingerOnOff = wsLingerNoSet;
    r.s.Dup(pair[0]);
    int fresh = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fresh, 0);
    r.events.clear();
    close(pair[0]);
    r.s.Dup(fresh);
    EXPECT_EQ(r.Settled(), (TEvents{"state wsConnected->wsClosed", "error 10009"}));
    EXPECT_EQ(r.s.HSocket(), -1);
    EXPECT_TRUE(IsOpen(fresh)); // still the caller's

    int reused = dup(pair[1]); // most likely the number the socket once held
    r.s.Close();
    EXPECT_TRUE(IsOpen(reused));
    close(reused);
    close(fresh);
    close(pair[1]);
}

TEST(FailedCall, ARaisedDupFailureLeavesNoHandleToCloseTwice) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    int fresh = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int reused = -1;
    {
        TWSocket s;
        s.LingerOnOff = wsLingerNoSet;
        s.Dup(pair[0]);
        close(pair[0]);
        EXPECT_THROW(s.Dup(fresh), ESocketException);
        reused = dup(pair[1]);
    } // the destructor must not close the number the socket gave up
    EXPECT_TRUE(IsOpen(reused));
    close(reused);
    close(fresh);
    close(pair[1]);
}

TEST(Resolve, NumericHostsAreReadWithoutTheNameService) {
    struct TCase {
        const char* host;
        const char* expected; // the address, or the error text
    };
    const TCase cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {" 10.1.2.3 ", "10.1.2.3"},
        {"127.1", "127.0.0.1"},
        {"1.2.3.999", "WSocketResolveHost: Cannot convert host address '1.2.3.999', Error #11001"},
        {"::1", "WSocketResolveHost: Cannot convert host address '::1', Error #11001"},
        {"localhost", "127.0.0.1"},
    };
    for (const auto& c : cases) {
        std::string got;
        try {
            in_addr a = WSocketResolveHost(c.host);
            char buf[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &a, buf, sizeof buf);
            got = buf;
        } catch (const ESocketException& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c.expected) << c.host;
    }
}

} // namespace
