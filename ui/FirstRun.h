// The first-run assistant: offered by the window while no account exists.
// It asks for the folder to share, anonymous read-only access or one
// account with a password, and the port; "Share and start" writes them
// (see FirstRunSetup.h) and accepts, "Later" dismisses it until the next
// start. Refused values show the language text of why and keep the dialog.
#pragma once

#include <QDialog>

#include "LanguageFile.h"

class QLineEdit;
class QRadioButton;

namespace vendrix::ui {

class TfrmFirstRun : public QDialog {
    Q_OBJECT
public:
    TfrmFirstRun(const config::TLanguage& language, std::string baseFolder, QWidget* parent = nullptr);

private:
    QString Tr(std::string_view key) const;
    void Share();

    const config::TLanguage& FLanguage;
    std::string FBase;
    QLineEdit* FFolder;
    QRadioButton* FAnonymous;
    QRadioButton* FAccount;
    QLineEdit* FName;
    QLineEdit* FPassword;
    QLineEdit* FPort;
};

} // namespace vendrix::ui
