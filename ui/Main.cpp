#include "Main.h"

#include "ui_Main.h"

#include "About.h"
#include "Color.h"
#include "DialogTexts.h"
#include "IPAccess.h"
#include "Log.h"
#include "LogView.h"
#include "SetupFTP.h"
#include "SetupUser.h"
#include "Sound.h"
#include "StartupHeader.h"
#include "UserList.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <filesystem>

namespace vendrix::ui {

namespace {

// Colours and sounds changed by a dialog count at once; the log options only
// from the next start or the server setup dialog.
void ReloadAppearance(policy::TFtpController& controller) {
    const log::TLogOptions options = controller.SessionLog().Options();
    controller.ReloadSettings();
    controller.SessionLog().SetOptions(options);
}

} // namespace

TfrmMain::TfrmMain(policy::TFtpController& controller, config::TLanguage& language, QWidget* parent)
    : QMainWindow(parent), FController(controller), FLanguage(language),
      FUi(std::make_unique<Ui::TfrmMain>()) {
    FUi->setupUi(this);
    setWindowIcon(QIcon(":/images/vendrix-ftp.svg"));
    setMinimumSize(config::kMinWindowWidth, config::kMinWindowHeight);
    SetUpLogView(*FUi->Info);
    SetUpUserList(*FUi->UserBox);
    FSorter = new TUserListSorter(*FUi->UserBox);

    FStatusUsers = new QLabel(this);
    FStatusUsers->setObjectName("lblStatusUsers");
    FStatusUsers->setFixedWidth(100);
    FStatusFill = new QLabel(this);
    FStatusFill->setObjectName("lblStatusFill");
    FStatusSpeed = new QLabel(this);
    FStatusSpeed->setObjectName("lblStatusSpeed");
    FStatusSpeed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FStatusSpeed->setMinimumWidth(110);
    statusBar()->addWidget(FStatusUsers);
    statusBar()->addWidget(FStatusFill, 1);
    statusBar()->addPermanentWidget(FStatusSpeed);

    FUserPopup = new QMenu(this);
    FUserPopup->setObjectName("popUser");
    FUserPopup->addActions({FUi->popKick, FUi->popBanIP, FUi->popAbort, FUi->popCopyIP});
    connect(FUserPopup, &QMenu::aboutToShow, this, &TfrmMain::UpdateUserPopup);
    FTrayMenu = new QMenu(this);
    FTrayMenu->setObjectName("popTray");
    FTrayMenu->addActions({FUi->popTrayStart, FUi->popTrayStop});
    FTrayMenu->addSeparator();
    FTrayMenu->addAction(FUi->popTrayExit);
    // Stopped until the server's start event says otherwise.
    ServerStateChanged(false);

    ConnectCommands();
    FController.AddObserver(this);
    FFeed = new TViewFeed(
        FController, [this](TViewBatch& batch) { ShowBatch(batch); }, this);
    for (const policy::TUserRow& row : FController.Users())
        FFeed->UserAdded(row);

    FSecondTimer.setInterval(1000);
    connect(&FSecondTimer, &QTimer::timeout, this, [this] {
        FStatusSpeed->setText(
            QString::fromStdString(app::TotalSpeedText(FController.SpeedLimiter().TotalSpeed())));
        RefreshPanel();
    });
    FSecondTimer.start();
    RefreshPanel();
}

TfrmMain::~TfrmMain() {
    delete FFeed; // stops observing before the widgets go
    FController.RemoveObserver(this);
}

QString TfrmMain::Tr(std::string_view key) const {
    return QString::fromStdString(FLanguage.Translate(key));
}

void TfrmMain::ConnectCommands() {
    Ui::TfrmMain& w = *FUi;
    connect(w.mnuClear, &QAction::triggered, this, [this] {
        FFeed->DropLogLines();
        ClearLogView(*FUi->Info);
    });
    connect(w.mnuQuit, &QAction::triggered, this, &QWidget::close);
    connect(w.popTrayExit, &QAction::triggered, this, &QWidget::close);
    for (QAction* start : {w.mnuStart, w.popTrayStart})
        connect(start, &QAction::triggered, this, [this] { FController.StartServer(); });
    for (QAction* stop : {w.mnuStop, w.popTrayStop})
        connect(stop, &QAction::triggered, this, [this] { FController.StopServer(); });
    connect(w.mnuRestart, &QAction::triggered, this, [this] { FController.RestartServer(); });
    connect(w.mnuOnlineHelp, &QAction::triggered, this, [this] {
        QMessageBox box(QMessageBox::Information, Tr("sFTP"), Tr("sShowHelp"), QMessageBox::Ok, this);
        box.setObjectName("msgShowHelp");
        box.exec();
    });
    connect(w.mnuAbout, &QAction::triggered, this, [this] {
        TfrmAbout about(FLanguage, this);
        about.exec();
    });
    // The setup dialogs: each modal and gone once closed; the window then takes
    // up what it may have changed.
    connect(w.mnuUser, &QAction::triggered, this, [this] {
        TfrmSetupUser dialog(FLanguage, FController.AccountFile(), this);
        dialog.exec();
    });
    connect(w.mnuFTP, &QAction::triggered, this, [this] {
        const std::string languages = std::filesystem::path(FLanguage.FilePath()).parent_path().string();
        TfrmSetupFTP dialog(FLanguage, FController.SettingsFile(), languages,
                            FController.Paths().BaseFolder(), this);
        dialog.exec();
        FController.ReloadSettings();
        LoadLanguage(false);
    });
    connect(w.mnuLog, &QAction::triggered, this, [this] {
        TfrmLog dialog(FLanguage, FController.SettingsFile(), &FController.SessionLog(), this);
        dialog.exec();
    });
    connect(w.mnuIPAccess, &QAction::triggered, this, [this] {
        TfrmIPAccess dialog(FLanguage, FController.SettingsFile(), this);
        dialog.ShowBans(FController.LoginGuard(), FController.SpeedLimiter().Now());
        dialog.exec();
    });
    connect(w.mnuColor, &QAction::triggered, this, [this] {
        TfrmColor dialog(FLanguage, FController.SettingsFile(), this);
        dialog.exec();
        ReloadAppearance(FController);
        LoadAppearance();
    });
    connect(w.mnuSound, &QAction::triggered, this, [this] {
        TfrmSound dialog(FLanguage, FController.SettingsFile(), this);
        dialog.exec();
        ReloadAppearance(FController);
    });
    connect(w.UserBox, &QWidget::customContextMenuRequested, this, &TfrmMain::ShowUserPopup);
    connect(w.UserBox, &QTreeWidget::itemSelectionChanged, this, &TfrmMain::RefreshPanel);
    // Each acts on the selected row's session; nothing without a selection.
    connect(w.popKick, &QAction::triggered, this, [this] {
        if (int32_t id = SelectedUserID(*FUi->UserBox)) FController.Kick(id);
    });
    connect(w.popBanIP, &QAction::triggered, this, [this] {
        int32_t id = SelectedUserID(*FUi->UserBox);
        if (!id) return;
        try {
            FController.Ban(id);
        } catch (const std::exception& e) {
            // The deny list could not be written: the session stays.
            ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
        }
    });
    connect(w.popAbort, &QAction::triggered, this, [this] {
        if (int32_t id = SelectedUserID(*FUi->UserBox)) FController.Abort(id);
    });
}

void TfrmMain::LoadAppearance() {
    config::TSettings settings = FController.SettingsFile().Load();
    ApplyLogAppearance(*FUi->Info, config::ReadLogColors(settings), config::ReadLogFont(settings));
}

void TfrmMain::LoadLanguage(bool first) {
    FLanguage.Load(FController.SettingsFile().Load());
    Ui::TfrmMain& w = *FUi;
    QApplication::setApplicationDisplayName(Tr("sFTP"));
    if (first) {
        FFeed->Flush();
        config::TColor text =
            config::ParseColorText(FController.SessionLog().Colors().Text).value_or(config::TColor{});
        for (const app::THeaderLine& line : app::StartupHeaderLines(FLanguage)) {
            config::TColor color = line.Warning ? config::TColor{255, 0, 0} : text;
            AppendLogLine(*w.Info, {{line.Text, color}}, line.Warning);
        }
    }
    setWindowTitle(Tr("sFTP"));
    const std::pair<QAction*, const char*> actions[] = {
        {w.mnuClear, "sClear"},         {w.mnuStart, "sStart"},       {w.mnuStop, "sStop"},
        {w.mnuUser, "sUser"},           {w.mnuFTP, "sMnuFTP"},        {w.mnuOnlineHelp, "sOnlineHelp"},
        {w.mnuAbout, "sAbout"},         {w.mnuIPAccess, "sIPAccess"}, {w.mnuColor, "sfrmColor"},
        {w.mnuSound, "sSound"},         {w.mnuQuit, "sQuit"},         {w.popBanIP, "sBanIP"},
        {w.popKick, "sDisconnectUser"}, {w.popAbort, "sAbortUser"},   {w.popCopyIP, "sPasteIP"},
        {w.popTrayStart, "sStart"},     {w.popTrayStop, "sStop"},     {w.popTrayExit, "sQuit"},
    };
    for (const auto& [action, key] : actions)
        action->setText(Tr(key));
    const std::pair<QMenu*, const char*> menus[] = {
        {w.mnuFile, "sFile"}, {w.mnuServer, "sServer"}, {w.mnuSetup, "sSetup"}, {w.mnuHelp, "sHelp"}};
    for (const auto& [menu, key] : menus)
        menu->setTitle(Tr(key));
    w.pgcMain->setTabText(0, Tr("sMain"));
    w.pgcMain->setTabText(1, Tr("sUMain"));
    const std::pair<QLabel*, const char*> labels[] = {
        {w.lblConnect, "sConnect"},
        {w.lblHostname, "sHostname"},
        {w.lblStatus, "Status"},
        {w.lblIdleTime, "sIdleTime"},
        {w.lblTransfert, "sTransfert"},
        {w.lblTempRest, "sTempRest"},
        {w.lblSessDown, "sSessDown"},
        {w.lblSessUp, "sSessUp"},
        {w.lblTotalDownload, "sTotalDownload"},
        {w.lblTotalUpload, "sTotalUpload"},
    };
    for (const auto& [label, key] : labels)
        label->setText(Tr(key));
    w.UserBox->setHeaderLabels({Tr("sIDNum"), Tr("sUsername"), Tr("sIP")});
    RefreshPanel();
    FController.RefreshStatus();
}

// --- the user list and the information panel -------------------------------------

void TfrmMain::ShowBatch(TViewBatch& batch) {
    if (!batch.LogLines.empty()) {
        auto text = config::ParseColorText(FController.SessionLog().Colors().Text).value_or(config::TColor{});
        AppendLogLines(*FUi->Info, batch.LogLines, text);
    }
    ApplyUserEvents(*FUi->UserBox, batch.Users);
    if (batch.Status) FStatusUsers->setText(QString::fromStdString(batch.Status->UserCountText));
}

void TfrmMain::RefreshPanel() {
    auto translate = [this](std::string_view key) { return FLanguage.Translate(key); };
    const policy::TAppClient* client = FController.FindClient(SelectedUserID(*FUi->UserBox));
    if (!client) {
        ShowPanel(app::EmptySessionPanel(translate));
        return;
    }
    ShowPanel(app::DescribeSession(app::FactsOf(*client), net::TEventLoop::Tick(), translate));
}

void TfrmMain::ShowPanel(const app::TSessionPanel& p) {
    Ui::TfrmMain& w = *FUi;
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    w.txtHost->setText(q(p.Host));
    w.lblConnectTime->setText(q(p.Connected));
    w.lblIdle->setText(q(p.Idle));
    w.txtFile->setText(q(p.File));
    w.txtFile->setCursorPosition(int(w.txtFile->text().size())); // the file name, not the folders
    w.lblBytes->setText(q(p.Transferred + " / " + p.Size));
    w.lblTransferTime->setText(q(p.TransferTime));
    w.lblTimeLeft->setText(q(p.TimeLeft));
    w.lblSpeed->setText(q(p.Speed));
    w.prgTransfer->setValue(p.Progress);
    w.lblTransferStatus->setText(q(p.Status));
    w.lblSessDownKB->setText(q(p.SessionDownload));
    w.lblSessUpKB->setText(q(p.SessionUpload));
    w.lblTotalDownKB->setText(q(p.TotalDownload));
    w.lblTotalUpKB->setText(q(p.TotalUpload));
    w.lblEncryption->setText(q(p.Encryption));
}

void TfrmMain::ShowUserPopup(const QPoint& pos) {
    FUserPopup->popup(FUi->UserBox->viewport()->mapToGlobal(pos));
}

void TfrmMain::UpdateUserPopup() {
    const bool selected = SelectedUserID(*FUi->UserBox) != 0;
    for (QAction* a : {FUi->popKick, FUi->popBanIP, FUi->popAbort, FUi->popCopyIP})
        a->setEnabled(selected);
}

// --- server state ---------------------------------------------------------------------

void TfrmMain::ServerStateChanged(bool running) {
    for (QAction* a : {FUi->mnuStart, FUi->popTrayStart})
        a->setEnabled(!running);
    for (QAction* a : {FUi->mnuStop, FUi->popTrayStop})
        a->setEnabled(running);
}

// --- showing, minimising and closing ---------------------------------------------------

void TfrmMain::ShowAndRaise() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && FMinimizeToTray)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) hide();
        });
}

