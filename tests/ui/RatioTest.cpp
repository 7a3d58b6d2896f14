// The ratio dialog of an account. Driven through the widgets as an
// administrator would, with the files checked on disk; message boxes, input
// boxes and pickers are answered by a script.
#include "Ratio.h"
#include "DialogKit.h"
#include "ui_Ratio.h"

using namespace vendrix;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TypeInto;

class RatioTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

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
};

static vendrix::testing::TRegisterDialogTest<RatioTest> registered;

#include "RatioTest.moc"
