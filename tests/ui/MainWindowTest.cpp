// The main window driven through its real widgets against a real controller
// and server, with real clients on 127.0.0.1. Message boxes are answered by
// a script that clicks their buttons.
#include "BaseFolder.h"
#include "DesktopApp.h"
#include "GuiApplication.h"
#include "LogView.h"
#include "Main.h"
#include "Md5.h"
#include "ModalScript.h"
#include "TempFolder.h"
#include "TestClient.h"
#include "TrayIcon.h"
#include "UserList.h"
#include "ui_Main.h"

#include "ControlPath.h"

#include <QApplication>
#include <QHeaderView>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

using namespace vendrix;
using vendrix::testing::AnswerMessage;
using vendrix::testing::ClickButton;
using vendrix::testing::ReadText;
using vendrix::testing::TBaseFolder;
using vendrix::testing::TTempFolder;
using vendrix::testing::TTestClient;
using vendrix::testing::WhenModal;
using vendrix::testing::WriteText;

namespace {

QStringList Column(QTreeWidget& list, int column) {
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(column);
    return texts;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TBaseFolder> Base;
    std::string Home;
    std::unique_ptr<app::TControlChannel> Channel;
    std::unique_ptr<ui::TDesktopApp> App;
    quint16 Port = 0;

    ui::TfrmMain& Window() { return App->Window(); }
    Ui::TfrmMain& W() { return App->Window().Widgets(); }
    policy::TFtpController& Ctl() { return App->Controller(); }

    void WriteConfig(const std::string& extra = "") { Base->WriteConfig("[Setup]\nPort=21\n" + extra); }
    void Start(const std::string& listen = "127.0.0.1") {
        Channel = std::make_unique<app::TControlChannel>(net::TEventLoop::Instance(),
                                                         app::ControlSocketPath(Base->Path()));
        Channel->Listen();
        ui::TDesktopOptions options;
        options.Base = Base->Path();
        options.ListenAddr = listen;
        options.Port = "0";
        App = std::make_unique<ui::TDesktopApp>(options, Channel.get());
        QVERIFY(Ctl().Running());
        Port = quint16(std::stoi(Ctl().Server().ServerSocket().GetLocalPortText()));
        Shown();
    }
    // Drives the loop until the window shows all the controller told it.
    void Shown() {
        if (!QTest::qWaitFor([&] { return !Window().Feed().Pending(); }, 10000)) qWarning("the window lags");
    }
    std::unique_ptr<TTestClient> LoggedIn(const QString& user = "anna",
                                          const QHostAddress& host = QHostAddress(QHostAddress::LocalHost)) {
        auto c = std::make_unique<TTestClient>(Port, host);
        const size_t before = Ctl().Users().size();
        c->Login(user, "secret");
        if (!QTest::qWaitFor([&] { return Ctl().Users().size() == before + 1; }, 10000))
            qWarning("%s did not log in", qPrintable(user));
        Shown();
        return c;
    }
    void Select(int row) {
        W().UserBox->setCurrentItem(W().UserBox->topLevelItem(row));
        QCOMPARE(W().UserBox->selectedItems().size(), 1);
    }
    QString LogText() const { return App->Window().Widgets().Info->toPlainText(); }
    // The colour `text` (one run of the line) is drawn in.
    static QColor ShownColour(const QTextBlock& line, const QString& text) {
        for (const QTextLayout::FormatRange& r : line.layout()->formats())
            if (line.text().mid(r.start, r.length) == text) return r.format.foreground().color();
        for (auto it = line.begin(); !it.atEnd(); ++it)
            if (it.fragment().text() == text) return it.fragment().charFormat().foreground().color();
        return {};
    }

private slots:
    void init() {
        Base = std::make_unique<TBaseFolder>();
        std::filesystem::create_directories(Base->File("home"));
        std::filesystem::copy(VENDRIX_LANGUAGE_FOLDER, Base->File("lng"));
        Home = Base->File("home");
        // Large enough to be still running when a test has seen it move.
        WriteText(Home + "/big.bin", "");
        std::filesystem::resize_file(Home + "/big.bin", 64 << 20);
        WriteConfig();
        std::string users;
        for (const char* name : {"anna", "bob", "carl"})
            users += std::string("[") + name + "]\nPassword=" + config::Md5Hex("secret") +
                     "\nHomePath=" + Home + "\nDir0=" + Home + "|D_______S__|\n";
        Base->WriteUsers(users);
    }

    void cleanup() {
        App.reset();
        if (Channel) Channel->Close();
        Channel.reset();
        Base.reset();
    }

    void loginAddsARowAndSwitchesTheTray() {
        Start();
        QCOMPARE(App->Tray().State(), policy::TTrayState::Listening);
        QCOMPARE(Window().StatusUsers().text(), QString("No users online"));
        // Captions come from the language file.
        QCOMPARE(W().mnuFile->title(), QString("File"));
        QCOMPARE(W().pgcMain->tabText(1), QString("Users online"));
        QCOMPARE(W().UserBox->headerItem()->text(ui::colIP), QString("IP address"));
        QVERIFY(LogText().contains("Vendrix FTP Server 1.50 Alpha 2"));

        auto c = LoggedIn();
        QCOMPARE(W().UserBox->topLevelItemCount(), 1);
        QTreeWidgetItem* row = W().UserBox->topLevelItem(0);
        QCOMPARE(row->text(ui::colUsername), QString("ANNA"));
        QCOMPARE(row->text(ui::colIP), QString("127.0.0.1"));
        QCOMPARE(App->Tray().State(), policy::TTrayState::ClientsConnected);
        QCOMPARE(Window().StatusUsers().text(), QString("1 Users"));
        QCOMPARE(Ctl().Status().TipText, std::string("Vendrix FTP Server Client: 1"));

        c.reset();
        QTRY_COMPARE(W().UserBox->topLevelItemCount(), 0);
        QCOMPARE(App->Tray().State(), policy::TTrayState::Listening);
    }

    void panelShowsAnIdleSessionAndAGrowingDownload() {
        Start();
        auto c = LoggedIn();
        Select(0);
        QCOMPARE(W().lblSpeed->text(), QString("0 K/s"));
        QCOMPARE(W().lblTransferTime->text(), QString("00:00:00 Min"));
        QCOMPARE(W().lblTimeLeft->text(), QString("00:00:00 Min"));
        QCOMPARE(W().lblTransferStatus->text(), QString("Idle")); // sNoTrans
        QCOMPARE(W().txtFile->text(), QString("No file"));        // sNoFile
        QCOMPARE(W().txtHost->text(), QString("127.0.0.1"));
        QCOMPARE(W().lblBytes->text(), QString("0 / 0"));
        QCOMPARE(W().lblEncryption->text(), QString("FTP"));

        // A download as slow as the client reads: the panel follows it.
        QVERIFY(c->Cmd("TYPE I").startsWith("200"));
        auto data = c->Pasv();
        QVERIFY(data);
        data->setReadBufferSize(64 * 1024);
        QVERIFY(c->Cmd("RETR big.bin").startsWith("150"));
        QTRY_COMPARE(W().lblTransferStatus->text(), QString("Download"));
        QVERIFY(W().txtFile->text().endsWith("big.bin"));
        auto transferred = [&] { return W().lblBytes->text().section(" / ", 0, 0).remove(' ').toLongLong(); };
        QTRY_VERIFY(transferred() > 0);
        const qlonglong first = transferred();
        QTRY_VERIFY_WITH_TIMEOUT((data->read(256 * 1024), transferred() > first), 20000);
        QVERIFY(W().lblBytes->text().endsWith(" / 67 108 864"));
        data->abort();
    }

    void kickAndBanActOnTheSelectedRow() {
        Start();
        auto anna = LoggedIn("anna");
        auto bob = LoggedIn("bob");
        W().UserBox->sortItems(ui::colUsername, Qt::AscendingOrder);
        QCOMPARE(Column(*W().UserBox, ui::colUsername), QStringList({"ANNA", "BOB"}));

        Select(1);
        W().popKick->trigger();
        QVERIFY(bob->WaitClosed());
        QTRY_COMPARE(Column(*W().UserBox, ui::colUsername), QStringList({"ANNA"}));

        Select(0);
        W().popBanIP->trigger();
        QVERIFY(anna->WaitClosed());
        QTRY_COMPARE(W().UserBox->topLevelItemCount(), 0);
        const std::string config = ReadText(Base->Config());
        QVERIFY2(config.find("[IP Deny]") != std::string::npos, config.c_str());
        QVERIFY2(config.find("IP0=127.0.0.1") != std::string::npos, config.c_str());
    }

    // Peers of both families show in their usual text form, an IPv4 client
    // of the dual-stack socket without its mapped IPv6 form, and Ban IP
    // writes the address so that its next connection is refused.
    void peersShowAndAreBannedByTheirAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("IPv6") << "::1";
        QTest::newRow("IPv4 on the dual-stack socket") << "127.0.0.1";
    }
    void peersShowAndAreBannedByTheirAddress() {
        QFETCH(QString, address);
        Start("::");
        auto c = LoggedIn("anna", QHostAddress(address));
        QCOMPARE(Column(*W().UserBox, ui::colIP), QStringList({address}));
        Select(0);
        QCOMPARE(W().txtHost->text(), address);
        QVERIFY2(LogText().contains("Connection from " + address), qPrintable(LogText()));
        QVERIFY2(!LogText().contains("::ffff:"), qPrintable(LogText()));

        W().popBanIP->trigger();
        QVERIFY(c->WaitClosed());
        const std::string config = ReadText(Base->Config());
        QVERIFY2(config.find("IP0=" + address.toStdString() + "\n") != std::string::npos, config.c_str());
        TTestClient next(Port, QHostAddress(address));
        QCOMPARE(next.Greeting, QString("421 Access Denied."));
        QVERIFY(next.WaitClosed());
    }

