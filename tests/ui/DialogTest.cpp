// The configuration dialogs driven through their widgets as an administrator
// would (clicks, typing, moving the focus), with the files checked on disk.
// Message boxes, input boxes and pickers are answered by a script.
#include "Color.h"
#include "DesktopApp.h"
#include "FirstRun.h"
#include "FirstRunSetup.h"
#include "IPAccess.h"
#include "Log.h"
#include "Main.h"
#include "Md5.h"
#include "MsgUser.h"
#include "Quota.h"
#include "Ratio.h"
#include "SetupFTP.h"
#include "SetupUser.h"
#include "Sound.h"
#include "TempFolder.h"
#include "ui_Color.h"
#include "ui_IPAccess.h"
#include "ui_Log.h"
#include "ui_Main.h"
#include "ui_MsgUser.h"
#include "ui_Quota.h"
#include "ui_Ratio.h"
#include "ui_SetupFTP.h"
#include "ui_SetupUser.h"
#include "ui_Sound.h"

#include "AccountFile.h"
#include "AccountTable.h"
#include "SettingsFile.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

using namespace vendrix;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WriteText;

namespace {

// Runs `answer` on the next modal window that opens.
void WhenModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// Answers the next message box with `button` and keeps its name and text.
// The script ends when it has answered one or when the test drops the
// result, so a box that never comes leaves nothing running.
struct TMessageSeen {
    QString Name;
    QString Text;
};
std::shared_ptr<TMessageSeen> AnswerMessage(QMessageBox::StandardButton button = QMessageBox::Ok) {
    auto seen = std::make_shared<TMessageSeen>();
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, button, weak = std::weak_ptr<TMessageSeen>(seen)] {
        std::shared_ptr<TMessageSeen> result = weak.lock();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (result && !box) return;
        timer->stop();
        timer->deleteLater();
        if (!result) return;
        result->Name = box->objectName();
        result->Text = box->text();
        box->button(button)->click();
    });
    timer->start();
    return seen;
}

void AnswerInput(const QString& text) {
    WhenModal([text](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        if (!input) return;
        input->setTextValue(text);
        input->accept();
    });
}

