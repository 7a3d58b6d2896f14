#include "Ratio.h"

#include <QApplication>

#include "ui_Ratio.h"

#include "AccountEditing.h"
#include "AccountTable.h"
#include "DialogTexts.h"

namespace vendrix::ui {

TfrmRatio::TfrmRatio(const config::TLanguage& language, config::TIniDocument& copy, std::string account,
                     QWidget* parent)
    : QDialog(parent), FCopy(copy), FAccount(std::move(account)), FUi(std::make_unique<Ui::TfrmRatio>()) {
    Ui::TfrmRatio& w = *FUi;
    w.setupUi(this);
    auto tr = [&](std::string_view key) { return LanguageText(language, key); };
    w.lblUPR->setText(tr("sUP"));
    w.lblDOWNR->setText(tr("sDown"));
    w.lblCount->setText(tr("sCount") + ":");
    w.lblCredit->setText(tr("sCredit") + ":");
    w.cmbCount->clear();
    for (const char* key : {"sCount1", "sCount2", "sCount3", "sCount4"})
        w.cmbCount->addItem(tr(key));
    w.cmbCount->setCurrentIndex(-1);
    w.cmdSave->setText(tr("sSave"));
    w.cmdClose->setText(tr("sClose"));
    FilterKeys(*w.txtCredit, kDigits + "-");

    auto key = [](config::TAccountKey k) { return config::AccountKeyDef(k).Key; };
    const bool on = FCopy.ReadBool(FAccount, key(config::TAccountKey::Ratio), false);
    w.chkRatio->setChecked(on);
    if (on) {
        w.SpinUP->setValue(FCopy.ReadInteger(FAccount, key(config::TAccountKey::Up), 0));
        w.SpinDown->setValue(FCopy.ReadInteger(FAccount, key(config::TAccountKey::Down), 0));
        const int type = FCopy.ReadInteger(FAccount, key(config::TAccountKey::TypeRatio), 0);
        w.cmbCount->setCurrentIndex(type >= 0 && type < w.cmbCount->count() ? type : -1);
        w.txtCredit->setText(
            QString::number(FCopy.ReadInteger(FAccount, key(config::TAccountKey::Credit), 0)));
    }
    EnableValues(on);
    connect(w.chkRatio, &QCheckBox::toggled, this, &TfrmRatio::EnableValues);
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmRatio::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmRatio::~TfrmRatio() = default;

void TfrmRatio::EnableValues(bool on) {
    Ui::TfrmRatio& w = *FUi;
    for (QWidget* label : {w.lblUPR, w.lblDOWNR, w.lblCount, w.lblCredit, w.lblSlash})
        label->setEnabled(on);
    for (QWidget* value : std::initializer_list<QWidget*>{w.SpinUP, w.SpinDown, w.cmbCount, w.txtCredit}) {
        value->setEnabled(on);
        QPalette palette = value->palette();
        palette.setColor(QPalette::Base,
                         on ? QApplication::palette().color(QPalette::Base) : QColor(192, 192, 192));
        value->setPalette(palette);
    }
}

void TfrmRatio::Save() {
    Ui::TfrmRatio& w = *FUi;
    if (!w.chkRatio->isChecked()) {
        for (config::TAccountKey key : config::kRatioKeys)
            config::DeleteAccountKey(FCopy, FAccount, key);
        return;
    }
    config::WriteAccountBool(FCopy, FAccount, config::TAccountKey::Ratio, true);
    config::WriteAccountInteger(FCopy, FAccount, config::TAccountKey::Up, w.SpinUP->value());
    config::WriteAccountInteger(FCopy, FAccount, config::TAccountKey::Down, w.SpinDown->value());
    config::WriteAccountInteger(FCopy, FAccount, config::TAccountKey::TypeRatio, w.cmbCount->currentIndex());
    int64_t credit = 0;
    if (ReadInteger(this, w.txtCredit->text(), credit))
        config::WriteAccountInteger(FCopy, FAccount, config::TAccountKey::Credit, credit);
}

} // namespace vendrix::ui
