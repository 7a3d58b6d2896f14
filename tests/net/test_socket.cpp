// The asynchronous socket and the event loop, over real sockets on 127.0.0.1.
#include "Buffer.h"
#include "EventLoop.h"
#include "Resolve.h"
#include "WSocket.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vendrix::net;

namespace {

TEventLoop& Loop() {
    return TEventLoop::Instance();
}

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Loop().RunOnce(5);
    }
    return true;
}

std::string ErrorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "<no error>";
}

// A listener on an ephemeral loopback port that adopts each connection.
struct TPair {
    TWSocket listener;
    std::unique_ptr<TWSocket> server;
    TWSocket client;
    int port = 0;

    TPair() {
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](TCustomWSocket&, uint16_t) {
            server = std::make_unique<TWSocket>();
            server->Dup(listener.Accept());
        };
        listener.Listen();
        port = std::stoi(listener.GetLocalPortText());
    }
    void Connect() {
        client.SetAddr("127.0.0.1");
        client.SetPort(std::to_string(port));
        client.Connect();
        EXPECT_TRUE(PumpUntil([&] { return server && client.State() == wsConnected; }));
    }
};

TEST(Buffer, WritePeekRemoveAndReuse) {
    TBuffer b(4);
    EXPECT_EQ(b.Write("abcdef", 6), 4);
    EXPECT_EQ(b.Write("x", 1), 0);
    int n = 0;
    EXPECT_EQ(std::string(b.Peek(n), 2), "ab");
    EXPECT_EQ(n, 4);
    EXPECT_EQ(b.Remove(3), 3);
    EXPECT_EQ(b.Write("x", 1), 0); // no compaction: only a drained block is reused
    EXPECT_EQ(b.Remove(5), 1);
    EXPECT_EQ(b.Peek(n), nullptr);
    EXPECT_EQ(b.Write("xyz", 3), 3);
    EXPECT_EQ(TBuffer(0).Capacity(), 1514);
}

TEST(Resolve, ProtocolNamesAndNumbers) {
    const std::pair<std::string, int> known[] = {{"tcp", IPPROTO_TCP},
                                                 {"TCP", IPPROTO_TCP},
                                                 {"udp", IPPROTO_UDP},
                                                 {"UDP", IPPROTO_UDP},
                                                 {"6", 6},
                                                 {"17", 17}};
    for (const auto& [name, number] : known)
        EXPECT_EQ(WSocketResolveProto(name), number) << name;
    EXPECT_EQ(ErrorText([] { WSocketResolveProto("nosuchproto"); }),
              "WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11001");
    EXPECT_EQ(ErrorText([] { WSocketResolveProto(""); }), "WSocketResolveProto: Invalid Protocol.");
}

