// The server settings dialog: range checks, saving, and the autostart entry.
// Driven through the widgets as an administrator would, with the files checked
// on disk; message boxes, input boxes and pickers are answered by a script.
#include "SetupFTP.h"
#include "DialogKit.h"
#include "ModalScript.h"
#include "SettingsFile.h"
#include "TlsCertificate.h"
#include "ui_SetupFTP.h"

#include <QMessageBox>
#include <filesystem>
#include <sys/stat.h>

using namespace vendrix;
using vendrix::testing::AnswerFile;
using vendrix::testing::AnswerMessage;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ReadDoc;
using vendrix::testing::ReadText;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TTempFolder;
using vendrix::testing::TypeInto;
using vendrix::testing::WaitActive;
using vendrix::testing::WriteText;

class SetupFtpTest : public QObject, public TDialogFixture {
    Q_OBJECT

    // A certificate and its key as an administrator's own pair; returns the
    // certificate's fingerprint.
    static std::string WriteOwnPair(const std::string& cert, const std::string& key) {
        std::string certPem, keyPem, error;
        if (!net::MakeSelfSignedCertificate("own.example.test", 1, certPem, keyPem, error)) return error;
        WriteText(cert, certPem);
        WriteText(key, keyPem);
        return net::CertificateFingerprint(certPem);
    }

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

    // The "TLS" section: each field shows its key, and Save writes them all
    // back; the mode is written as its word, whatever case it was read in.
    void setupFtpTlsFields() {
        const std::string cert = FBase->File("own-cert.pem");
        const std::string key = FBase->File("own-key.pem");
        const std::string fingerprint = WriteOwnPair(cert, key);
        WriteText(Config(), "[TLS]\nMode=Required\nCertificate=" + cert + "\nKey=" + key +
                                "\nImplicitPort=990\nRequireReuse=0\n");
        config::TSettingsFile settings(Config());
        {
            ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
            ShowActive(dialog);
            Ui::TfrmSetupFTP& w = dialog.Widgets();
            QCOMPARE(w.grpTls->title(), LanguageText("sTLS"));
            QCOMPARE(w.cboTlsMode->currentText(), LanguageText("sTlsRequired"));
            QCOMPARE(w.cboTlsMode->count(), 3);
            QCOMPARE(w.txtTlsCertificate->text(), QString::fromStdString(cert));
            QCOMPARE(w.txtTlsKey->text(), QString::fromStdString(key));
            QCOMPARE(w.txtTlsImplicitPort->text(), "990");
            QVERIFY(!w.chkTlsRequireReuse->isChecked());
            QCOMPARE(w.lblTlsFingerprint->text().remove('\n'),
                     LanguageText("sTlsFingerprint") + QString::fromStdString(fingerprint));
            QVERIFY(!w.cmdSave->isEnabled());

            w.cboTlsMode->setFocus(Qt::TabFocusReason);
            QTest::keyClick(w.cboTlsMode, Qt::Key_Home);
            QCOMPARE(w.cboTlsMode->currentText(), LanguageText("sTlsOff"));
            TypeInto(*w.txtTlsImplicitPort, "2x990");
            ClickBox(w.chkTlsRequireReuse);
            TypeInto(*w.txtTlsCertificate, "\"" + QString::fromStdString(cert) + "\"");
            WriteText(FBase->File("other-key.pem"), "");
            AnswerFile(QString::fromStdString(FBase->File("other-key.pem")));
            Click(w.cmdTlsKey);
            QCOMPARE(w.txtTlsKey->text(), QString::fromStdString(FBase->File("other-key.pem")));
            Click(w.cmdSave);
        }
        const config::TIniDocument saved = ReadDoc(Config());
        QCOMPARE(saved.ReadString("TLS", "Mode", ""), "off");
        QCOMPARE(saved.ReadString("TLS", "Certificate", ""), cert);
        QCOMPARE(saved.ReadString("TLS", "Key", ""), FBase->File("other-key.pem"));
        QCOMPARE(saved.ReadString("TLS", "ImplicitPort", ""), "2990");
        QCOMPARE(saved.ReadString("TLS", "RequireReuse", ""), "1");
    }

    // A mode the server does not know is shown as such and kept on Save, so
    // the server's start error still names it; the three modes stay offered.
    void setupFtpTlsUnknownMode() {
        WriteText(Config(), "[TLS]\nMode=sometimes\n");
        config::TSettingsFile settings(Config());
        {
            ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
            ShowActive(dialog);
            Ui::TfrmSetupFTP& w = dialog.Widgets();
            QCOMPARE(w.cboTlsMode->currentText(), LanguageText("sTlsUnknown").replace("%s", "sometimes"));
            QCOMPARE(w.cboTlsMode->count(), 4);
            TypeInto(*w.txtTlsImplicitPort, "990");
            Click(w.cmdSave);
        }
        QCOMPARE(ReadDoc(Config()).ReadString("TLS", "Mode", ""), "sometimes");
        QCOMPARE(ReadDoc(Config()).ReadString("TLS", "ImplicitPort", ""), "990");
    }

