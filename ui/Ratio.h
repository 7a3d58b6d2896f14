// The ratio dialog: the upload/download ratio of one account, edited in the
// user setup dialog's copy of the account file.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "IniDocument.h"
#include "LanguageFile.h"

namespace Ui {
class TfrmRatio;
}

namespace vendrix::ui {

class TfrmRatio : public QDialog {
    Q_OBJECT
public:
    TfrmRatio(const config::TLanguage& language, config::TIniDocument& copy, std::string account,
              QWidget* parent = nullptr);
    ~TfrmRatio() override;

    Ui::TfrmRatio& Widgets() { return *FUi; }

private:
    void EnableValues(bool on);
    void Save();

    config::TIniDocument& FCopy;
    std::string FAccount;
    std::unique_ptr<Ui::TfrmRatio> FUi;
};

} // namespace vendrix::ui