    // A deny list that cannot be written is reported in a message box; the
    // window and the session carry on and the file is not replaced.
    void banWithAnUnwritableSettingsFileShowsTheError() {
        Start();
        auto anna = LoggedIn("anna");
        const std::string config = Base->File("conf/config.ini");
        std::filesystem::remove(config);
        std::filesystem::create_directory(config);
        Select(0);
        auto seen = AnswerMessage();
        W().popBanIP->trigger();
        QTRY_COMPARE(seen->Name, QString("msgSaveFailed"));
        QVERIFY(seen->Text.startsWith(QString::fromStdString("cannot read " + config)));
        QVERIFY(std::filesystem::is_directory(config));
        QCOMPARE(W().UserBox->topLevelItemCount(), 1);
        std::filesystem::remove(config);
    }

    // An account file that is there but cannot be read is reported at the
    // start, in the log and in a box, and never written over.
    void anUnreadableAccountFileIsReportedAtTheStart() {
        const std::string users = Base->File("conf/users.ini");
        std::filesystem::remove(users);
        std::filesystem::create_directory(users);
        auto seen = AnswerMessage();
        Start();
        QTRY_COMPARE(seen->Name, QString("msgReadFailed"));
        QCOMPARE(seen->Text, QString::fromStdString("cannot read " + users + ": Is a directory"));
        QVERIFY(std::filesystem::is_directory(users));
        std::filesystem::remove(users);
    }

