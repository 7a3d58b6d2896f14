// Pictures of every dialog, each filled with a small example, for the
// documentation.
#include "AccountFile.h"
#include "Color.h"
#include "DialogKit.h"
#include "IPAccess.h"
#include "Log.h"
#include "Md5.h"
#include "MsgUser.h"
#include "Quota.h"
#include "Ratio.h"
#include "SettingsFile.h"
#include "SetupFTP.h"
#include "SetupUser.h"
#include "Sound.h"
#include "ui_SetupUser.h"

#include <filesystem>

using namespace vendrix;
using vendrix::testing::ClickItem;
using vendrix::testing::ShowActive;
using vendrix::testing::TDialogFixture;
using vendrix::testing::WriteText;

class DialogShotsTest : public QObject, public TDialogFixture {
    Q_OBJECT

private slots:
    void init() { Open(); }
    void cleanup() { Close(); }

    // With VENDRIX_DIALOG_SHOTS=DIR a picture of each dialog, filled with a
    // small example, is saved there (scripts/screenshot); otherwise skipped.
    void screenshots() {
        const QString folder = qEnvironmentVariable("VENDRIX_DIALOG_SHOTS");
        if (folder.isEmpty()) QSKIP("VENDRIX_DIALOG_SHOTS is not set");
        const std::string home = FBase->File("home");
        std::filesystem::create_directories(home + "/pub");
        const std::string wave = FBase->File("ding.wav");
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
        ui::TfrmSetupFTP ftp(*FLanguage, settings, VENDRIX_LANGUAGE_FOLDER, FBase->Path());
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
        log::TSessionLog log(FBase->Path());
        ui::TfrmLog options(*FLanguage, settings, &log);
        save(options, "dialog-log");
    }
};

static vendrix::testing::TRegisterDialogTest<DialogShotsTest> registered;

#include "DialogShotsTest.moc"
