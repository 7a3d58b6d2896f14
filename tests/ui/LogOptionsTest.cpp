// The log options dialog. Driven through the widgets as an administrator
// would, with the files checked on disk; message boxes, input boxes and
// pickers are answered by a script.
#include "DialogKit.h"
#include "Log.h"
#include "SettingsFile.h"
#include "ui_Log.h"

using namespace vendrix;
using vendrix::testing::Click;
using vendrix::testing::ClickBox;
using vendrix::testing::ReadDoc;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::WriteText;

class LogOptionsTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    // "Log" in the file switches the running log's file option on at once;
    // unticking and saving leaves it on until the next start.
    void logOptions() {
        WriteText(Config(), "[Setup]\nLog=1\nShowCommand=1\n");
        config::TSettingsFile settings(Config());
        log::TSessionLog log(FBase->Path());
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
};

static vendrix::testing::TRegisterDialogTest<LogOptionsTest> registered;

#include "LogOptionsTest.moc"
