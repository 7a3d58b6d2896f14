// The quota and messages dialogs of an account. Driven through the widgets as
// an administrator would, with the files checked on disk; message boxes, input
// boxes and pickers are answered by a script.
#include "DialogKit.h"
#include "MsgUser.h"
#include "Quota.h"
#include "ui_MsgUser.h"
#include "ui_Quota.h"

#include <filesystem>

using namespace vendrix;
using vendrix::testing::Click;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TypeInto;
using vendrix::testing::WriteText;

class QuotaMsgUserTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    void quotaAndMessages() {
        const std::string home = FBase->File("home");
        std::filesystem::create_directories(home + "/sub");
        WriteText(home + "/sub/big", std::string(3 * 1024 * 1024 / 2, 'x'));
        const std::string goodbye = FBase->File("bye.txt");
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
};

static vendrix::testing::TRegisterDialogTest<QuotaMsgUserTest> registered;

#include "QuotaMsgUserTest.moc"
