// SendFile: a file range sent by the kernel straight to the connection.
#include "EventLoop.h"
#include "WSocket.h"

#include "PumpUntil.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace vendrix::net;
using vendrix::testing::PumpUntil;

namespace {

// A connected pair on 127.0.0.1 and a scratch file of `content`, open for
// reading; everything is closed and removed at the end.
struct TFileSend {
    TWSocket listener;
    std::unique_ptr<TWSocket> server;
    TWSocket client;
    std::string path;
    int fd = -1;
    std::string got;

    explicit TFileSend(const std::string& content) {
        char tmpl[] = "/tmp/vendrix-sendfile-XXXXXX";
        int w = ::mkstemp(tmpl);
        path = tmpl;
        EXPECT_EQ(::write(w, content.data(), content.size()), ssize_t(content.size()));
        ::close(w);
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.OnSessionAvailable = [this](TCustomWSocket&, uint16_t) {
            server = std::make_unique<TWSocket>();
            server->Dup(listener.Accept());
        };
        listener.Listen();
        client.SetAddr("127.0.0.1");
        client.SetPort(listener.GetLocalPortText());
        client.OnDataAvailable = [this](TCustomWSocket& s, uint16_t) {
            char buf[65536];
            int n = s.Receive(buf, sizeof buf);
            if (n > 0) got.append(buf, size_t(n));
        };
        client.Connect();
        EXPECT_TRUE(PumpUntil([&] { return server && client.State() == wsConnected; }));
        for (int i = 0; i < 5; ++i)
            TEventLoop::Instance().RunOnce(1); // the accept's own notifications
    }
    ~TFileSend() {
        client.Close();
        if (server) server->Close();
        listener.Close();
        ::close(fd);
        ::unlink(path.c_str());
    }
};

TEST(SendFile, SendsTheRangeFromTheFilePositionAndReportsOnceFromTheLoop) {
    std::string content;
    for (int i = 0; i < 3'000'000; ++i)
        content += char('a' + i % 23);
    TFileSend t(content);
    ASSERT_EQ(::lseek(t.fd, 1000, SEEK_SET), 1000);
    int sentEvents = 0;
    int64_t handed = 0;
    bool inCall = false;
    t.server->OnDataSent = [&](TCustomWSocket&, uint16_t) {
        EXPECT_FALSE(inCall);
        ++sentEvents;
    };
    t.server->OnSendData = [&](TCustomWSocket&, int n) { handed += n; };
    inCall = true;
    ASSERT_TRUE(t.server->SendFile(t.fd, 2'000'000));
    inCall = false;
    ASSERT_TRUE(PumpUntil([&] { return sentEvents == 1 && t.got.size() == 2'000'000; }));
    EXPECT_EQ(t.got, content.substr(1000, 2'000'000));
    EXPECT_EQ(handed, 2'000'000);
    EXPECT_EQ(t.server->FileShortfall(), 0);
    EXPECT_EQ(t.server->FileError(), 0);
    EXPECT_EQ(::lseek(t.fd, 0, SEEK_CUR), 2'001'000); // the position moved with the bytes
}

int CorkOf(const TWSocket& s) {
    int value = -1;
    socklen_t len = sizeof value;
    EXPECT_EQ(::getsockopt(s.HSocket(), IPPROTO_TCP, TCP_CORK, &value, &len), 0);
    return value;
}

// A range's last, partial segment waits behind the cork only while the next
// range follows in the same loop round (an uncapped download's next block);
// a download that pauses (a capped one, or one at its end) must never leave
// it waiting.
TEST(SendFile, TheCorkOutlivesARangeOnlyWhileTheNextFollowsInItsRound) {
    const std::string content(40 * 1000, 'x');
    TFileSend t(content);
    int ranges = 0;
    std::vector<int> corkAtEnd;
    t.server->OnDataSent = [&](TCustomWSocket&, uint16_t) {
        corkAtEnd.push_back(CorkOf(*t.server));
        if (++ranges < 20) {
            EXPECT_TRUE(t.server->SendFile(t.fd, 1000));
        }
    };
    ASSERT_TRUE(t.server->SendFile(t.fd, 1000));
    ASSERT_TRUE(PumpUntil([&] { return t.got.size() == 20 * 1000; }));
    EXPECT_EQ(ranges, 20);
    EXPECT_EQ(corkAtEnd, std::vector<int>(20, 1));
    EXPECT_EQ(CorkOf(*t.server), 0);

    // Paced: one range per round, each uncorked when its round ends.
    t.server->OnDataSent = nullptr;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(t.server->SendFile(t.fd, 1000));
        TEventLoop::Instance().RunOnce(0);
        EXPECT_EQ(CorkOf(*t.server), 0) << "range " << i;
    }
    ASSERT_TRUE(PumpUntil([&] { return t.got.size() == content.size(); }));
    EXPECT_EQ(t.got, content);
}

TEST(SendFile, AFileShorterThanTheRangeEndsItWithTheShortfall) {
    TFileSend t("0123456789");
    int sentEvents = 0;
    t.server->OnDataSent = [&](TCustomWSocket&, uint16_t) { ++sentEvents; };
    ASSERT_TRUE(t.server->SendFile(t.fd, 4096));
    ASSERT_TRUE(PumpUntil([&] { return sentEvents == 1 && t.got.size() == 10; }));
    EXPECT_EQ(t.got, "0123456789");
    EXPECT_EQ(t.server->FileShortfall(), 4086);
    // At the end of the file: nothing goes, and that is reported alike.
    ASSERT_TRUE(t.server->SendFile(t.fd, 100));
    ASSERT_TRUE(PumpUntil([&] { return sentEvents == 2; }));
    EXPECT_EQ(t.server->FileShortfall(), 100);
}

TEST(SendFile, RefusedWhileBytesAreQueuedOrWithoutAConnection) {
    TFileSend t("abc");
    TWSocket unconnected;
    EXPECT_FALSE(unconnected.SendFile(t.fd, 3));
    EXPECT_FALSE(t.server->SendFile(-1, 3));
    EXPECT_FALSE(t.server->SendFile(t.fd, 0));
    // Fill the connection until the system holds bytes back in the queue.
    std::string block(1 << 20, 'q');
    for (int i = 0; i < 64 && t.server->BufferedBytes() == 0; ++i)
        t.server->Send(block.data(), int(block.size()));
    ASSERT_GT(t.server->BufferedBytes(), 0);
    EXPECT_FALSE(t.server->CanSendFile());
    EXPECT_FALSE(t.server->SendFile(t.fd, 3));
}

} // namespace
