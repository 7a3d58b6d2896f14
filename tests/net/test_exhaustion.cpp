// A listener out of file handles keeps its accept queue moving by shedding
// the excess connections, and accepts again on its own once handles are
// free. The server runs in a child process under a low RLIMIT_NOFILE, on its
// own event loop; the clients are plain sockets of this process.
#include "EventLoop.h"
#include "ExhaustionKit.h"
#include "WSocket.h"

#include <csignal>
#include <sys/epoll.h>
#include <sys/resource.h>

using namespace vendrix::net;
using namespace vendrix::testkit;

namespace {

constexpr int kFreeHandles = 10; // connections the server can hold at once
constexpr int kClients = 40;
const std::string kGreeting = "220 hello";
const std::string kShed = "421 busy";

// The child: greets every connection it accepts, answers a shed one with
// "421 busy", and runs until the parent closes quitFd.
[[noreturn]] void RunServer(int portFd, int quitFd) {
    alarm(60); // bounded even if the parent is gone
    try {
        TEventLoop loop;
        TWSocket listener(loop);
        std::vector<std::unique_ptr<TWSocket>> accepted;
        listener.SetAddr("127.0.0.1");
        listener.SetPort("0");
        listener.ListenBacklog = 128;
        listener.OnError = [](TCustomWSocket&) {}; // Accept's 10024 while exhausted
        listener.OnSessionAvailable = [&](TCustomWSocket&, uint16_t) {
            int fd = listener.Accept();
            if (fd < 0) return;
            auto s = std::make_unique<TWSocket>(loop);
            s->LingerOnOff = wsLingerOff;
            s->Dup(fd);
            s->SendText(kGreeting + "\r\n");
            accepted.push_back(std::move(s));
        };
        listener.OnSessionShed = [](TCustomWSocket&, int handle) {
            std::string reply = kShed + "\r\n";
            (void)!::send(handle, reply.data(), reply.size(), MSG_NOSIGNAL);
        };
        listener.Listen();
        bool quit = false;
        loop.Watch(quitFd, EPOLLIN, [&](uint32_t) { quit = true; });
        rlimit rl{};
        rl.rlim_cur = rl.rlim_max = rlim_t(LimitLeavingFree(kFreeHandles));
        if (setrlimit(RLIMIT_NOFILE, &rl) != 0) _exit(3);
        uint16_t port = uint16_t(std::stoi(listener.GetLocalPortText()));
        if (write(portFd, &port, sizeof port) != sizeof port) _exit(4);
        while (!quit)
            loop.RunOnce(100);
        listener.Close();
    } catch (...) {
        _exit(2);
    }
    _exit(0);
}

TEST(Exhaustion, TheListenerShedsTheExcessAndAcceptsAgainOnceHandlesAreFree) {
    RunAgainstChild(RunServer, [](uint16_t port) { ExhaustAndRelease(port, kClients, kGreeting, kShed); });
}

} // namespace
