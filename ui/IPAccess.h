// The IP access dialog: the deny and allow lists of the settings file.
// Close and Escape save both lists; the title bar's close button does not.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "LanguageFile.h"
#include "LoginGuard.h"
#include "SettingsFile.h"

#include <cstdint>

namespace Ui {
class TfrmIPAccess;
}

namespace vendrix::ui {

class TfrmIPAccess : public QDialog {
    Q_OBJECT
public:
    TfrmIPAccess(const config::TLanguage& language, config::TSettingsFile& settings,
                 QWidget* parent = nullptr);
    ~TfrmIPAccess() override;

    Ui::TfrmIPAccess& Widgets() { return *FUi; }
    // Lists the addresses banned for failed logins as of `now` (the guard's
    // clock); Lift ban ends the selected one at once. Without a call the
    // list stays empty.
    void ShowBans(policy::TLoginGuard& guard, uint64_t now);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<std::string>& Shown();
    void ShowList();
    void SaveAndClose();

    config::TSettingsFile& FSettings;
    policy::TLoginGuard* FGuard = nullptr;
    std::unique_ptr<Ui::TfrmIPAccess> FUi;
    std::vector<std::string> FDeny;
    std::vector<std::string> FAllow;
};

} // namespace vendrix::ui
