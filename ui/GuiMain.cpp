// vendrix-ftp: the desktop program. The controller's event loop runs inside
// Qt's; a second start for the same base folder brings the running window to
// the front and ends.
#include "BaseLocation.h"
#include "CommandLine.h"
#include "ControlChannel.h"
#include "ControlClient.h"
#include "ControlPath.h"
#include "DesktopApp.h"
#include "GuiApplication.h"
#include "InstallPaths.h"
#include "ProcessSetup.h"
#include "Version.h"

#include <QApplication>
#include <QIcon>
#include <iostream>

using namespace vendrix;

namespace {

const char* kUsage = "Usage: vendrix-ftp [options]\n"
                     "  --base DIR      program folder holding conf/, lng/ and log/ (default: the\n"
                     "                  executable's folder when it holds conf/, else\n"
                     "                  $XDG_CONFIG_HOME/vendrix-ftp/, made on first start)\n"
                     "  --listen ADDR   address to listen on (default: every address)\n"
                     "  --port PORT     port number or service name; overrides the settings\n"
                     "  --send TEXT     hand TEXT (/start, /stop, /restart, /close, /hidetray,\n"
                     "                  /showtray) to the instance running for the base folder\n"
                     "  -hidetray       start without the tray icon (also /hidetray)\n"
                     "  --help          this text\n"
                     "  --version       the version\n";

} // namespace

int main(int argc, char** argv) {
    app::SetUpProcess();
    app::TCommandLine cl = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (cl.Error.empty() && !cl.Root.empty()) cl.Error = "--root is an option of vendrix-ftpd";
    if (cl.Error.empty() && !cl.Command.empty())
        cl.Error =
            "unknown argument: " + cl.Command[0] + " (the user and check commands belong to vendrix-ftpd)";
    const app::TBaseFolder resolved = app::ResolveBaseFolder(cl.Base, app::CurrentBaseEnvironment());
    if (std::optional<int> status =
            app::AnswerStandardOptions(cl, "vendrix-ftp", kUsage, app::DescribeBaseFolder(resolved)))
        return *status;
    const std::string& base = resolved.Path;
    if (cl.Send) return app::SendToInstance(base, *cl.Send, "vendrix-ftp");

    app::TControlChannel channel(net::TEventLoop::Instance(), app::ControlSocketPath(base));
    try {
        channel.Listen();
    } catch (const app::TControlAlreadyRunning&) {
        app::TControlAnswer answer = app::Activate(base);
        if (!answer.Ok()) {
            std::cerr << "vendrix-ftp: " << answer.Text << "\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        // The server still serves; only remote control is unavailable.
        std::cerr << "vendrix-ftp: no control channel: " << e.what() << "\n";
    }

    try {
        if (app::NeedsPreparing(base)) app::PrepareBaseFolder(base);
    } catch (const std::exception& e) {
        std::cerr << "vendrix-ftp: " << e.what() << "\n";
        return 1;
    }

    ui::TGuiApplication application(argc, argv);
    QApplication::setApplicationName("vendrix-ftp");
    QApplication::setWindowIcon(QIcon(":/images/vendrix-ftp.svg"));
    // Hiding the window to the tray is not the end of the program.
    QApplication::setQuitOnLastWindowClosed(false);
    int status = 0;
    {
        ui::TDesktopOptions options;
        options.Base = base;
        options.LanguageFolder = app::LanguageFolderFor(base);
        options.HideTray = cl.HideTray;
        options.OfferFirstRun = true;
        if (!cl.Listen.empty()) options.ListenAddr = cl.Listen;
        options.MoreListen = cl.MoreListen;
        options.Port = cl.Port;
        ui::TDesktopApp desktop(options, channel.Listening() ? &channel : nullptr);
        QObject::connect(&desktop, &ui::TDesktopApp::Finished, &application, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        status = QApplication::exec();
    }
    channel.Close();
    return status;
}