    // An exception that leaves a slot is shown, and the window carries on.
    void anExceptionInASlotIsShownAndTheProgramGoesOn() {
        Start();
        auto seen = AnswerMessage();
        QTimer::singleShot(0, &Window(), [] { throw std::runtime_error("cannot save users.ini"); });
        QTRY_COMPARE(seen->Name, QString("msgError"));
        QCOMPARE(seen->Text, QString("cannot save users.ini"));
        auto c = LoggedIn("anna");
        QTRY_COMPARE(W().UserBox->topLevelItemCount(), 1);
    }

    void popupEntriesNeedASelection() {
        Start();
        auto c = LoggedIn();
        QMenu& popup = Window().UserPopup();
        QList<QAction*> entries = {W().popKick, W().popBanIP, W().popAbort};
        for (bool selected : {false, true}) {
            if (selected) Select(0);
            emit W().UserBox->customContextMenuRequested(QPoint(5, 5));
            QTRY_VERIFY(popup.isVisible());
            for (QAction* a : entries) {
                QVERIFY(a->isVisible());
                QCOMPARE(a->isEnabled(), selected);
            }
            QVERIFY(!W().popCopyIP->isVisible());
            popup.close();
        }
        W().UserBox->clearSelection();
        W().popKick->trigger(); // still a no-op without a selection
        QTest::qWait(50);
        QCOMPARE(W().UserBox->topLevelItemCount(), 1);
    }

