#include "DesktopApp.h"

#include "ControlDispatch.h"
#include "FirstRun.h"
#include "FirstRunSetup.h"
#include "LoopNotifier.h"
#include "Main.h"
#include "SoundPlayer.h"
#include "TrayIcon.h"
#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace vendrix::ui {

TDesktopApp::TDesktopApp(const TDesktopOptions& options, app::TControlChannel* channel, QObject* parent)
    : QObject(parent), FLoop(net::TEventLoop::Instance()), FNotifier(std::make_unique<TLoopNotifier>(FLoop)),
      FLanguage(options.LanguageFolder.empty() ? config::TPaths(options.Base).LanguageFolder()
                                               : options.LanguageFolder),
      FChannel(channel) {
    // An error escaping a handler of the loop is shown, and the program
    // carries on; the box opens after the loop's round has ended.
    FLoop.OnException = [this](const std::exception& e) {
        QString text = QString::fromStdString(e.what());
        QTimer::singleShot(0, this, [this, text] {
            QMessageBox::critical(FWindow.get(), QString::fromStdString(FLanguage.Translate("sFTP")), text);
        });
    };
    // The settings name the language; the controller's texts come from it.
    FLanguage.Load(config::TSettingsFile(config::TPaths(options.Base).ConfigFile()).Load());
    FController = std::make_unique<policy::TFtpController>(options.Base, FLanguage.Hook(), FLoop);
    FController->ListenAddr = options.ListenAddr;
    FController->ExtraListenAddrs = options.MoreListen;
    FController->PortOverride = options.Port;
    FWindow = std::make_unique<TfrmMain>(*FController, FLanguage);

    FTray = new TTrayIcon(&FWindow->TrayMenu(), this);
    FTray->SetState(policy::TTrayState::ClientsConnected);
    FTray->SetTip("");
    ShowTray();
    connect(FTray, &TTrayIcon::Activated, FWindow.get(), &TfrmMain::ShowAndRaise);
    FController->AddObserver(this);
    if (options.HideTray) HideTray();

    FSounds = new TSoundPlayer(this);
    FController->OnPlaySound = [this](policy::TSoundEvent, const std::string& path) { FSounds->Play(path); };

    // The placement applies once creation is over.
    QTimer::singleShot(0, this, &TDesktopApp::ApplyPlacement);
    // Starting in the tray makes sense only where there is one to click.
    const bool startHidden =
        FController->SettingsFile().ReadBool(config::TSetting::TrayIcon) && FTray->Shown();
    if (!startHidden) FWindow->show();

    FWindow->LoadAppearance();
    FWindow->LoadLanguage(true);
    connect(FWindow.get(), &TfrmMain::Closing, this, &TDesktopApp::Shutdown);

    if (FChannel) {
        // Window work is queued into Qt: a hook runs inside a round of the
        // loop, and a message box there would run the loop inside itself.
        FChannel->OnActivate = [this] { QTimer::singleShot(0, FWindow.get(), &TfrmMain::ShowAndRaise); };
        FChannel->OnCommand = [this](const std::string& text) {
            QTimer::singleShot(0, this, [this, text] { RunCommand(text); });
        };
    }
    FController->StartServer();
    FStartTick = net::TEventLoop::Tick();
    // A settings or account file that is there but unreadable runs as empty
    // and is never written over; the start logged why, and a box says it.
    for (const std::string& error :
         {FController->SettingsFile().ReadError(), FController->AccountFile().ReadError()}) {
        if (error.empty()) continue;
        QTimer::singleShot(0, this, [this, text = QString::fromStdString("cannot read " + error)] {
            QMessageBox box(QMessageBox::Critical, QString::fromStdString(FLanguage.Translate("sFTP")), text,
                            QMessageBox::Ok, FWindow.get());
            box.setObjectName("msgReadFailed");
            box.exec();
        });
    }
    if (options.OfferFirstRun && app::NeedsFirstRun(options.Base))
        QTimer::singleShot(0, this, &TDesktopApp::OfferFirstRun);
}

void TDesktopApp::OfferFirstRun() {
    auto* dialog = new TfrmFirstRun(FLanguage, FController->Paths().BaseFolder(), FWindow.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The port may have changed: listen again.
    connect(dialog, &QDialog::accepted, this, [this] { FController->RestartServer(); });
    dialog->open();
}

TDesktopApp::~TDesktopApp() {
    if (FChannel) {
        FChannel->OnActivate = nullptr;
        FChannel->OnCommand = nullptr;
    }
    FLoop.OnException = nullptr;
    FController->RemoveObserver(this);
    FController->OnPlaySound = nullptr;
    FWindow.reset();
    FController.reset();
    // Sessions and sockets the controller closed finish their posted work.
    for (int i = 0; i < 20 && FLoop.RunOnce(0) > 0; ++i) {
    }
}

void TDesktopApp::RunCommand(const std::string& text) {
    if (FClosed) return;
    app::RunControlCommand(*FController, text,
                           {[this] { FWindow->close(); }, [this] { HideTray(); }, [this] { ShowTray(); }});
}

void TDesktopApp::ShowTray() {
    FTray->Show();
    FWindow->SetMinimizeToTray(FTray->Shown());
}

void TDesktopApp::HideTray() {
    FTray->Hide();
    FWindow->SetMinimizeToTray(false);
}

void TDesktopApp::StatusChanged(const policy::TServerStatus& status) {
    FTray->SetState(status.Tray);
    FTray->SetTip(QString::fromStdString(status.TipText));
}

void TDesktopApp::ApplyPlacement() {
    config::TWindowPlacement p = config::ReadWindowPlacement(FController->SettingsFile().Load());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        p = config::CorrectWindowPlacement(p, area.width(), area.height());
        p.Left += area.x();
        p.Top += area.y();
    }
    FWindow->resize(p.Width, p.Height);
    FWindow->move(p.Left, p.Top);
}

void TDesktopApp::Shutdown() {
    FClosed = true;
    HideTray();
    FController->StopServer();
    FController->LogText(FController->Translate("sSrvShutDown"));
    emit Finished();
}

} // namespace vendrix::ui
