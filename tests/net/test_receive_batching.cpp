// Bulk receiving: large reads while a peer sends fast, and nothing left
// waiting in the system when it slows down or stops.
#include "EventLoop.h"
#include "WSocket.h"

#include "PumpUntil.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>

using namespace vendrix::net;
using vendrix::testing::PumpUntil;

namespace {

int LowWater(const TCustomWSocket& s) {
    int value = 0;
    socklen_t len = sizeof value;
    return ::getsockopt(s.HSocket(), SOL_SOCKET, SO_RCVLOWAT, &value, &len) == 0 ? value : -1;
}

// A connected pair on 127.0.0.1; the accepted side receives with batching
// and records what it read and the low-water mark after each read.
struct TBatchPair {
    TWSocket listener;
    std::unique_ptr<TWSocket> server;
    TWSocket client;
    std::string got;
    int highestMark = 0;
    bool closed = false;

    TBatchPair() {
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](TCustomWSocket&, uint16_t) {
            server = std::make_unique<TWSocket>();
            server->Dup(listener.Accept());
            server->SetReceiveBatching(true);
            server->OnDataAvailable = [this](TCustomWSocket& s, uint16_t) {
                std::string buf(1 << 20, '\0');
                int n = s.Receive(buf.data(), int(buf.size()));
                if (n > 0) got.append(buf.data(), size_t(n));
                highestMark = std::max(highestMark, LowWater(s));
            };
            server->OnSessionClosed = [this](TCustomWSocket&, uint16_t) { closed = true; };
        };
        listener.Listen();
        client.SetAddr("127.0.0.1");
        client.SetPort(listener.GetLocalPortText());
        client.Connect();
        EXPECT_TRUE(PumpUntil([&] { return server && client.State() == wsConnected; }));
    }
    ~TBatchPair() {
        client.Close();
        if (server) server->Close();
        listener.Close();
    }
};

TEST(ReceiveBatching, FastStreamRaisesTheMarkAndEveryByteStillArrives) {
    TBatchPair t;
    std::string burst;
    for (int i = 0; i < 4 << 20; ++i)
        burst += char('a' + i % 26);
    t.client.Send(burst.data(), int(burst.size()));
    // The tail below the mark arrives through the idle tick, not the close.
    ASSERT_TRUE(PumpUntil([&] { return t.got.size() == burst.size(); }));
    EXPECT_EQ(t.got, burst);
    EXPECT_EQ(t.highestMark, TCustomWSocket::kBatchBytes);
    EXPECT_TRUE(PumpUntil([&] { return LowWater(*t.server) == 1; }));

    // A few bytes after a pause are read at once, and the end is reported.
    t.client.Send("tail", 4);
    ASSERT_TRUE(PumpUntil([&] { return t.got.size() == burst.size() + 4; }, 2000));
    EXPECT_EQ(t.got.substr(burst.size()), "tail");
    t.client.Close();
    EXPECT_TRUE(PumpUntil([&] { return t.closed; }));
}

TEST(ReceiveBatching, SlowStreamKeepsTheMarkAtOneByte) {
    TBatchPair t;
    for (int i = 0; i < 5; ++i) {
        t.client.Send("12345678", 8);
        ASSERT_TRUE(PumpUntil([&] { return t.got.size() == size_t(8 * (i + 1)); }, 2000));
    }
    EXPECT_EQ(t.highestMark, 1);
}

} // namespace