    void sortingFlipsPerColumn() {
        Start();
        for (auto [id, name, ip] :
             {std::tuple{2, "BOB", "127.0.0.3"}, {10, "ANNA", "127.0.0.10"}, {1, "CARL", "127.0.0.2"}})
            Window().Feed().UserAdded({id, name, ip});
        Shown();
        QHeaderView* header = W().UserBox->header();
        auto click = [&](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        };
        // Each click and the order of the clicked column afterwards.
        const std::pair<int, QStringList> clicks[] = {
            {ui::colID, {"1", "2", "10"}}, // numbers, not texts
            {ui::colID, {"10", "2", "1"}},
            {ui::colUsername, {"ANNA", "BOB", "CARL"}}, // its own first click: ascending
            {ui::colID, {"1", "2", "10"}},
            {ui::colUsername, {"CARL", "BOB", "ANNA"}},
            {ui::colIP, {"127.0.0.10", "127.0.0.2", "127.0.0.3"}}, // addresses as text
        };
        for (const auto& [column, order] : clicks) {
            click(column);
            QTRY_COMPARE(Column(*W().UserBox, column), order);
        }
    }

    void logKeepsTheLastFiveThousandLinesInColour() {
        WriteConfig("[Color]\nTextTag=#102030\nFileTag=#C00000\n");
        Start();
        ui::ClearLogView(*W().Info);
        for (int i = 1; i <= 5001; ++i)
            Ctl().LogText("#102030<line " + std::to_string(i) + ">");
        Shown();
        QTextDocument* doc = W().Info->document();
        QCOMPARE(doc->blockCount(), 5000);
        QVERIFY(doc->firstBlock().text().endsWith("] - line 2"));
        QVERIFY(doc->lastBlock().text().endsWith("] - line 5001"));

        Ctl().LogText("#102030<file " + Ctl().FileSegment("a.txt") + " end>");
        Shown();
        QTextBlock last = doc->lastBlock();
        QVERIFY(last.text().endsWith("] - file a.txt end"));
        QTRY_COMPARE(ShownColour(last, "a.txt"), QColor(0xC0, 0, 0));
        QCOMPARE(ShownColour(last, " end"), QColor(0x10, 0x20, 0x30));
        // A line gets its colours when it comes on screen.
        W().Info->verticalScrollBar()->setValue(0);
        QTRY_COMPARE(ShownColour(doc->firstBlock(), "line 3"), QColor(0x10, 0x20, 0x30));
        QCOMPARE(W().Info->palette().color(QPalette::Text), QColor(0x10, 0x20, 0x30));
        QVERIFY(W().Info->isReadOnly());
        QCOMPARE(W().Info->lineWrapMode(), QPlainTextEdit::NoWrap);

        W().mnuClear->trigger();
        QVERIFY(W().Info->document()->isEmpty());
    }

