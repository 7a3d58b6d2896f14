// The quota dialog: the disk quota of one account, edited in the user setup
// dialog's copy of the account file. The server reads "Quota" in kilobytes,
// so the dialog shows that unit next to the field.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "IniDocument.h"
#include "LanguageFile.h"

namespace Ui {
class TfrmQuota;
}

namespace vendrix::ui {

class TfrmQuota : public QDialog {
    Q_OBJECT
public:
    // `homePath`: the home folder as the user setup dialog shows it now.
    TfrmQuota(const config::TLanguage& language, config::TIniDocument& copy, std::string account,
              const QString& homePath, QWidget* parent = nullptr);
    ~TfrmQuota() override;

    Ui::TfrmQuota& Widgets() { return *FUi; }

private:
    void Save();

    config::TIniDocument& FCopy;
    std::string FAccount;
    std::unique_ptr<Ui::TfrmQuota> FUi;
};

} // namespace vendrix::ui
