#include "Quota.h"

#include <QLocale>

#include "ui_Quota.h"

#include "AccountEditing.h"
#include "AccountTable.h"
#include "DialogTexts.h"
#include "HomeTree.h"

namespace vendrix::ui {

TfrmQuota::TfrmQuota(const config::TLanguage& language, config::TIniDocument& copy, std::string account,
                     const QString& homePath, QWidget* parent)
    : QDialog(parent), FCopy(copy), FAccount(std::move(account)), FUi(std::make_unique<Ui::TfrmQuota>()) {
    Ui::TfrmQuota& w = *FUi;
    w.setupUi(this);
    w.cmdSave->setText(LanguageText(language, "sSave"));
    w.cmdClose->setText(LanguageText(language, "sClose"));
    FilterKeys(*w.txtQuotaSize, kDigits);
    const int64_t bytes = homePath.isEmpty() ? 0 : policy::HomeTreeBytes(homePath.toStdString());
    w.lblSize->setText(QLocale().toString(double(bytes) / 1024.0 / 1024.0, 'f', 2));
    w.txtQuotaSize->setText(QString::number(
        FCopy.ReadInteger(FAccount, config::AccountKeyDef(config::TAccountKey::Quota).Key, 0)));
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmQuota::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmQuota::~TfrmQuota() = default;

void TfrmQuota::Save() {
    int64_t quota = 0;
    if (ReadInteger(this, FUi->txtQuotaSize->text(), quota))
        config::WriteAccountInteger(FCopy, FAccount, config::TAccountKey::Quota, quota);
}

} // namespace vendrix::ui