    // Lines reach the view only once the loop runs, a round's worth in one
    // update, and then every one in order, however they fall into rounds;
    // of a flood the view keeps the newest.
    void logLinesAreShownInOrderOncePerUpdate_data() {
        QTest::addColumn<QList<int>>("rounds"); // lines logged before each pass of the loop
        QTest::newRow("one line") << QList<int>{1};
        QTest::newRow("a burst") << QList<int>{300};
        QTest::newRow("bursts and quiet passes") << QList<int>{100, 0, 250, 1, 0, 50};
        QTest::newRow("more than the view keeps") << QList<int>{4000, 3000};
    }
    void logLinesAreShownInOrderOncePerUpdate() {
        QFETCH(QList<int>, rounds);
        Start();
        ui::ClearLogView(*W().Info);
        QTextDocument* doc = W().Info->document();
        int total = 0;
        for (int n : rounds) {
            const QString shown = LogText();
            for (int i = 0; i < n; ++i)
                Ctl().LogText("#000000<line " + std::to_string(++total) + ">");
            QCOMPARE(LogText(), shown);
            QCoreApplication::processEvents();
        }
        Shown();
        const int kept = std::min(total, ui::kMaxLogLines);
        QCOMPARE(doc->blockCount(), kept);
        int line = total - kept;
        for (QTextBlock b = doc->firstBlock(); b.isValid(); b = b.next())
            QVERIFY2(b.text().endsWith("] - line " + QString::number(++line)), qPrintable(b.text()));
    }

    // Changes to the user list and the status wait for the loop as well and
    // are then shown in their order; only the latest status counts.
    void userRowsAndStatusAreShownTogether() {
        Start();
        ui::TViewFeed& feed = Window().Feed();
        feed.UserAdded({1, "ANNA", "127.0.0.1"});
        Shown();
        auto status = [](const char* text) {
            policy::TServerStatus s;
            s.UserCountText = text;
            return s;
        };
        feed.UserAdded({2, "BOB", "::1"});
        feed.UserChanged({1, "ANNA", "127.0.0.5"});
        feed.StatusChanged(status("3 Users"));
        feed.UserAdded({3, "CARL", "127.0.0.3"});
        feed.UserRemoved(2);
        feed.UserAdded({4, "DORA", "127.0.0.4"});
        feed.UserRemoved(4);
        feed.StatusChanged(status("2 Users"));
        QCOMPARE(Column(*W().UserBox, ui::colIP), QStringList({"127.0.0.1"}));
        Shown();
        QCOMPARE(Column(*W().UserBox, ui::colID), QStringList({"1", "3"}));
        QCOMPARE(Column(*W().UserBox, ui::colIP), QStringList({"127.0.0.5", "127.0.0.3"}));
        QCOMPARE(Window().StatusUsers().text(), QString("2 Users"));
    }

    void closeAsksAndNoKeepsTheProgram() {
        Start();
        QSignalSpy finished(App.get(), &ui::TDesktopApp::Finished);
        QString question;
        WhenModal([&](QWidget* box) {
            question = qobject_cast<QMessageBox*>(box)->text();
            ClickButton(box, QMessageBox::No);
        });
        QVERIFY(!Window().close());
        QCOMPARE(question, QString("Stop the server and quit?")); // sShutDown
        QVERIFY(Window().isVisible());
        QVERIFY(Ctl().Running());
        QCOMPARE(finished.count(), 0);

        // "/close" stops the server, then asks; Yes ends the program and
        // saves the placement.
        WhenModal([](QWidget* box) { ClickButton(box, QMessageBox::Yes); });
        App->RunCommand("/close");
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(!Ctl().Running());
        QVERIFY(!Window().isVisible());
        QTRY_VERIFY(LogText().endsWith("Server shutting down.")); // sSrvShutDown
        const std::string config = ReadText(Base->Config());
        QVERIFY2(config.find("[Window]") != std::string::npos, config.c_str());
    }

    void disabledExitMessageClosesAtOnce() {
        WriteConfig("DisableExitMessage=1\n");
        Start();
        QSignalSpy finished(App.get(), &ui::TDesktopApp::Finished);
        QVERIFY(Window().close());
        QCOMPARE(finished.count(), 1);
    }