    // The line under the fields names the certificate's fingerprint or why
    // there is none.
    void setupFtpTlsNote_data() {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("noteKey");
        QTest::addColumn<QString>("file");
        QTest::newRow("no self-signed pair yet") << ""
                                                 << ""
                                                 << "sTlsNoCertYet"
                                                 << "";
        QTest::newRow("only the certificate") << "own-cert.pem"
                                              << ""
                                              << "sTlsHalfPair"
                                              << "";
        QTest::newRow("missing file") << "none.pem"
                                      << "own-key.pem"
                                      << "sTlsCertUnreadable"
                                      << "none.pem";
        QTest::newRow("no certificate in it") << "junk.pem"
                                              << "own-key.pem"
                                              << "sTlsCertBad"
                                              << "junk.pem";
    }

    void setupFtpTlsNote() {
        QFETCH(QString, certificate);
        QFETCH(QString, key);
        QFETCH(QString, noteKey);
        QFETCH(QString, file);
        WriteOwnPair(FBase->File("own-cert.pem"), FBase->File("own-key.pem"));
        WriteText(FBase->File("junk.pem"), "not a certificate\n");
        auto path = [&](const QString& name) {
            return name.isEmpty() ? std::string() : FBase->File(name.toStdString());
        };
        WriteText(Config(), "[TLS]\nCertificate=" + path(certificate) + "\nKey=" + path(key) + "\n");
        config::TSettingsFile settings(Config());
        ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
        ShowActive(dialog);
        QCOMPARE(dialog.Widgets().lblTlsFingerprint->text(),
                 LanguageText(noteKey.toStdString()).replace("%s", QString::fromStdString(path(file))));
    }

    // A new self-signed pair only after a yes: its fingerprint shows, the key
    // is owner-only, and the fields that named another pair are emptied so the
    // server takes the new one.
    void setupFtpTlsNewCertificate() {
        const std::string cert = FBase->File("conf/ftps-cert.pem");
        const std::string key = FBase->File("conf/ftps-key.pem");
        WriteOwnPair(FBase->File("own-cert.pem"), FBase->File("own-key.pem"));
        WriteText(Config(), "[TLS]\nCertificate=" + FBase->File("own-cert.pem") +
                                "\nKey=" + FBase->File("own-key.pem") + "\n");
        config::TSettingsFile settings(Config());
        ui::TfrmSetupFTP dialog(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
        ShowActive(dialog);
        Ui::TfrmSetupFTP& w = dialog.Widgets();
        const QString before = w.lblTlsFingerprint->text();

        auto no = AnswerMessage(QMessageBox::No);
        Click(w.cmdTlsNewCertificate);
        QCOMPARE(no->Name, "msgTlsNewCertConf");
        QCOMPARE(no->Text, LanguageText("sTlsNewCertConf"));
        QVERIFY(!std::filesystem::exists(cert));
        QCOMPARE(w.lblTlsFingerprint->text(), before);
        QVERIFY(!w.cmdSave->isEnabled());

        std::string fingerprints[2];
        for (std::string& fingerprint : fingerprints) {
            auto yes = AnswerMessage(QMessageBox::Yes);
            Click(w.cmdTlsNewCertificate);
            QCOMPARE(yes->Name, "msgTlsNewCertConf");
            fingerprint = net::CertificateFingerprint(ReadText(cert));
            QCOMPARE(fingerprint.size(), 95u);
            QCOMPARE(w.lblTlsFingerprint->text().remove('\n'),
                     LanguageText("sTlsFingerprint") + QString::fromStdString(fingerprint));
            struct stat st {};
            QCOMPARE(stat(key.c_str(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0600u);
        }
        QVERIFY(fingerprints[0] != fingerprints[1]);
        QCOMPARE(w.txtTlsCertificate->text(), QString());
        QCOMPARE(w.txtTlsKey->text(), QString());
        Click(w.cmdSave);
        QCOMPARE(ReadDoc(Config()).ReadString("TLS", "Certificate", "-"), "");

        auto again = AnswerMessage(QMessageBox::No);
        Click(w.cmdTlsNewCertificate);
        QCOMPARE(again->Name, "msgTlsNewCertConf");
        QCOMPARE(net::CertificateFingerprint(ReadText(cert)), fingerprints[1]);
    }

    void autostartEntryQuotes() {
        const std::string text = ui::AutostartEntryText("/opt/vendrix/vendrix-ftp", "/home/me/my ftp \"x\"");
        QVERIFY(text.find("Exec=/opt/vendrix/vendrix-ftp --base \"/home/me/my ftp \\\\\"x\\\\\"\"\n") !=
                std::string::npos);
    }
};

static vendrix::testing::TRegisterDialogTest<SetupFtpTest> registered;

#include "SetupFtpTest.moc"
