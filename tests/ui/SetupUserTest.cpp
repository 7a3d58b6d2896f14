// The user accounts dialog: account names, password, limits and home folder,
// access entries, the account commands, and totals written meanwhile. Driven
// through the widgets as an administrator would, with the files checked on
// disk; message boxes, input boxes and pickers are answered by a script.
#include "SetupUser.h"
#include "AccountFile.h"
#include "DialogKit.h"
#include "Md5.h"
#include "ModalScript.h"
#include "ui_SetupUser.h"

#include <QMessageBox>
#include <filesystem>

using namespace vendrix;
using vendrix::testing::AnswerFolder;
using vendrix::testing::AnswerInput;
using vendrix::testing::AnswerMessage;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ClickItem;
using vendrix::testing::ReadDoc;
using vendrix::testing::ReadText;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TypeInto;
using vendrix::testing::WaitActive;
using vendrix::testing::WriteText;

class SetupUserTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    void accountNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "alice" << true;
        QTest::newRow("inner blank") << "alice smith" << true;
        for (const char* bad : {"a\\b", "a/b", "a:b", "a|b", "a*b", "a?b", "a\"b", "a<b", "a>b", "[x", "x]"})
            QTest::newRow(bad) << QString(bad) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        // Blanks around a name would name a section the file never finds.
        QTest::newRow("leading blank") << " alice" << false;
        QTest::newRow("trailing blank") << "alice " << false;
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
        TypeInto(*w.txtHome, QString::fromStdString(FBase->File("missing")));
        QCOMPARE(home->Text, LanguageText("sHomeDirInv"));
        WaitActive(dialog);
        QTRY_COMPARE(QApplication::focusWidget(), w.txtHome);
        TypeInto(*w.txtHome, QString::fromStdString(FBase->Path()));
        ClickBox(w.chkVirtual);
        Click(w.cmdSave);
        const config::TIniDocument saved = ReadDoc(Users());
        QCOMPARE(saved.ReadString("alice", "MaxSpeed", ""), "42");
        QCOMPARE(saved.ReadString("alice", "HomePath", ""), FBase->Path());
        QCOMPARE(saved.ReadString("alice", "VirtualDir", ""), "1");
        QVERIFY(!saved.KeyExists("alice", "Time-Out"));
    }

    // The box shows each account's own switch and writes it as "1" or "0".
    void userRequireTls() {
        WriteText(Users(), "[alice]\nRequireTLS=1\n[bob]\n");
        config::TAccountFile accounts(Users());
        ui::TfrmSetupUser dialog(*FLanguage, accounts);
        ShowActive(dialog);
        Ui::TfrmSetupUser& w = dialog.Widgets();
        QCOMPARE(w.chkRequireTLS->text(), LanguageText("sRequireTLS"));
        QVERIFY(!w.chkRequireTLS->isEnabled());
        ClickItem(*w.lstUsers, 0);
        QVERIFY(w.chkRequireTLS->isChecked());
        ClickBox(w.chkRequireTLS);
        ClickItem(*w.lstUsers, 1);
        QVERIFY(!w.chkRequireTLS->isChecked());
        ClickBox(w.chkRequireTLS);
        Click(w.cmdSave);
        const config::TIniDocument saved = ReadDoc(Users());
        QCOMPARE(saved.ReadString("alice", "RequireTLS", ""), "0");
        QCOMPARE(saved.ReadString("bob", "RequireTLS", ""), "1");
        ClickItem(*w.lstUsers, 0);
        QVERIFY(!w.chkRequireTLS->isChecked());
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
        const QString folder = QString::fromStdString(FBase->Path());
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
        const std::string lower = FBase->File("ftp");
        const std::string upper = FBase->File("FTP");
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
            for (const QString& bad :
                 {QString("bo/b"), QString("[bob]"), QString("  "), QString(" bob"), QString("bob\t")}) {
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

    // An account made by New and not written yet can be copied and renamed:
    // both names stay in the list and are saved.
    void userCopyAndRenameANewAccount() {
        WriteText(Users(), "");
        config::TAccountFile accounts(Users());
        {
            ui::TfrmSetupUser dialog(*FLanguage, accounts);
            ShowActive(dialog);
            Ui::TfrmSetupUser& w = dialog.Widgets();
            AnswerInput("dave");
            Click(w.cmdNew);
            AnswerInput("erin");
            Click(w.cmdCopy);
            QCOMPARE(w.lstUsers->count(), 2);
            QCOMPARE(dialog.Account(), "erin");
            AnswerInput("frank");
            Click(w.cmdNew);
            AnswerInput("gina");
            Click(w.cmdRename);
            QCOMPARE(dialog.Account(), "gina");
            QStringList names;
            for (int i = 0; i < w.lstUsers->count(); ++i)
                names << w.lstUsers->item(i)->text();
            QCOMPARE(names, QStringList({"dave", "erin", "gina"}));
            Click(w.cmdSave);
        }
        QCOMPARE(ReadDoc(Users()).Sections(), (std::vector<std::string>{"dave", "erin", "gina"}));
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
};

static vendrix::testing::TRegisterDialogTest<SetupUserTest> registered;

#include "SetupUserTest.moc"