    void placementIsCorrected_data() {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("expected"); // on the 800 by 800 offscreen screen
        QTest::newRow("kept") << QRect(10, 20, 500, 450) << QRect(10, 20, 500, 450);
        QTest::newRow("negative and small") << QRect(-40, -5, 100, 100) << QRect(0, 0, 430, 415);
        QTest::newRow("past the edges") << QRect(700, 500, 430, 415) << QRect(370, 385, 430, 415);
        QTest::newRow("larger than the screen") << QRect(50, 150, 1000, 900) << QRect(0, 0, 1000, 900);
    }
    void placementIsCorrected() {
        QFETCH(QRect, stored);
        QFETCH(QRect, expected);
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 800, 800));
        WriteConfig(QString("[Window]\nLeft=%1\nTop=%2\nWidth=%3\nHeight=%4\n")
                        .arg(stored.x())
                        .arg(stored.y())
                        .arg(stored.width())
                        .arg(stored.height())
                        .toStdString());
        Start();
        QTRY_COMPARE(QRect(Window().pos(), Window().size()), expected);
    }

    void serverCommandsFromMenusAndChannel() {
        Start();
        QVERIFY(!W().mnuStart->isEnabled());
        QVERIFY(W().popTrayStop->isEnabled());
        W().mnuStop->trigger();
        QVERIFY(!Ctl().Running());
        QCOMPARE(App->Tray().State(), policy::TTrayState::Stopped);
        QVERIFY(W().mnuStart->isEnabled() && W().popTrayStart->isEnabled());
        QVERIFY(!W().mnuStop->isEnabled());
        W().popTrayStart->trigger();
        QVERIFY(Ctl().Running());

        // The control socket, as another program uses it.
        auto request = [&](const QByteArray& line) {
            QLocalSocket socket;
            socket.connectToServer(QString::fromStdString(Channel->SocketPath()));
            socket.write(line + "\n");
            QByteArray answer;
            (void)QTest::qWaitFor(
                [&] {
                    answer += socket.readAll();
                    return answer.endsWith('\n');
                },
                10000);
            return answer.trimmed();
        };
        QCOMPARE(request("COMMAND /stop"), QByteArray("OK"));
        QTRY_VERIFY(!Ctl().Running());
        QCOMPARE(request("COMMAND /restart"), QByteArray("OK")); // while stopped: starts
        QTRY_VERIFY(Ctl().Running());

        Window().hide();
        QCOMPARE(request("ACTIVATE"), QByteArray("OK"));
        QTRY_VERIFY(Window().isVisible());

        // A port in use: the start fails, logged, and the entries stay.
        W().mnuStop->trigger();
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::LocalHost));
        Ctl().PortOverride = std::to_string(blocker.serverPort());
        W().mnuStart->trigger();
        QVERIFY(!Ctl().Running());
        QTRY_VERIFY(LogText().contains(QString::number(blocker.serverPort())));
        QVERIFY(!W().mnuStop->isEnabled());
    }

    void aboutAndHelp() {
        Start();
        QString version, help;
        WhenModal([&](QWidget* about) {
            version = about->findChild<QLabel*>("lblVersion")->text();
            about->findChild<QPushButton*>("cmdClose")->click();
        });
        W().mnuAbout->trigger();
        QCOMPARE(version, QString("Vendrix FTP Server 1.50 Alpha 2"));
        WhenModal([&](QWidget* box) {
            help = qobject_cast<QMessageBox*>(box)->text();
            ClickButton(box, QMessageBox::Ok);
        });
        W().mnuOnlineHelp->trigger();
        QCOMPARE(help, QString("See the README file that comes with the program.")); // sShowHelp
    }

    void startsInTheTrayOnlyWhereThereIsOne() {
        WriteConfig("TrayIcon=1\n");
        Start();
        QCOMPARE(App->Tray().Available(), QSystemTrayIcon::isSystemTrayAvailable());
        QCOMPARE(Window().isVisible(), !App->Tray().Available());
    }
};

int main(int argc, char** argv) {
    // A private runtime folder: the control sockets and Qt's own files.
    TTempFolder runtime;
    std::filesystem::permissions(runtime.Path(), std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::TGuiApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
