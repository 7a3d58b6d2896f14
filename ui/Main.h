// The main window: the log view, the user list with its information panel,
// the status bar and the menus. A view of the controller: it shows what the
// controller tells it and hands every command back to the controller.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <memory>

#include "FtpController.h"
#include "LanguageFile.h"
#include "SessionPanel.h"
#include "ViewFeed.h"

namespace Ui {
class TfrmMain;
}

namespace vendrix::ui {

class TUserListSorter;

class TfrmMain : public QMainWindow, public policy::TControllerObserver {
    Q_OBJECT
public:
    TfrmMain(policy::TFtpController& controller, config::TLanguage& language, QWidget* parent = nullptr);
    ~TfrmMain() override;

    Ui::TfrmMain& Widgets() { return *FUi; }
    QMenu& UserPopup() { return *FUserPopup; }
    QMenu& TrayMenu() { return *FTrayMenu; }
    QLabel& StatusUsers() { return *FStatusUsers; }
    QLabel& StatusSpeed() { return *FStatusSpeed; }

    // Colours and font of the log view from the settings.
    void LoadAppearance();
    // Reads the current language and applies every caption; the first load
    // after start also writes the header lines into the log view.
    void LoadLanguage(bool first);
    // Shows the selected session's details, or the empty panel.
    void RefreshPanel();
    // Restores a minimised window and brings it to the front.
    void ShowAndRaise();
    // Minimising hides the window while the tray icon can bring it back.
    void SetMinimizeToTray(bool on) { FMinimizeToTray = on; }

    // The log lines, user rows and status on their way to the widgets.
    TViewFeed& Feed() { return *FFeed; }

    // policy::TControllerObserver: the menus follow the server at once.
    void ServerStateChanged(bool running) override;

signals:
    // The close was confirmed and the placement saved.
    void Closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void ConnectCommands();
    void ShowUserPopup(const QPoint& pos);
    void UpdateUserPopup();
    void ShowPanel(const app::TSessionPanel& panel);
    void ShowBatch(TViewBatch& batch);
    bool ConfirmClose();
    void SavePlacement();
    QString Tr(std::string_view key) const;

    policy::TFtpController& FController;
    config::TLanguage& FLanguage;
    std::unique_ptr<Ui::TfrmMain> FUi;
    QMenu* FUserPopup;
    // Frame corner to client area, measured while the window is normal.
    QPoint FFrameOffset;
    QMenu* FTrayMenu;
    QLabel* FStatusUsers;
    QLabel* FStatusFill;
    QLabel* FStatusSpeed;
    TUserListSorter* FSorter;
    QTimer FSecondTimer;
    TViewFeed* FFeed;
    bool FMinimizeToTray = false;
};

} // namespace vendrix::ui