TEST(Socket, ErrorTextsOfRefusedOperations) {
    TWSocket s;
    EXPECT_EQ(ErrorText([&] { s.Send("x", 1); }), "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(ErrorText([&] { s.Connect(); }), "Connect: No Port Specified");
    s.SetPort("21");
    EXPECT_EQ(ErrorText([&] { s.Connect(); }), "Connect: No IP Address Specified");
    s.SetAddr("127.0.0.1");
    s.SetPort("70000");
    EXPECT_EQ(ErrorText([&] { s.Connect(); }), "connect: WSocketResolvePort: Invalid Port.");
    s.SetAddr("1.2.3.999");
    s.SetPort("21");
    EXPECT_EQ(ErrorText([&] { s.Connect(); }),
              "connect: WSocketResolveHost: Cannot convert host address '1.2.3.999', Error #11001");
    TWSocket l;
    l.SetAddr("127.0.0.1");
    EXPECT_EQ(ErrorText([&] { l.Listen(); }), "listen: port not assigned");
    l.SetPort("70000");
    EXPECT_EQ(ErrorText([&] { l.Listen(); }), "listen: WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(l.State(), wsClosed);
}

TEST(Socket, PropertiesChangeOnlyWhileClosed) {
    TPair p;
    EXPECT_EQ(ErrorText([&] { p.listener.SetPort("2121"); }), "Cannot change Port if not closed");
    EXPECT_EQ(ErrorText([&] { p.listener.SetPort("0"); }), "<no error>"); // the same value is no change
    EXPECT_EQ(ErrorText([&] { p.listener.SetAddr("0.0.0.0"); }), "Cannot change Addr if not closed");
    p.listener.Close();
    EXPECT_FALSE(p.listener.PortAssigned());
    EXPECT_FALSE(p.listener.AddrAssigned());
}

TEST(Socket, ListenOnAPortInUseFailsWith10048) {
    TPair p;
    TWSocket other;
    other.SetAddr("127.0.0.1");
    other.SetPort(std::to_string(p.port));
    EXPECT_EQ(ErrorText([&] { other.Listen(); }), "Error 10048 in function Bind\r\nAddress already in use");
    EXPECT_EQ(other.State(), wsClosed);
}

TEST(Socket, LargeSendDrainsWithOneDataSentFromTheLoop) {
    TPair p;
    p.Connect();
    int sentEvents = 0;
    bool inSend = false;
    Loop().RunOnce(10); // the connect's own write notification
    p.client.OnDataSent = [&](TCustomWSocket&, uint16_t) {
        EXPECT_FALSE(inSend);
        ++sentEvents;
    };
    std::string data(5 * 1024 * 1024, 'z');
    inSend = true;
    EXPECT_EQ(p.client.Send(data.data(), int(data.size())), int(data.size()));
    inSend = false;
    std::string got;
    p.server->OnDataAvailable = [&](TCustomWSocket& s, uint16_t) {
        char buf[65536];
        int n = s.Receive(buf, sizeof buf);
        if (n > 0) got.append(buf, size_t(n));
    };
    EXPECT_TRUE(PumpUntil([&] { return got.size() == data.size() && sentEvents > 0; }));
    for (int i = 0; i < 20; ++i)
        Loop().RunOnce(1);
    EXPECT_EQ(sentEvents, 1);
    EXPECT_TRUE(p.client.AllSent());
}

TEST(Socket, SmallSendStillReportsDataSentAfterTheHandlerReturns) {
    TPair p;
    p.Connect();
    for (int i = 0; i < 5; ++i)
        Loop().RunOnce(1);
    int sentEvents = 0;
    p.client.OnDataSent = [&](TCustomWSocket&, uint16_t) { ++sentEvents; };
    p.client.SendText("hello");
    EXPECT_EQ(sentEvents, 0);
    EXPECT_TRUE(PumpUntil([&] { return sentEvents == 1; }));
}

TEST(Socket, FailedConnectFiresConnectedWithCodeThenClosed) {
    // A port that was just free: nobody listens there.
    TWSocket probe;
    probe.SetAddr("127.0.0.1");
    probe.SetPort("0");
    probe.Listen();
    std::string port = probe.GetLocalPortText();
    probe.Close();

    TWSocket s;
    std::vector<std::string> events;
    s.OnSessionConnected = [&](TCustomWSocket&, uint16_t e) {
        events.push_back("connected " + std::to_string(e));
    };
    s.OnSessionClosed = [&](TCustomWSocket&, uint16_t e) { events.push_back("closed " + std::to_string(e)); };
    s.SetAddr("127.0.0.1");
    s.SetPort(port);
    s.Connect();
    EXPECT_TRUE(PumpUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"connected 10061", "closed 0"}));
    EXPECT_EQ(s.State(), wsClosed);
    // After the close Addr and Port are unassigned again.
    EXPECT_EQ(ErrorText([&] { s.Connect(); }), "Connect: No Port Specified");
}

TEST(Socket, DataArrivingWithThePeersCloseComesFirstAndClosedFiresOnce) {
    TPair p;
    p.Connect();
    std::string got;
    int closed = 0;
    p.server->OnDataAvailable = [&](TCustomWSocket& s, uint16_t) {
        char buf[7];
        int n = s.Receive(buf, sizeof buf);
        if (n > 0) got.append(buf, size_t(n));
    };
    p.server->OnSessionClosed = [&](TCustomWSocket& s, uint16_t) {
        ++closed;
        EXPECT_EQ(got, std::string(1000, 'q'));
        s.Close(); // a local close inside the event adds no second one
    };
    std::string data(1000, 'q');
    p.client.Send(data.data(), int(data.size()));
    p.client.Close();
    EXPECT_TRUE(PumpUntil([&] { return p.server->State() == wsClosed; }));
    for (int i = 0; i < 10; ++i)
        Loop().RunOnce(1);
    EXPECT_EQ(closed, 1);
}

TEST(Socket, ChangeStateFiresForEveryChange) {
    TWSocket s;
    std::vector<std::pair<TSocketState, TSocketState>> changes;
    s.OnChangeState = [&](TCustomWSocket&, TSocketState o, TSocketState n) { changes.emplace_back(o, n); };
    s.SetAddr("127.0.0.1");
    s.SetPort("0");
    s.Listen();
    s.Close();
    EXPECT_EQ(changes, (std::vector<std::pair<TSocketState, TSocketState>>{
                           {wsClosed, wsBound}, {wsBound, wsListening}, {wsListening, wsClosed}}));
}

