// vendrix-ftpd: the server without a window.
#include "CommandLine.h"
#include "EventLoop.h"
#include "FtpSrv.h"
#include "FtpSrvT.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace vendrix;

namespace {

const char* kUsage =
    "Usage: vendrix-ftpd [options]\n"
    "  --listen ADDR   address to listen on (default 127.0.0.1)\n"
    "  --port PORT     port number or service name (default ftp)\n"
    "  --base DIR      program folder holding conf/, lng/ and log/\n"
    "                  (default: the executable's folder)\n"
    "  --root DIR      serve DIR as every client's home directory\n"
    "  --help          this text\n"
    "  --version       the version\n";

// SIGINT and SIGTERM arrive as readable bytes on the loop, so stopping runs
// as an ordinary handler between two events.
int WatchStopSignals(net::TEventLoop& loop, const std::function<void()>& onStop) {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    int fd = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) return -1;
    loop.Watch(fd, EPOLLIN, [fd, onStop](uint32_t) {
        signalfd_siginfo info;
        while (read(fd, &info, sizeof info) == sizeof info) {
        }
        onStop();
    });
    return fd;
}

// A server holds a handle per client: take all the handles the system allows.
void RaiseOpenFileLimit() {
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
        lim.rlim_cur = lim.rlim_max;
        setrlimit(RLIMIT_NOFILE, &lim);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    RaiseOpenFileLimit();
    app::TCommandLine cl = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!cl.Error.empty()) {
        std::cerr << "vendrix-ftpd: " << cl.Error << "\n" << kUsage;
        return 2;
    }
    if (cl.Help) {
        std::cout << kUsage;
        return 0;
    }
    if (cl.Version) {
        std::cout << "Vendrix FTP Server 1.50 Alpha 2\n";
        return 0;
    }
    net::TEventLoop& loop = net::TEventLoop::Instance();
    loop.OnException = [](const std::exception& e) { std::cerr << "vendrix-ftpd: " << e.what() << "\n"; };

    ftp::TFtpServer server(loop);
    server.Addr = cl.Listen.empty() ? "127.0.0.1" : cl.Listen;
    server.Port = cl.Port.value_or("ftp");
    // Uncapped: every block is followed by the next as soon as it has left.
    server.OnRetrDataSent = [](ftp::TFtpServer& s, ftp::TFtpCtrlSocket& c, net::TWSocket& d, uint16_t) {
        s.SendNextDataBlock(c, d);
    };
    if (!cl.Root.empty()) {
        std::string root = app::FolderPath(cl.Root);
        if (!ftp::DirectoryExists(root)) {
            std::cerr << "vendrix-ftpd: no such folder: " << root << "\n";
            return 1;
        }
        server.OnAuthenticate = [root](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, const ftp::TFtpString&,
                                       const ftp::TFtpString&, bool&) { c.HomeDir = root; };
        server.OnChangeDirectory = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, std::string& shown, bool& allowed,
                                      bool& exists) {
            exists = ftp::DirectoryExists(c.Directory);
            allowed = true;
            shown = c.Directory;
        };
    }
    server.OnClientConnect = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, uint16_t) {
        std::cout << "Client " << c.ID << " connected from " << c.PeerAddr() << std::endl;
    };
    server.OnClientDisconnect = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, uint16_t) {
        std::cout << "Client " << c.ID << " disconnected" << std::endl;
    };

    int sigfd = WatchStopSignals(loop, [&] {
        server.DisconnectAll();
        server.Stop();
        loop.Quit();
    });
    try {
        server.Start();
    } catch (const std::exception& e) {
        std::cerr << "vendrix-ftpd: cannot listen on " << server.Addr << ":" << server.Port << ": " << e.what()
                  << "\n";
        return 1;
    }
    std::cout << "Vendrix FTP Server 1.50 Alpha 2 listening on " << server.Addr << ":"
              << server.ServerSocket().GetLocalPortText() << std::endl;
    loop.Run();
    if (sigfd >= 0) {
        loop.Unwatch(sigfd);
        close(sigfd);
    }
    std::cout << "Server stopped" << std::endl;
    return 0;
}
