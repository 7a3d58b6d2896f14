// The first-run assistant: refused choices, an account, anonymous access and
// "Later". Driven through the widgets as an administrator would, with the
// files checked on disk; message boxes are answered by a script.
#include "FirstRun.h"
#include "DialogKit.h"
#include "FirstRunSetup.h"
#include "Md5.h"
#include "ModalScript.h"

#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <tuple>

using namespace vendrix;
using vendrix::testing::AnswerMessage;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ReadDoc;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TypeInto;

class FirstRunTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    void firstRunAssistant() {
        std::filesystem::create_directory(FBase->File("share"));
        const QString share = QString::fromStdString(FBase->File("share"));
        QVERIFY(app::NeedsFirstRun(FBase->Path()));
        {
            ui::TfrmFirstRun dialog(*FLanguage, FBase->Path());
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
                {QString::fromStdString(FBase->File("missing")), "ann", "pw", "2121", "sHomeDirInv"},
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
        QVERIFY(!app::NeedsFirstRun(FBase->Path()));
        config::TIniDocument users = ReadDoc(Users());
        const std::string home = FBase->File("share") + "/";
        QCOMPARE(users.ReadString("ann", "Password", ""), config::Md5Hex("pw"));
        QCOMPARE(users.ReadString("ann", "HomePath", ""), home);
        QCOMPARE(users.ReadString("ann", "VirtualDir", ""), "1");
        QCOMPARE(users.ReadString("ann", "Dir0", ""), home + "|DU_EMRY_S__|");
        QCOMPARE(ReadDoc(Config()).ReadString("Setup", "Port", ""), "2121");

        // Anonymous access, on a fresh folder; "Later" writes nothing.
        std::filesystem::remove(Users());
        {
            ui::TfrmFirstRun later(*FLanguage, FBase->Path());
            ShowActive(later);
            Click(later.findChild<QPushButton*>("btnLater"));
            QCOMPARE(later.result(), int(QDialog::Rejected));
        }
        QVERIFY(!std::filesystem::exists(Users()));
        ui::TfrmFirstRun dialog(*FLanguage, FBase->Path());
        ShowActive(dialog);
        TypeInto(*dialog.findChild<QLineEdit*>("txtFolder"), share);
        Click(dialog.findChild<QPushButton*>("btnShare"));
        users = ReadDoc(Users());
        QCOMPARE(users.Sections(), std::vector<std::string>{"anonymous"});
        QVERIFY(!users.KeyExists("anonymous", "Password"));
        QCOMPARE(users.ReadString("anonymous", "Dir0", ""), home + "|D_______S__|");
    }
};

static vendrix::testing::TRegisterDialogTest<FirstRunTest> registered;

#include "FirstRunTest.moc"
