// The server setup dialog: section "Setup" of the settings file, the
// language, whether the program starts with the desktop session (a
// freedesktop autostart entry), and section "TLS" with the certificate's
// fingerprint and a button that makes a new self-signed one.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "LanguageFile.h"
#include "SettingsFile.h"

namespace Ui {
class TfrmSetupFTP;
}

namespace vendrix::ui {

// "$XDG_CONFIG_HOME/autostart/vendrix-ftp.desktop" (~/.config when unset).
std::string AutostartEntryPath();
// The entry that starts the program for `baseFolder`.
std::string AutostartEntryText(const std::string& program, const std::string& baseFolder);

class TfrmSetupFTP : public QDialog {
    Q_OBJECT
public:
    TfrmSetupFTP(const config::TLanguage& language, config::TSettingsFile& settings,
                 std::string languageFolder, std::string baseFolder, QWidget* parent = nullptr);
    ~TfrmSetupFTP() override;

    Ui::TfrmSetupFTP& Widgets() { return *FUi; }

private:
    void CheckRange();
    void LoadTls(const config::TSettings& settings);
    void SaveTls(config::TIniDocument& doc);
    void ShowCertificateNote();
    void NewCertificate();
    void Save();

    const config::TLanguage& FLanguage;
    config::TSettingsFile& FSettings;
    std::string FBase;
    std::unique_ptr<Ui::TfrmSetupFTP> FUi;
};

} // namespace vendrix::ui
