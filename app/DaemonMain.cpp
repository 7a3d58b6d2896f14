// vendrix-ftpd: the server without a window. It runs the same controller as
// the desktop program, prints the log to standard output and obeys the
// control channel.
#include "AccountCommand.h"
#include "BaseCheck.h"
#include "BaseLocation.h"
#include "ColorText.h"
#include "CommandLine.h"
#include "ControlChannel.h"
#include "ControlClient.h"
#include "ControlDispatch.h"
#include "ControlPath.h"
#include "EventLoop.h"
#include "FtpController.h"
#include "InstallPaths.h"
#include "LanguageFile.h"
#include "PasswordPrompt.h"
#include "ProcessSetup.h"
#include "QuickShare.h"
#include "ServiceNotify.h"
#include "StartupHeader.h"
#include "StreamLogSink.h"
#include "Version.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace vendrix;

namespace {

const char* kUsage = "Usage: vendrix-ftpd [options]\n"
                     "       vendrix-ftpd [--base DIR] user add NAME --home DIR [--rights LETTERS]\n"
                     "                                 [--virtual] [--require-tls] [--password-stdin]\n"
                     "       vendrix-ftpd [--base DIR] user passwd NAME [--password-stdin]\n"
                     "       vendrix-ftpd [--base DIR] user list | user show NAME | user del NAME\n"
                     "       vendrix-ftpd [--base DIR] check\n"
                     "  --base DIR      program folder holding conf/, lng/ and log/ (default: the\n"
                     "                  executable's folder when it holds conf/, else\n"
                     "                  $XDG_CONFIG_HOME/vendrix-ftp/, made on first start)\n"
                     "  --listen ADDR   address to listen on, IPv4 or IPv6; may be repeated\n"
                     "                  (default: every address of both families)\n"
                     "  --port PORT     port number or service name; overrides the settings\n"
                     "  --root DIR      share DIR with anonymous downloads, without a base folder\n"
                     "  --write         with --root: anonymous uploads too\n"
                     "  --send TEXT     hand TEXT (/start, /stop, /restart, /close) to the\n"
                     "                  instance running for the base folder\n"
                     "  --help          this text\n"
                     "  --version       the version\n"
                     "Rights letters for user add (default DS): D download, U upload, A access\n"
                     "denied, E erase, M make folders, R remove folders, Y rename, S subfolders\n"
                     "too, V virtual link.\n";

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

int Run(const app::TCommandLine& cl, const std::string& base, const std::string& languageFolder) {
    net::TEventLoop& loop = net::TEventLoop::Instance();
    loop.OnException = [](const std::exception& e) {
        std::cerr << "vendrix-ftpd: " << e.what() << std::endl;
    };

    config::TPaths paths(base);
    config::TLanguage language(languageFolder);
    language.Load(config::TSettingsFile(paths.ConfigFile()).Load());
    for (const app::THeaderLine& line : app::StartupHeaderLines(language))
        std::cout << line.Text << "\n";
    std::cout << std::flush; // the log sink writes to the descriptor itself

    policy::TFtpController controller(base, language.Hook(), loop);
    controller.ListenAddr = cl.Listen.empty() ? "::" : cl.Listen;
    controller.ExtraListenAddrs = cl.MoreListen;
    controller.PortOverride = cl.Port;
    // Lines go out once per loop round; the sink's end (with the
    // controller's) writes the last ones.
    controller.SessionLog().AddSink(log::MakeStdoutLogSink(
        [&controller] {
            return config::ParseColorText(controller.SessionLog().Colors().Text).value_or(config::TColor{});
        },
        [&loop](std::function<void()> flush) { loop.PostRoundEnd(std::move(flush)); }));

    bool stopping = false;
    auto stop = [&] {
        if (stopping) return;
        stopping = true;
        controller.StopServer();
        loop.Quit();
    };
    app::TControlChannel channel(loop, app::ControlSocketPath(base));
    // The tray commands mean nothing without a window.
    channel.OnCommand = [&](const std::string& text) {
        app::RunControlCommand(controller, text, {stop, {}, {}});
    };
    try {
        channel.Listen();
    } catch (const app::TControlAlreadyRunning&) {
        std::cerr << "vendrix-ftpd: an instance is already running for " << base << "\n";
        return 1;
    } catch (const std::exception& e) {
        // The server still serves; only remote control is unavailable.
        std::cerr << "vendrix-ftpd: no control channel: " << e.what() << "\n";
    }
    int sigfd = WatchStopSignals(loop, stop);

    int status = 0;
    if (controller.StartServer()) {
        app::NotifyServiceManager("READY=1");
        loop.Run();
        app::NotifyServiceManager("STOPPING=1");
    } else {
        status = 1;
    }
    controller.StopServer();
    controller.LogText(controller.Translate("sSrvShutDown"));
    channel.Close();
    if (sigfd >= 0) {
        loop.Unwatch(sigfd);
        close(sigfd);
    }
    return status;
}

// "user ..." and "check": the base folder's files, without a server.
int RunCommand(const app::TCommandLine& cl, const std::string& base) {
    if (cl.Port || !cl.Listen.empty() || !cl.Root.empty() || cl.Write || cl.Send) {
        std::cerr << "vendrix-ftpd: " << cl.Command[0]
                  << " takes no --listen, --port, --root, --write or --send\n";
        return 2;
    }
    if (cl.Command[0] == "check") {
        if (cl.Command.size() > 1) {
            std::cerr << "vendrix-ftpd: check takes no arguments\n";
            return 2;
        }
        const std::vector<std::string> problems = app::CheckBaseFolder(base);
        for (const std::string& problem : problems)
            std::cout << problem << "\n";
        if (problems.empty()) std::cout << "No problems found in " << base << "\n";
        return problems.empty() ? 0 : 1;
    }
    if (cl.Command[0] != "user") {
        std::cerr << "vendrix-ftpd: unknown command: " << cl.Command[0] << " (commands: user, check)\n";
        return 2;
    }
    if (app::NeedsPreparing(base)) app::PrepareBaseFolder(base);
    const app::TCommandIo io{std::cin, std::cout, std::cerr, app::AskNewPassword};
    const int status =
        app::RunUserCommand(base, std::vector<std::string>(cl.Command.begin() + 1, cl.Command.end()), io);
    app::GiveToBaseOwner(base);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    app::SetUpProcess();
    RaiseOpenFileLimit();
    app::TCommandLine cl = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    const app::TBaseFolder base = app::ResolveBaseFolder(cl.Base, app::CurrentBaseEnvironment());
    if (std::optional<int> status =
            app::AnswerStandardOptions(cl, "vendrix-ftpd", kUsage, app::DescribeBaseFolder(base)))
        return *status;
    const std::string& programBase = base.Path;
    try {
        if (!cl.Command.empty()) return RunCommand(cl, programBase);
        const std::string languageFolder = app::LanguageFolderFor(programBase);
        if (!cl.Root.empty()) {
            if (cl.Send)
                return app::SendToInstance(app::TQuickShare::BaseFolderFor(cl.Root), *cl.Send,
                                           "vendrix-ftpd");
            // A quick share runs the full policy on a private base folder.
            app::TQuickShare share(cl.Root, cl.Write);
            return Run(cl, share.BaseFolder(), languageFolder);
        }
        if (cl.Send) return app::SendToInstance(programBase, *cl.Send, "vendrix-ftpd");
        if (app::NeedsPreparing(programBase)) app::PrepareBaseFolder(programBase);
        return Run(cl, programBase, languageFolder);
    } catch (const std::exception& e) {
        std::cerr << "vendrix-ftpd: " << e.what() << "\n";
        return 1;
    }
}