bool TfrmMain::ConfirmClose() {
    if (FController.SettingsFile().ReadBool(config::TSetting::DisableExitMessage)) return true;
    QMessageBox box(QMessageBox::Question, Tr("sFTP"), Tr("sShutDown"), QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setObjectName("msgShutDown");
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TfrmMain::SavePlacement() {
    // normalGeometry() is the client area, while the placement is the frame's
    // corner (what move() takes): the title bar's height is taken off again,
    // as last measured on the window shown in its normal state.
    if (isVisible() && !isMaximized() && !isMinimized()) FFrameOffset = geometry().topLeft() - pos();
    QRect normal = isMaximized() || isMinimized() || !isVisible() ? normalGeometry() : QRect(pos(), size());
    if (isMaximized() || isMinimized() || !isVisible()) normal.translate(-FFrameOffset);
    try {
        config::WriteWindowPlacement(FController.SettingsFile(),
                                     {normal.x(), normal.y(), normal.width(), normal.height()});
    } catch (const std::exception& e) {
        // The window closes all the same; the reason goes to the log.
        FController.LogText(e.what());
    }
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible() && !isMaximized() && !isMinimized()) FFrameOffset = geometry().topLeft() - pos();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    SavePlacement();
    FSecondTimer.stop();
    event->accept();
    emit Closing();
}

} // namespace vendrix::ui
