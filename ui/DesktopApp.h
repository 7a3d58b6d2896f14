// The desktop program's lifecycle: the language, the controller with its
// server, the main window, the tray icon, the event sounds and the control
// channel, created in the program's start-up order and taken down by the
// window's close.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ControlChannel.h"
#include "FtpController.h"
#include "LanguageFile.h"

namespace vendrix::ui {

class TfrmMain;
class TTrayIcon;
class TSoundPlayer;
class TLoopNotifier;

struct TDesktopOptions {
    std::string Base;           // the program folder: conf/, lng/, log/
    std::string LanguageFolder; // empty: Base's lng/
    bool HideTray = false;      // the "hidetray" switch
    std::string ListenAddr = "::";
    std::vector<std::string> MoreListen; // further addresses to listen on
    std::optional<std::string> Port;     // overrides the settings
    // Offer the first-run assistant while no account exists (the program
    // does; tests of the window leave it out).
    bool OfferFirstRun = false;
};

class TDesktopApp : public QObject, public policy::TControllerObserver {
    Q_OBJECT
public:
    // `channel` may be null or not listening: the program then runs without
    // remote control. The channel must outlive this object.
    TDesktopApp(const TDesktopOptions& options, app::TControlChannel* channel, QObject* parent = nullptr);
    ~TDesktopApp() override;

    policy::TFtpController& Controller() { return *FController; }
    config::TLanguage& Language() { return FLanguage; }
    TfrmMain& Window() { return *FWindow; }
    TTrayIcon& Tray() { return *FTray; }
    TSoundPlayer& Sounds() { return *FSounds; }
    // Runs a control command as if it came over the control channel.
    void RunCommand(const std::string& text);
    void ShowTray();
    void HideTray();
    bool Closed() const { return FClosed; }

    // policy::TControllerObserver
    void StatusChanged(const policy::TServerStatus& status) override;

signals:
    // The window has closed and the server is down: the program may end.
    void Finished();

private:
    void ApplyPlacement();
    void Shutdown();
    void OfferFirstRun();

    net::TEventLoop& FLoop;
    std::unique_ptr<TLoopNotifier> FNotifier;
    config::TLanguage FLanguage;
    std::unique_ptr<policy::TFtpController> FController;
    std::unique_ptr<TfrmMain> FWindow;
    TTrayIcon* FTray = nullptr;
    TSoundPlayer* FSounds = nullptr;
    app::TControlChannel* FChannel;
    bool FClosed = false;
    uint64_t FStartTick = 0;
};

} // namespace vendrix::ui
