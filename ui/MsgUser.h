// The message dialog: the welcome and goodbye files of one account, edited
// in the user setup dialog's copy of the account file.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "IniDocument.h"
#include "LanguageFile.h"

namespace Ui {
class TfrmMsgUser;
}

namespace vendrix::ui {

class TfrmMsgUser : public QDialog {
    Q_OBJECT
public:
    TfrmMsgUser(const config::TLanguage& language, config::TIniDocument& copy, std::string account,
                QWidget* parent = nullptr);
    ~TfrmMsgUser() override;

    Ui::TfrmMsgUser& Widgets() { return *FUi; }

private:
    void Save();

    config::TIniDocument& FCopy;
    std::string FAccount;
    std::unique_ptr<Ui::TfrmMsgUser> FUi;
};

} // namespace vendrix::ui
