// The sounds dialog. Driven through the widgets as an administrator would,
// with the files checked on disk; message boxes, input boxes and pickers are
// answered by a script.
#include "Sound.h"
#include "DialogKit.h"
#include "SettingsFile.h"
#include "ui_Sound.h"

using namespace vendrix;
using vendrix::testing::Click;
using vendrix::testing::ReadDoc;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::TypeInto;
using vendrix::testing::WriteText;

class SoundTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    void sounds() {
        const std::string wave = FBase->File("ding.wav");
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
};

static vendrix::testing::TRegisterDialogTest<SoundTest> registered;

#include "SoundTest.moc"
