// Tests of a server out of file handles: the server runs in a child
// process under a low RLIMIT_NOFILE, on its own event loop; the clients are
// plain sockets of the test process.
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vendrix::testkit {

// The lowest handle limit that leaves exactly `free` numbers unused below
// it; handles open above it stay usable (inherited ones may sit high).
inline int LimitLeavingFree(int free) {
    std::set<int> open;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') open.insert(std::atoi(e->d_name));
        closedir(d);
    }
    int limit = 0;
    for (; free > 0; ++limit)
        if (!open.count(limit)) --free;
    return limit;
}

using TClock = std::chrono::steady_clock;

// The first line the server sends (without CR LF), "EOF", or "timeout".
inline std::string ReadLine(int fd, TClock::time_point deadline) {
    std::string line;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0) return "timeout";
        char c;
        if (recv(fd, &c, 1, 0) != 1) return line.empty() ? "EOF" : line;
        if (c == '\n') return line;
        if (c != '\r') line += c;
    }
}

inline int ConnectTo(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Closes the fds it holds, whatever way the test leaves.
struct TFds {
    std::vector<int> fds;
    ~TFds() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
    }
};

// More clients than the server has handles for each hear the greeting or
// the shed line at once (some of each); once they are gone a newcomer is
// greeted.
inline void ExhaustAndRelease(uint16_t port, int count, const std::string& greeting,
                              const std::string& shedLine) {
    TFds clients;
    for (int i = 0; i < count; ++i)
        clients.fds.push_back(ConnectTo(port));
    int greeted = 0, shed = 0;
    auto deadline = TClock::now() + std::chrono::seconds(10);
    for (int fd : clients.fds) {
        ASSERT_GE(fd, 0);
        std::string line = ReadLine(fd, deadline);
        if (line == greeting)
            ++greeted;
        else if (line == shedLine)
            ++shed;
        else
            ADD_FAILURE() << "unexpected: " << line;
    }
    EXPECT_GT(greeted, 0);
    EXPECT_GT(shed, 0);
    EXPECT_EQ(greeted + shed, count);

    // Release, then a new client is greeted. Until the server has seen the
    // closes a newcomer may still be shed; each try waits for the server's
    // answer, so the retries go at the server's own pace.
    for (int& fd : clients.fds) {
        close(fd);
        fd = -1;
    }
    std::string line;
    deadline = TClock::now() + std::chrono::seconds(10);
    for (int tries = 0; tries < 200; ++tries) {
        TFds newcomer;
        newcomer.fds.push_back(ConnectTo(port));
        ASSERT_GE(newcomer.fds[0], 0);
        line = ReadLine(newcomer.fds[0], deadline);
        if (line != shedLine) break;
    }
    EXPECT_EQ(line, greeting);
}

// Forks the server: the child runs server(portFd, quitFd), which writes its
// 16-bit port to portFd, runs until quitFd reads end of file and exits 0 on
// success (it must not return). The parent runs clients(port) meanwhile.
inline void RunAgainstChild(const std::function<void(int portFd, int quitFd)>& server,
                            const std::function<void(uint16_t port)>& clients) {
    int portPipe[2], quitPipe[2];
    ASSERT_EQ(pipe2(portPipe, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(quitPipe, O_CLOEXEC), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(portPipe[0]);
        close(quitPipe[1]);
        server(portPipe[1], quitPipe[0]);
        _exit(99);
    }
    close(portPipe[1]);
    close(quitPipe[0]);
    uint16_t port = 0;
    pollfd p{portPipe[0], POLLIN, 0};
    bool started = poll(&p, 1, 10000) == 1 && read(portPipe[0], &port, sizeof port) == sizeof port;
    close(portPipe[0]);
    if (started) clients(port);
    close(quitPipe[1]); // the child's signal to stop
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(started);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace vendrix::testkit
