#include "About.h"

#include "ui_About.h"

#include "Translate.h"
#include "Version.h"

namespace vendrix::ui {

TfrmAbout::TfrmAbout(const config::TLanguage& language, QWidget* parent)
    : QDialog(parent), FUi(std::make_unique<Ui::TfrmAbout>()) {
    FUi->setupUi(this);
    auto tr = [&](std::string_view key) { return QString::fromStdString(language.Translate(key)); };
    const config::TLanguageInfo info = language.Info();
    setWindowTitle(tr("sAbout"));
    FUi->lblIcon->setPixmap(QIcon(":/images/vendrix-ftp.svg").pixmap(64, 64));
    FUi->lblVersion->setText(QString::fromStdString(
        config::FormatText(language.Translate("sVersion"), {config::kProgramVersion})));
    FUi->lblVersion2->setText(tr("sVersion2"));
    FUi->lblTranslator->setText(QString::fromStdString(info.Author));
    FUi->lblWeb->setText(tr("sWeb"));
    FUi->lblHomePage->setText(QString::fromStdString(info.HomePage));
    FUi->lblEmail->setText(tr("sEmail"));
    FUi->lblEmailAddress->setText(QString::fromStdString(info.Email));
    FUi->cmdClose->setText(tr("sClose"));
}

TfrmAbout::~TfrmAbout() = default;

} // namespace vendrix::ui
