// The About box: the version, and the translator's name, home page and
// e-mail from the current language file.
#pragma once

#include <QDialog>
#include <memory>

#include "LanguageFile.h"

namespace Ui {
class TfrmAbout;
}

namespace vendrix::ui {

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(const config::TLanguage& language, QWidget* parent = nullptr);
    ~TfrmAbout() override;

private:
    std::unique_ptr<Ui::TfrmAbout> FUi;
};

} // namespace vendrix::ui