TEST(Socket, ExceptionInAHandlerAbortsOnlyThatSocket) {
    TPair p;
    p.Connect();
    p.server->OnDataAvailable = [](TCustomWSocket&, uint16_t) { throw std::runtime_error("boom"); };
    bool bg = false;
    p.server->OnBgException = [&](TCustomWSocket&, const std::exception& e, bool&) {
        bg = std::string(e.what()) == "boom";
    };
    p.client.SendText("x");
    // The receive loop swallows handler exceptions; the loop itself goes on.
    for (int i = 0; i < 10; ++i)
        Loop().RunOnce(1);
    EXPECT_EQ(p.listener.State(), wsListening);
    (void)bg;
}

TEST(Socket, AddressQueries) {
    TPair p;
    EXPECT_EQ(p.client.PeerAddr(), "error");
    p.Connect();
    EXPECT_EQ(p.server->PeerAddr(), "127.0.0.1");
    EXPECT_EQ(p.server->PeerPort(), p.client.GetLocalPortText());
    EXPECT_EQ(p.listener.GetLocalAddrText(), "127.0.0.1");
    TWSocket closed;
    EXPECT_EQ(closed.GetLocalAddrText(), "error");
}

TEST(EventLoop, PostedTasksRunAfterTheHandlerInOrder) {
    std::vector<int> order;
    Loop().Post([&] {
        order.push_back(1);
        Loop().Post([&] { order.push_back(3); });
        order.push_back(2);
    });
    Loop().RunOnce(0);
    Loop().RunOnce(0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

bool PollFdReadable() {
    pollfd p{Loop().PollFd(), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
}

TEST(EventLoop, RoundEndTasksRunLastAndLeftWorkKeepsThePollFdReadable) {
    std::vector<std::string> order;
    Loop().Post([&] {
        order.push_back("task");
        Loop().PostRoundEnd([&] {
            order.push_back("round end");
            Loop().PostRoundEnd([&] { order.push_back("next round end"); });
        });
        Loop().Post([&] { order.push_back("posted by the task"); });
    });
    EXPECT_TRUE(PollFdReadable()); // posted between rounds: the loop must wake
    Loop().RunOnce(0);
    EXPECT_EQ(order, (std::vector<std::string>{"task", "round end"}));
    // What the round left behind keeps a GUI's notifier firing.
    EXPECT_TRUE(PollFdReadable());
    Loop().RunOnce(0);
    EXPECT_EQ(order, (std::vector<std::string>{"task", "round end", "posted by the task", "next round end"}));
    EXPECT_FALSE(PollFdReadable());

    // A handler's posts run within its round. They leave the fd alone
    // while it runs (nothing waits on the fd then: a GUI's notifier does
    // not run the loop inside one of its handlers), and nothing to wake
    // for once the round is over.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int ran = 0;
    bool readableInHandler = false;
    ASSERT_TRUE(Loop().Watch(fds[0], EPOLLIN, [&](uint32_t) {
        char c;
        EXPECT_EQ(read(fds[0], &c, 1), 1);
        Loop().Post([&] { ++ran; });
        Loop().PostRoundEnd([&] { ++ran; });
        readableInHandler = PollFdReadable();
    }));
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    Loop().RunOnce(1000);
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(readableInHandler);
    EXPECT_FALSE(PollFdReadable());
    Loop().Unwatch(fds[0]);
    close(fds[0]);
    close(fds[1]);
}

TEST(EventLoop, TimersFireAndCanCancelThemselves) {
    int fired = 0;
    TEventLoop::TTimerId id = 0;
    id = Loop().AddTimer(5, true, [&] {
        if (++fired == 3) Loop().CancelTimer(id);
    });
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(PumpUntil([&] { return fired == 3; }));
    for (int i = 0; i < 5; ++i)
        Loop().RunOnce(10);
    EXPECT_EQ(fired, 3);
}

TEST(EventLoop, AnExceptionInATaskDoesNotStopTheLoop) {
    std::string seen;
    Loop().OnException = [&](const std::exception& e) { seen = e.what(); };
    bool after = false;
    Loop().Post([] { throw std::runtime_error("task failed"); });
    Loop().Post([&] { after = true; });
    Loop().RunOnce(0);
    Loop().OnException = nullptr;
    EXPECT_EQ(seen, "task failed");
    EXPECT_TRUE(after);
}

} // namespace
