// The IP access dialog: the deny and allow lists. Driven through the widgets
// as an administrator would, with the files checked on disk; message boxes,
// input boxes and pickers are answered by a script.
#include "IPAccess.h"
#include "DialogKit.h"
#include "LoginGuard.h"
#include "SettingsFile.h"
#include "ui_IPAccess.h"

using namespace vendrix;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ClickItem;
using vendrix::testing::ReadDoc;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::WriteText;

class IpAccessTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

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

    // The addresses banned for failed logins are listed with the minutes left
    // and Lift ban ends the selected ban at once.
    void ipAccessListsAndLiftsBans() {
        policy::TLoginGuard guard;
        guard.SetLimits({60, 32, 256, 1, 15});
        guard.NoteFailure("10.0.0.7", 0);
        guard.NoteFailure("10.0.0.8", 60'000);
        config::TSettingsFile settings(Config());
        ui::TfrmIPAccess dialog(*FLanguage, settings);
        dialog.ShowBans(guard, 120'000);
        ShowActive(dialog);
        Ui::TfrmIPAccess& w = dialog.Widgets();
        QCOMPARE(w.lblBans->text(), LanguageText("sTempBans"));
        QCOMPARE(w.lstBans->count(), 2);
        QCOMPARE(w.lstBans->item(0)->text(), "10.0.0.7 (13 min)");
        QCOMPARE(w.lstBans->item(1)->text(), "10.0.0.8 (14 min)");
        ClickItem(*w.lstBans, 0);
        Click(w.cmdLiftBan);
        QCOMPARE(w.lstBans->count(), 1);
        QVERIFY(!guard.IsBanned("10.0.0.7", 120'000));
        QVERIFY(guard.IsBanned("10.0.0.8", 120'000));
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
};

static vendrix::testing::TRegisterDialogTest<IpAccessTest> registered;

#include "IpAccessTest.moc"
