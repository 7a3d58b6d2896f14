// The server settings dialog: range checks, saving, and the autostart entry.
// Driven through the widgets as an administrator would, with the files checked
// on disk; message boxes, input boxes and pickers are answered by a script.
#include "SetupFTP.h"
#include "DialogKit.h"
#include "ModalScript.h"
#include "SettingsFile.h"
#include "ui_SetupFTP.h"

#include <filesystem>

using namespace vendrix;
using vendrix::testing::AnswerMessage;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ReadText;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TTempFolder;
using vendrix::testing::TypeInto;
using vendrix::testing::WaitActive;
using vendrix::testing::WriteText;

class SetupFtpTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

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
        ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
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
        const std::string welcome = FBase->File("hello.txt");
        WriteText(welcome, "hi\n");
        WriteText(Config(), "[Setup]\nLangFile=klingon\nPort=2121\n");
        TTempFolder config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
        const std::string entry = config.Path() + "/autostart/vendrix-ftp.desktop";
        config::TSettingsFile settings(Config());
        {
            ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
            ShowActive(dialog);
            Ui::TfrmSetupFTP& w = dialog.Widgets();
            QCOMPARE(w.cboLangue->currentText(), "english");
            QVERIFY(!w.cmdSave->isEnabled());
            QVERIFY(!w.chkRun->isChecked());
            // The limits before login show their defaults and take digits only.
            QCOMPARE(w.txtLoginTimeOut->text(), "60");
            QCOMPARE(w.txtMaxWaitPerIP->text(), "32");
            QCOMPARE(w.txtMaxWait->text(), "256");
            QCOMPARE(w.txtMaxLoginFail->text(), "10");
            QCOMPARE(w.txtBanMinutes->text(), "15");
            QCOMPARE(w.lblLoginTimeOut->text(), LanguageText("sLoginTime"));
            TypeInto(*w.txtMaxWaitPerIP, "4x8");
            QCOMPARE(w.txtMaxWaitPerIP->text(), "48");
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
        QCOMPARE(saved.ReadInteger(config::TSetting::MaxWaitPerIP), 48);
        QCOMPARE(saved.ReadInteger(config::TSetting::LoginTimeOut), 60);
        QVERIFY(std::filesystem::exists(entry));
        QVERIFY(ReadText(entry).find(" --base " + FBase->Path()) != std::string::npos);
        {
            ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
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

    void autostartEntryQuotes() {
        const std::string text = ui::AutostartEntryText("/opt/vendrix/vendrix-ftp", "/home/me/my ftp \"x\"");
        QVERIFY(text.find("Exec=/opt/vendrix/vendrix-ftp --base \"/home/me/my ftp \\\\\"x\\\\\"\"\n") !=
                std::string::npos);
    }
};

static vendrix::testing::TRegisterDialogTest<SetupFtpTest> registered;

#include "SetupFtpTest.moc"