void AnswerFolder(const QString& folder) {
    WhenModal([folder](QWidget* modal) {
        auto* picker = qobject_cast<QFileDialog*>(modal);
        if (!picker) return;
        QVERIFY(picker->windowTitle() == "Select a directory");
        picker->setDirectory(folder);
        picker->selectFile(folder);
        static_cast<QDialog*>(picker)->accept();
    });
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// After a message box the window manager would make the dialog active again
// (the offscreen platform does not); focus changes in an inactive window send
// no focus events.
void WaitActive(QWidget& widget) {
    if (!widget.window()->isActiveWindow()) widget.window()->activateWindow();
    QTRY_VERIFY(widget.window()->isActiveWindow());
}

// A check box reacts to a click on its box or its text, not on the empty
// room a layout may give it.
void ClickBox(QAbstractButton* box) {
    WaitActive(*box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

void Click(QWidget* button) {
    WaitActive(*button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void ClickItem(QListWidget& list, int row) {
    WaitActive(list);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
}

// Clicks into a field, replaces its text by typing, and tabs out of it.
void TypeInto(QLineEdit& field, const QString& text, bool leave = true) {
    WaitActive(field);
    QTest::mouseClick(&field, Qt::LeftButton);
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClicks(&field, text);
    if (leave) QTest::keyClick(&field, Qt::Key_Tab);
}

config::TIniDocument ReadDoc(const std::string& path) {
    return config::TIniDocument::Parse(ReadText(path));
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TTempFolder> FTemp;
    std::unique_ptr<config::TLanguage> FLanguage;

    std::string Users() const { return FTemp->File("conf/users.ini"); }
    std::string Config() const { return FTemp->File("conf/config.ini"); }

private slots:
    void init() {
        FTemp = std::make_unique<TTempFolder>();
        std::filesystem::create_directory(FTemp->File("conf"));
        FLanguage = std::make_unique<config::TLanguage>(VENDRIX_LANGUAGE_FOLDER);
        FLanguage->SetName("english");
    }
    void cleanup() {
        FLanguage.reset();
        FTemp.reset();
    }

    void accountNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "alice" << true;
        QTest::newRow("inner blank") << "alice smith" << true;
        for (const char* bad : {"a\\b", "a/b", "a:b", "a|b", "a*b", "a?b", "a\"b", "a<b", "a>b", "[x", "x]"})
            QTest::newRow(bad) << QString(bad) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
    }
    void accountNames() {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(ui::TfrmSetupUser::ValidAccountName(name), valid);
    }

    // The digest and "<< Encrypt >>"; leaving the field unchanged writes
    // nothing; an emptied field stores the digest of the empty password.
    void userPassword() {
        WriteText(Users(), "[alice]\nHomePath=/srv\n");
        config::TAccountFile accounts(Users());
        ui::TfrmSetupUser dialog(*FLanguage, accounts);
        ShowActive(dialog);
        Ui::TfrmSetupUser& w = dialog.Widgets();
        QVERIFY(!w.txtPass->isEnabled());
        ClickItem(*w.lstUsers, 0);
        QCOMPARE(w.txtPass->text(), QString());
        TypeInto(*w.txtPass, "secret");
        QCOMPARE(w.txtPass->text(), "<< Encrypt >>");
        Click(w.cmdSave);
        QCOMPARE(ReadDoc(Users()).ReadString("alice", "Password", ""), config::Md5Hex("secret"));

        Click(w.txtPass);
        QTest::keyClick(w.txtPass, Qt::Key_Tab);
        QCOMPARE(dialog.Copy().ReadString("alice", "Password", ""), config::Md5Hex("secret"));

        TypeInto(*w.txtPass, "");
        Click(w.cmdSave);
        QCOMPARE(ReadDoc(Users()).ReadString("alice", "Password", ""), config::Md5Hex(""));
        QCOMPARE(w.txtPass->text(), "<< Encrypt >>");
    }

    void userLimitsAndHome() {
        WriteText(Users(), "[alice]\nMaxSpeed=7\n");
        config::TAccountFile accounts(Users());
        ui::TfrmSetupUser dialog(*FLanguage, accounts);
        ShowActive(dialog);
        Ui::TfrmSetupUser& w = dialog.Widgets();
        ClickItem(*w.lstUsers, 0);
        QCOMPARE(w.txtMaxSpeed->text(), "7");
        TypeInto(*w.txtMaxSpeed, "4x2");
        QCOMPARE(w.txtMaxSpeed->text(), "42");
        auto invalid = AnswerMessage();
        TypeInto(*w.txtTimeOut, "");
        QCOMPARE(invalid->Name, "msgInvalidNumber");
        auto home = AnswerMessage();
        TypeInto(*w.txtHome, QString::fromStdString(FTemp->File("missing")));
        QCOMPARE(home->Text, LanguageText("sHomeDirInv"));
        WaitActive(dialog);
        QTRY_COMPARE(QApplication::focusWidget(), w.txtHome);
        TypeInto(*w.txtHome, QString::fromStdString(FTemp->Path()));
        ClickBox(w.chkVirtual);
        Click(w.cmdSave);
        const config::TIniDocument saved = ReadDoc(Users());
        QCOMPARE(saved.ReadString("alice", "MaxSpeed", ""), "42");
        QCOMPARE(saved.ReadString("alice", "HomePath", ""), FTemp->Path());
        QCOMPARE(saved.ReadString("alice", "VirtualDir", ""), "1");
        QVERIFY(!saved.KeyExists("alice", "Time-Out"));
    }

    // The folder picker sets the home folder and adds it as an entry with no
    // rights.
    void userHomePicker() {
        WriteText(Users(), "[alice]\n");
        config::TAccountFile accounts(Users());
        ui::TfrmSetupUser dialog(*FLanguage, accounts);
        ShowActive(dialog);
        Ui::TfrmSetupUser& w = dialog.Widgets();
        ClickItem(*w.lstUsers, 0);
        const QString folder = QString::fromStdString(FTemp->Path());
        AnswerFolder(folder);
        Click(w.cmdHome);
        QCOMPARE(w.txtHome->text(), folder + "/");
        QCOMPARE(w.lstDirs->count(), 1);
        Click(w.cmdSave);
        const config::TIniDocument saved = ReadDoc(Users());
        QCOMPARE(saved.ReadString("alice", "HomePath", ""), (folder + "/").toStdString());
        QCOMPARE(saved.ReadString("alice", "Dir0", ""), (folder + "/|___________|").toStdString());
    }

    // Add refuses a directory already listed in any letter case; "D" and "S"
    // give "D_______S__"; access denied clears the rest.
    void userAccessEntries() {
        const std::string lower = FTemp->File("ftp");
        const std::string upper = FTemp->File("FTP");
        std::filesystem::create_directory(lower);
        std::filesystem::create_directory(upper);
        WriteText(Users(), "[alice]\n");
        config::TAccountFile accounts(Users());
        ui::TfrmSetupUser dialog(*FLanguage, accounts);
        ShowActive(dialog);
        Ui::TfrmSetupUser& w = dialog.Widgets();
        ClickItem(*w.lstUsers, 0);

        TypeInto(*w.txtDir, QString::fromStdString(lower), false);
        Click(w.cmdAdd);
        QCOMPARE(w.lstDirs->count(), 1);
        QCOMPARE(w.lstDirs->item(0)->text(), QString::fromStdString(lower + "/"));
        auto duplicate = AnswerMessage();
        TypeInto(*w.txtDir, QString::fromStdString(upper + "/"), false);
        Click(w.cmdAdd);
        QCOMPARE(duplicate->Name, "msgsPathAlreadInc");
        QCOMPARE(w.lstDirs->count(), 1);

        ClickItem(*w.lstDirs, 0);
        ClickBox(w.chkDown);
        ClickBox(w.chkSubDir);
        QTest::mouseClick(w.lstUsers->viewport(), Qt::LeftButton, {},
                          w.lstUsers->visualItemRect(w.lstUsers->item(0)).center());
        QCOMPARE(dialog.Copy().ReadString("alice", "Dir0", ""), lower + "/|D_______S__|");

        ClickItem(*w.lstDirs, 0);
        ClickBox(w.chkLink);
        QVERIFY(w.txtLinkName->isVisible());
        QTest::keyClicks(w.txtLinkName, "pub/:<>?\\|lic");
        QCOMPARE(w.txtLinkName->text(), "public");
        Click(w.cmdSave);
        QCOMPARE(ReadDoc(Users()).ReadString("alice", "Dir0", ""), lower + "/|D_______SV_|public");

        ClickItem(*w.lstDirs, 0);
        ClickBox(w.chkDeny);
        QVERIFY(w.chkDeny->isChecked());
        QVERIFY(!w.chkDown->isChecked() && !w.chkLink->isChecked() && !w.txtLinkName->isVisible());
        ClickBox(w.chkDeny);
        QVERIFY(w.chkDeny->isChecked());
        ClickBox(w.chkUp);
        QVERIFY(!w.chkDeny->isChecked() && w.chkUp->isChecked());

        Click(w.cmdDelDir);
        QCOMPARE(w.lstDirs->count(), 0);
        auto noRow = AnswerMessage();
        ClickBox(w.chkDown);
        QCOMPARE(noRow->Name, "msgsNoRep");
        QVERIFY(!w.chkDown->isChecked());
        Click(w.cmdSave);
        QVERIFY(!ReadDoc(Users()).KeyExists("alice", "Dir0"));
    }

    // Rename keeps every key; refused names; New alone writes nothing; Close
    // without Save leaves the file as it was.
    void userAccountCommands() {
        const std::string original =
            "[alice]\nPassword=" + config::Md5Hex("x") +
            "\nHomePath=/srv/\nDir0=/srv/|D__________|\nTotalDownload=12\nTotalUpload=34\n";
        WriteText(Users(), original);
        config::TAccountFile accounts(Users());
        {
            ui::TfrmSetupUser dialog(*FLanguage, accounts);
            ShowActive(dialog);
            Ui::TfrmSetupUser& w = dialog.Widgets();
            ClickItem(*w.lstUsers, 0);
            for (const QString& bad : {QString("bo/b"), QString("[bob]"), QString("  ")}) {
                AnswerInput(bad);
                auto refused = AnswerMessage();
                Click(w.cmdRename);
                QCOMPARE(refused->Name, "msgsInvalidCarac");
            }
            AnswerInput("bob");
            Click(w.cmdRename);
            QCOMPARE(dialog.Account(), "bob");
            AnswerInput("carol");
            Click(w.cmdNew);
            QCOMPARE(dialog.Account(), "carol");
            QCOMPARE(w.lstUsers->count(), 2);
            Click(w.cmdSave);
        }
        const config::TIniDocument saved = ReadDoc(Users());
        QCOMPARE(saved.Sections(), std::vector<std::string>{"bob"});
        for (const char* key : {"Password", "HomePath", "Dir0", "TotalDownload", "TotalUpload"})
            QCOMPARE(saved.Find("bob", key), config::TIniDocument::Parse(original).Find("alice", key));

        const std::string before = ReadText(Users());
        {
            ui::TfrmSetupUser dialog(*FLanguage, accounts);
            ShowActive(dialog);
            Ui::TfrmSetupUser& w = dialog.Widgets();
            ClickItem(*w.lstUsers, 0);
            TypeInto(*w.txtMaxUser, "9");
            auto confirm = AnswerMessage(QMessageBox::Yes);
            Click(w.cmdDelete);
            QCOMPARE(confirm->Name, "msgDelUserConf");
            QCOMPARE(w.lstUsers->count(), 0);
            Click(w.cmdClose);
            QVERIFY(!dialog.isVisible());
        }
        QCOMPARE(ReadText(Users()), before);
    }

    // Totals a session wrote while the dialog was open survive its Save.
    void userSaveKeepsLiveTotals() {
        WriteText(Users(), "[alice]\nTotalDownload=10\nTotalUpload=20\n");
        config::TAccountFile accounts(Users());
        ui::TfrmSetupUser dialog(*FLanguage, accounts);
        ShowActive(dialog);
        Ui::TfrmSetupUser& w = dialog.Widgets();
        ClickItem(*w.lstUsers, 0);
        config::TAccountFile server(Users());
        server.WriteTotals("alice", 1500, 2500);
        TypeInto(*w.txtMaxUser, "3");
        Click(w.cmdSave);
        const config::TIniDocument saved = ReadDoc(Users());
        QCOMPARE(saved.ReadString("alice", "MaxUser", ""), "3");
        QCOMPARE(saved.ReadString("alice", "TotalDownload", ""), "1500");
        QCOMPARE(saved.ReadString("alice", "TotalUpload", ""), "2500");
    }

    // Enabled without a counting kind: TypeRatio -1; cleared: five keys go.
    void ratio() {
        config::TIniDocument copy = config::TIniDocument::Parse("[alice]\nHomePath=/srv/\n");
        {
            ui::TfrmRatio dialog(*FLanguage, copy, "alice");
            ShowActive(dialog);
            Ui::TfrmRatio& w = dialog.Widgets();
            QVERIFY(!w.SpinUP->isEnabled());
            QCOMPARE(w.cmbCount->count(), 4);
            QCOMPARE(w.cmbCount->itemText(0), LanguageText("sCount1"));
            ClickBox(w.chkRatio);
            QVERIFY(w.SpinUP->isEnabled());
            w.SpinUP->setValue(2);
            TypeInto(*w.txtCredit, "100");
            Click(w.cmdSave);
        }
        QCOMPARE(copy.ReadString("alice", "Ratio", ""), "1");
        QCOMPARE(copy.ReadString("alice", "UP", ""), "2");
        QCOMPARE(copy.ReadString("alice", "TypeRatio", ""), "-1");
        QCOMPARE(copy.ReadString("alice", "Credit", ""), "100");
        {
            ui::TfrmRatio dialog(*FLanguage, copy, "alice");
            ShowActive(dialog);
            Ui::TfrmRatio& w = dialog.Widgets();
            QVERIFY(w.chkRatio->isChecked());
            QCOMPARE(w.SpinUP->value(), 2);
            ClickBox(w.chkRatio);
            QCOMPARE(w.SpinUP->palette().color(QPalette::Base), QColor(192, 192, 192));
            Click(w.cmdSave);
        }
        for (const char* key : {"Ratio", "UP", "DOWN", "TypeRatio", "Credit"})
            QVERIFY(!copy.KeyExists("alice", key));
        QVERIFY(copy.KeyExists("alice", "HomePath"));
        ui::TfrmRatio reopened(*FLanguage, copy, "alice");
        QVERIFY(!reopened.Widgets().chkRatio->isChecked());
        QVERIFY(!reopened.Widgets().SpinDown->isEnabled());
    }

    void quotaAndMessages() {
        const std::string home = FTemp->File("home");
        std::filesystem::create_directories(home + "/sub");
        WriteText(home + "/sub/big", std::string(3 * 1024 * 1024 / 2, 'x'));
        const std::string goodbye = FTemp->File("bye.txt");
        WriteText(goodbye, "bye\n");
        config::TIniDocument copy =
            config::TIniDocument::Parse("[alice]\nQuota=2048\nEnterMessage=/nowhere.txt\n");
        {
            ui::TfrmQuota dialog(*FLanguage, copy, "alice", QString::fromStdString(home));
            ShowActive(dialog);
            Ui::TfrmQuota& w = dialog.Widgets();
            QCOMPARE(w.lblSize->text(), QLocale().toString(1.5, 'f', 2));
            QCOMPARE(w.lblUnit->text(), "KB");
            QCOMPARE(w.txtQuotaSize->text(), "2048");
            TypeInto(*w.txtQuotaSize, "5000");
            Click(w.cmdSave);
        }
        QCOMPARE(copy.ReadString("alice", "Quota", ""), "5000");
        {
            ui::TfrmMsgUser dialog(*FLanguage, copy, "alice");
            ShowActive(dialog);
            Ui::TfrmMsgUser& w = dialog.Widgets();
            QCOMPARE(w.txtEnterMessage->text(), QString());
            TypeInto(*w.txtExitMessage, "\"" + QString::fromStdString(goodbye) + "\"");
            Click(w.cmdSave);
        }
        QCOMPARE(copy.ReadString("alice", "ExitMessage", ""), goodbye);
        QCOMPARE(copy.Find("alice", "EnterMessage"), std::optional<std::string>(""));
    }

    void setupFtpRangeCheck_data() {
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::addColumn<bool>("refused");
        QTest::newRow("low above high") << "5000"
                                        << "4000" << true;
        QTest::newRow("equal") << "4000"
                               << "4000" << true;
        QTest::newRow("no low") << "0"
                                << "4000" << false;
        QTest::newRow("in order") << "4000"
                                  << "5000" << false;
    }
    void setupFtpRangeCheck() {
        QFETCH(QString, low);
        QFETCH(QString, high);
        QFETCH(bool, refused);
        config::TSettingsFile settings(Config());
        ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FTemp->Path());
        ShowActive(dialog);
        Ui::TfrmSetupFTP& w = dialog.Widgets();
        TypeInto(*w.txtLowPasv, low);
        auto seen = AnswerMessage();
        TypeInto(*w.txtHighPasv, high);
        QCOMPARE(seen->Name, refused ? QString("msgErrPASVLower") : QString());
        if (refused) QCOMPARE(seen->Text, LanguageText("sErrPASVLower"));
        WaitActive(dialog);
        if (refused) QTRY_COMPARE(QApplication::focusWidget(), w.txtHighPasv);
    }

    void setupFtpSave() {
        const std::string welcome = FTemp->File("hello.txt");
        WriteText(welcome, "hi\n");
        WriteText(Config(), "[Setup]\nLangFile=klingon\nPort=2121\n");
        TTempFolder config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
        const std::string entry = config.Path() + "/autostart/vendrix-ftp.desktop";
        config::TSettingsFile settings(Config());
        {
            ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FTemp->Path());
            ShowActive(dialog);
            Ui::TfrmSetupFTP& w = dialog.Widgets();
            QCOMPARE(w.cboLangue->currentText(), "english");
            QVERIFY(!w.cmdSave->isEnabled());
            QVERIFY(!w.chkRun->isChecked());
            Click(w.txtPort);
            QTest::keyClick(w.txtPort, Qt::Key_End);
            QTest::keyClicks(w.txtPort, "ab-");
            QCOMPARE(w.txtPort->text(), "2121-");
            TypeInto(*w.txtPort, "2100");
            QTest::keyClicks(w.txtMaxUser, "x");
            TypeInto(*w.txtEnterMessage, "\"" + QString::fromStdString(welcome) + "\"");
            ClickBox(w.chkRun);
            QVERIFY(w.cmdSave->isEnabled());
            Click(w.cmdSave);
            QVERIFY(!w.cmdSave->isEnabled());
        }
        config::TSettings saved = settings.Load();
        QCOMPARE(saved.ReadString(config::TSetting::Port), "2100");
        QCOMPARE(saved.ReadString(config::TSetting::LangFile), "english");
        QCOMPARE(saved.ReadString(config::TSetting::EnterMessage), welcome);
        QVERIFY(std::filesystem::exists(entry));
        QVERIFY(ReadText(entry).find(" --base " + FTemp->Path()) != std::string::npos);
        {
            ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FTemp->Path());
            ShowActive(dialog);
            Ui::TfrmSetupFTP& w = dialog.Widgets();
            QCOMPARE(w.txtEnterMessage->text(), QString::fromStdString(welcome));
            QVERIFY(w.chkRun->isChecked());
            ClickBox(w.chkRun);
            QVERIFY(w.cmdSave->isEnabled());
            Click(w.cmdSave);
        }
        QVERIFY(!std::filesystem::exists(entry));
        qunsetenv("XDG_CONFIG_HOME");
    }

    // The assistant refuses what the dialogs refuse, then writes one account
    // and the port; anonymous access is read-only.
    void firstRunAssistant() {
        std::filesystem::create_directory(FTemp->File("share"));
        const QString share = QString::fromStdString(FTemp->File("share"));
        QVERIFY(app::NeedsFirstRun(FTemp->Path()));
        {
            ui::TfrmFirstRun dialog(*FLanguage, FTemp->Path());
            ShowActive(dialog);
            auto* folder = dialog.findChild<QLineEdit*>("txtFolder");
            auto* name = dialog.findChild<QLineEdit*>("txtName");
            auto* password = dialog.findChild<QLineEdit*>("txtPassword");
            auto* port = dialog.findChild<QLineEdit*>("txtPort");
            auto* shareButton = dialog.findChild<QPushButton*>("btnShare");
            QVERIFY(!name->isEnabled());
            ClickBox(dialog.findChild<QAbstractButton*>("optAccount"));
            QVERIFY(name->isEnabled());
            const std::tuple<QString, QString, QString, QString, const char*> refused[] = {
                // folder, name, password, port, message
                {QString::fromStdString(FTemp->File("missing")), "ann", "pw", "2121", "sHomeDirInv"},
                {share, "a/b", "pw", "2121", "sInvalidCarac"},
                {share, "ann", "", "2121", "sFirstNoPass"},
                {share, "ann", "pw", "99999", "sFirstBadPort"},
            };
            for (const auto& [f, n, p, t, key] : refused) {
                TypeInto(*folder, f);
                TypeInto(*name, n);
                TypeInto(*password, p);
                TypeInto(*port, t);
                auto seen = AnswerMessage();
                Click(shareButton);
                QCOMPARE(seen->Text, LanguageText(key));
                QVERIFY(dialog.isVisible());
            }
            TypeInto(*port, "2121");
            Click(shareButton);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QVERIFY(!app::NeedsFirstRun(FTemp->Path()));
        config::TIniDocument users = ReadDoc(Users());
        const std::string home = FTemp->File("share") + "/";
        QCOMPARE(users.ReadString("ann", "Password", ""), config::Md5Hex("pw"));
        QCOMPARE(users.ReadString("ann", "HomePath", ""), home);
        QCOMPARE(users.ReadString("ann", "VirtualDir", ""), "1");
        QCOMPARE(users.ReadString("ann", "Dir0", ""), home + "|DU_EMRY_S__|");
        QCOMPARE(ReadDoc(Config()).ReadString("Setup", "Port", ""), "2121");

        // Anonymous access, on a fresh folder; "Later" writes nothing.
        std::filesystem::remove(Users());
        {
            ui::TfrmFirstRun later(*FLanguage, FTemp->Path());
            ShowActive(later);
            Click(later.findChild<QPushButton*>("btnLater"));
            QCOMPARE(later.result(), int(QDialog::Rejected));
        }
        QVERIFY(!std::filesystem::exists(Users()));
        ui::TfrmFirstRun dialog(*FLanguage, FTemp->Path());
        ShowActive(dialog);
        TypeInto(*dialog.findChild<QLineEdit*>("txtFolder"), share);
        Click(dialog.findChild<QPushButton*>("btnShare"));
        users = ReadDoc(Users());
        QCOMPARE(users.Sections(), std::vector<std::string>{"anonymous"});
        QVERIFY(!users.KeyExists("anonymous", "Password"));
        QCOMPARE(users.ReadString("anonymous", "Dir0", ""), home + "|D_______S__|");
    }

    void autostartEntryQuotes() {
        const std::string text = ui::AutostartEntryText("/opt/vendrix/vendrix-ftp", "/home/me/my ftp \"x\"");
        QVERIFY(text.find("Exec=/opt/vendrix/vendrix-ftp --base \"/home/me/my ftp \\\\\"x\\\\\"\"\n") !=
                std::string::npos);
    }

    // Close saves both lists renumbered from IP0, leaving out a pattern
    // emptied by Modify; "?" and letters cannot be typed.
    void ipAccessSave() {
        WriteText(Config(),
                  "[IP Deny]\nIP0=10.0.0.*\nIP1=192.168.?.1\nIP2=172.16.*\n[IP Allow]\nIP0=127.0.0.1\n");
        config::TSettingsFile settings(Config());
        ui::TfrmIPAccess dialog(*FLanguage, settings);
        ShowActive(dialog);
        Ui::TfrmIPAccess& w = dialog.Widgets();
        QVERIFY(w.optDeny->isChecked());
        QCOMPARE(w.lstIP->count(), 3);
        ClickItem(*w.lstIP, 0);
        QCOMPARE(w.txtIP->text(), "10.0.0.*");
        w.txtIP->clear();
        Click(w.cmdModify);
        ClickBox(w.optAllow);
        QCOMPARE(w.lstIP->count(), 1);
        QTest::keyClicks(w.txtIP, "1a.?2.*");
        QCOMPARE(w.txtIP->text(), "1.2.*");
        Click(w.cmdAdd);
        Click(w.cmdClose);
        QVERIFY(!dialog.isVisible());
        const config::TIniDocument saved = ReadDoc(Config());
        QCOMPARE(saved.ReadList("IP Deny", "IP"), (std::vector<std::string>{"192.168.?.1", "172.16.*"}));
        QVERIFY(!saved.KeyExists("IP Deny", "IP2"));
        QCOMPARE(saved.ReadList("IP Allow", "IP"), (std::vector<std::string>{"127.0.0.1", "1.2.*"}));
    }

    void ipAccessCloseKinds() {
        const std::string original = "[IP Deny]\nIP0=1.1.1.1\n";
        for (bool escape : {false, true}) {
            WriteText(Config(), original);
            config::TSettingsFile settings(Config());
            ui::TfrmIPAccess dialog(*FLanguage, settings);
            ShowActive(dialog);
            Ui::TfrmIPAccess& w = dialog.Widgets();
            QTest::keyClicks(w.txtIP, "2.2.2.2");
            Click(w.cmdAdd);
            if (escape)
                QTest::keyClick(w.lstIP, Qt::Key_Escape);
            else
                dialog.close();
            QVERIFY(!dialog.isVisible());
            QCOMPARE(ReadDoc(Config()).ReadList("IP Deny", "IP").size(), escape ? 2u : 1u);
        }
    }

    // Swatch colours are stored as upper-case "#RRGGBB" of their actual
    // values, the font with its style bits; Cancel writes nothing.
    void colors() {
        WriteText(Config(), "[Color]\nTextTag=#a0b1c2\n");
        config::TSettingsFile settings(Config());
        {
            ui::TfrmColor dialog(*FLanguage, settings);
            ShowActive(dialog);
            QCOMPARE(dialog.Swatches()[1]->palette().color(QPalette::Window), QColor(0xa0, 0xb1, 0xc2));
            WhenModal([](QWidget* modal) {
                if (auto* chooser = qobject_cast<QColorDialog*>(modal)) {
                    chooser->setCurrentColor(QColor(0x12, 0xab, 0xef));
                    chooser->accept();
                }
            });
            QTest::mouseClick(dialog.Swatches()[0], Qt::LeftButton);
            Click(dialog.Widgets().cmdCancel);
        }
        QCOMPARE(ReadText(Config()), std::string("[Color]\nTextTag=#a0b1c2\n"));
        {
            ui::TfrmColor dialog(*FLanguage, settings);
            ShowActive(dialog);
            const QColor system = QApplication::palette().color(QPalette::Highlight);
            WhenModal([system](QWidget* modal) {
                if (auto* chooser = qobject_cast<QColorDialog*>(modal)) {
                    chooser->setCurrentColor(system);
                    chooser->accept();
                }
            });
            QTest::mouseClick(dialog.Swatches()[9], Qt::LeftButton);
            QFont font(QApplication::font().family(), 13);
            font.setStrikeOut(true);
            font.setUnderline(true);
            WhenModal([font](QWidget* modal) {
                if (auto* chooser = qobject_cast<QFontDialog*>(modal)) {
                    chooser->setCurrentFont(font);
                    chooser->accept();
                }
            });
            Click(dialog.Widgets().cmdFont);
            QCOMPARE(dialog.Widgets().lblFontSizeValue->text(), "13");
            Click(dialog.Widgets().cmdOK);
            QVERIFY(!dialog.isVisible());
            const config::TIniDocument saved = ReadDoc(Config());
            QCOMPARE(saved.ReadString("Color", "TextTag", ""), "#A0B1C2");
            QCOMPARE(QString::fromStdString(saved.ReadString("Color", "BackTag", "")),
                     system.name(QColor::HexRgb).toUpper());
            QCOMPARE(saved.ReadString("Font", "Size", ""), "13");
            QCOMPARE(saved.ReadInteger("Font", "Style", -1), 12);
            QCOMPARE(QString::fromStdString(saved.ReadString("Font", "Name", "")),
                     QApplication::font().family());
        }
    }

    void sounds() {
        const std::string wave = FTemp->File("ding.wav");
        WriteText(wave, "RIFF");
        WriteText(Config(), "[Sound]\nSndConnect=" + wave + "\nSndDisconnect=/nowhere/gone.wav\n");
        config::TSettingsFile settings(Config());
        ui::TfrmSound dialog(*FLanguage, settings);
        ShowActive(dialog);
        Ui::TfrmSound& w = dialog.Widgets();
        QCOMPARE(ui::TfrmSound::Indicator(*w.imgSndConnect), "found");
        QCOMPARE(ui::TfrmSound::Indicator(*w.imgSndDisconnect), "missing");
        QCOMPARE(ui::TfrmSound::Indicator(*w.imgSndDownEnd), QString());
        QVERIFY(!w.cmdSave->isEnabled());
        TypeInto(*w.txtSndDisconnect, QString::fromStdString(wave));
        QCOMPARE(ui::TfrmSound::Indicator(*w.imgSndDisconnect), "found");
        TypeInto(*w.txtSndConnect, "");
        QVERIFY(w.cmdSave->isEnabled());
        Click(w.cmdSave);
        QVERIFY(!dialog.isVisible());
        const config::TIniDocument saved = ReadDoc(Config());
        QCOMPARE(saved.Find("Sound", "SndConnect"), std::optional<std::string>(""));
        QCOMPARE(saved.ReadString("Sound", "SndDisconnect", ""), wave);
    }

    // "Log" in the file switches the running log's file option on at once;
    // unticking and saving leaves it on until the next start.
    void logOptions() {
        WriteText(Config(), "[Setup]\nLog=1\nShowCommand=1\n");
        config::TSettingsFile settings(Config());
        log::TSessionLog log(FTemp->Path());
        ui::TfrmLog dialog(*FLanguage, settings, &log);
        ShowActive(dialog);
        Ui::TfrmLog& w = dialog.Widgets();
        QVERIFY(log.Options().ToFile);
        QVERIFY(!log.Options().AddDate);
        QVERIFY(w.chkLog->isChecked() && w.chkShowCommand->isChecked() && !w.chkDate->isChecked());
        QVERIFY(!w.cmdSave->isEnabled());
        ClickBox(w.chkLog);
        ClickBox(w.chkDate);
        Click(w.cmdSave);
        QVERIFY(dialog.isVisible());
        QVERIFY(!w.cmdSave->isEnabled());
        const config::TIniDocument saved = ReadDoc(Config());
        QCOMPARE(saved.ReadString("Setup", "Log", ""), "0");
        QCOMPARE(saved.ReadString("Setup", "AddDate", ""), "1");
        QCOMPARE(saved.ReadString("Setup", "ShowCommand", ""), "1");
        QVERIFY(log.Options().ToFile);
    }

    // The Setup menu opens the colour dialog; after OK the main window's log
    // view shows the new background and font.
    void mainWindowReloadsColors() {
        for (const char* folder : {"log", "lng"})
            std::filesystem::create_directory(FTemp->File(folder));
        std::filesystem::copy_file(std::string(VENDRIX_LANGUAGE_FOLDER) + "/english.lng",
                                   FTemp->File("lng/english.lng"));
        WriteText(Config(), "[Setup]\nPort=21\n");
        ui::TDesktopOptions options;
        options.Base = FTemp->Path();
        options.ListenAddr = "127.0.0.1";
        options.Port = "0";
        ui::TDesktopApp app(options, nullptr);
        const QColor chosen(0x20, 0x40, 0x60);
        QFont font(QApplication::font().family(), 15);
        WhenModal([chosen, font](QWidget* modal) {
            auto* dialog = qobject_cast<ui::TfrmColor*>(modal);
            if (!dialog) return;
            WhenModal([chosen](QWidget* inner) {
                if (auto* chooser = qobject_cast<QColorDialog*>(inner)) {
                    chooser->setCurrentColor(chosen);
                    chooser->accept();
                }
            });
            QTest::mouseClick(dialog->Swatches()[9], Qt::LeftButton);
            WhenModal([font](QWidget* inner) {
                if (auto* chooser = qobject_cast<QFontDialog*>(inner)) {
                    chooser->setCurrentFont(font);
                    chooser->accept();
                }
            });
            dialog->Widgets().cmdFont->click();
            dialog->Widgets().cmdOK->click();
        });
        app.Window().Widgets().mnuColor->trigger();
        QCOMPARE(app.Window().Widgets().Info->palette().color(QPalette::Base), chosen);
        QCOMPARE(app.Window().Widgets().Info->font().pointSize(), 15);
        QCOMPARE(app.Controller().SessionLog().Colors().Back, std::string("#204060"));
    }

    // With VENDRIX_DIALOG_SHOTS=DIR a picture of each dialog, filled with a
    // small example, is saved there (scripts/screenshot); otherwise skipped.
    void screenshots() {
        const QString folder = qEnvironmentVariable("VENDRIX_DIALOG_SHOTS");
        if (folder.isEmpty()) QSKIP("VENDRIX_DIALOG_SHOTS is not set");
        const std::string home = FTemp->File("home");
        std::filesystem::create_directories(home + "/pub");
        const std::string wave = FTemp->File("ding.wav");
        WriteText(wave, "RIFF");
        WriteText(Users(), "[anna]\nPassword=" + config::Md5Hex("x") + "\nHomePath=" + home +
                               "/\nMaxUser=2\nDir0=" + home + "/|D_______S__|\nDir1=" + home +
                               "/pub/|DU_EM_Y_SV_|pub\nRatio=1\nUP=1\nDOWN=3\nTypeRatio=1\n[bob]\n");
        WriteText(Config(), "[Setup]\nPort=2121\nLowPASV=50000\nHighPASV=50100\n[IP Deny]\nIP0=10.0.0.*\n"
                            "[IP Allow]\nIP0=127.0.0.1\n[Color]\nDateTag=#0000C0\nBackTag=#FFFFF0\n"
                            "[Sound]\nSndConnect=" +
                                wave + "\nSndDisconnect=/nowhere/bye.wav\n");
        config::TAccountFile accounts(Users());
        config::TSettingsFile settings(Config());
        config::TIniDocument copy = accounts.LoadCopy();
        auto save = [&](QWidget& dialog, const char* name) {
            ShowActive(dialog);
            dialog.adjustSize();
            QVERIFY(dialog.grab().save(folder + "/" + name + ".png"));
        };
        {
            ui::TfrmSetupUser dialog(*FLanguage, accounts);
            ShowActive(dialog);
            ClickItem(*dialog.Widgets().lstUsers, 0);
            ClickItem(*dialog.Widgets().lstDirs, 1);
            save(dialog, "dialog-setup-user");
        }
        ui::TfrmSetupFTP ftp(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FTemp->Path());
        save(ftp, "dialog-setup-ftp");
        ui::TfrmRatio ratio(*FLanguage, copy, "anna");
        save(ratio, "dialog-ratio");
        ui::TfrmQuota quota(*FLanguage, copy, "anna", QString::fromStdString(home));
        save(quota, "dialog-quota");
        ui::TfrmMsgUser messages(*FLanguage, copy, "anna");
        save(messages, "dialog-messages");
        ui::TfrmIPAccess ip(*FLanguage, settings);
        save(ip, "dialog-ip-access");
        ui::TfrmColor color(*FLanguage, settings);
        save(color, "dialog-color");
        ui::TfrmSound sound(*FLanguage, settings);
        save(sound, "dialog-sound");
        log::TSessionLog log(FTemp->Path());
        ui::TfrmLog options(*FLanguage, settings, &log);
        save(options, "dialog-log");
    }

private:
    QString LanguageText(std::string_view key) const {
        return QString::fromStdString(FLanguage->Translate(key));
    }
};

int main(int argc, char** argv) {
    TTempFolder runtime;
    std::filesystem::permissions(runtime.Path(), std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.Path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    DialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogTest.moc"
