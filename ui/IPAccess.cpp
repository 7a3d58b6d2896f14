#include "IPAccess.h"

#include <QKeyEvent>

#include "ui_IPAccess.h"

#include "DialogTexts.h"

namespace vendrix::ui {

TfrmIPAccess::TfrmIPAccess(const config::TLanguage& language, config::TSettingsFile& settings,
                           QWidget* parent)
    : QDialog(parent), FSettings(settings), FUi(std::make_unique<Ui::TfrmIPAccess>()) {
    Ui::TfrmIPAccess& w = *FUi;
    w.setupUi(this);
    auto tr = [&](std::string_view key) { return LanguageText(language, key); };
    setWindowTitle(tr("sIPAccess"));
    const std::pair<QWidget*, const char*> captions[] = {
        {w.optDeny, "sIPDeny"},    {w.optAllow, "sIPAccept"}, {w.lblIPList, "sIPListRes"},
        {w.lblIP, "sIP"},          {w.cmdAdd, "sAdd"},        {w.cmdModify, "sModify"},
        {w.cmdDel, "sDel"},        {w.cmdClose, "sClose"},    {w.lblBans, "sTempBans"},
        {w.cmdLiftBan, "sLiftBan"}};
    for (const auto& [widget, key] : captions)
        widget->setProperty("text", tr(key));
    FilterKeys(*w.txtIP, kDigits + ".*");

    const config::TSettings s = FSettings.Load();
    FDeny = s.ReadIpList(config::TIpList::Deny);
    FAllow = s.ReadIpList(config::TIpList::Allow);
    w.optDeny->setChecked(true);
    ShowList();

    connect(w.optDeny, &QRadioButton::toggled, this, &TfrmIPAccess::ShowList);
    connect(w.lstIP, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { FUi->txtIP->setText(item->text()); });
    connect(w.cmdAdd, &QPushButton::clicked, this, [this] {
        const QString text = FUi->txtIP->text();
        if (text.isEmpty()) return;
        Shown().push_back(text.toStdString());
        FUi->lstIP->addItem(text);
        FUi->txtIP->clear();
    });
    connect(w.cmdModify, &QPushButton::clicked, this, [this] {
        const int row = FUi->lstIP->currentRow();
        if (row < 0 || !FUi->lstIP->currentItem()->isSelected()) return;
        const QString text = FUi->txtIP->text();
        Shown()[std::size_t(row)] = text.toStdString();
        FUi->lstIP->item(row)->setText(text);
        FUi->txtIP->clear();
    });
    connect(w.cmdDel, &QPushButton::clicked, this, [this] {
        const int row = FUi->lstIP->currentRow();
        if (row < 0 || !FUi->lstIP->currentItem()->isSelected()) return;
        Shown().erase(Shown().begin() + row);
        delete FUi->lstIP->takeItem(row);
        FUi->txtIP->clear();
    });
    connect(w.cmdClose, &QPushButton::clicked, this, &TfrmIPAccess::SaveAndClose);
    connect(w.cmdLiftBan, &QPushButton::clicked, this, [this] {
        QListWidgetItem* item = FUi->lstBans->currentItem();
        if (!FGuard || !item || !item->isSelected()) return;
        FGuard->Lift(item->data(Qt::UserRole).toString().toStdString());
        delete FUi->lstBans->takeItem(FUi->lstBans->row(item));
    });
}

void TfrmIPAccess::ShowBans(policy::TLoginGuard& guard, uint64_t now) {
    FGuard = &guard;
    FUi->lstBans->clear();
    for (const policy::TLoginGuard::TBan& ban : guard.Bans(now)) {
        const uint64_t minutes = (ban.Until - now + 59'999) / 60'000;
        const QString address = QString::fromStdString(ban.Address);
        auto* item = new QListWidgetItem(address + QStringLiteral(" (%1 min)").arg(minutes), FUi->lstBans);
        item->setData(Qt::UserRole, address);
    }
}

TfrmIPAccess::~TfrmIPAccess() = default;

std::vector<std::string>& TfrmIPAccess::Shown() {
    return FUi->optAllow->isChecked() ? FAllow : FDeny;
}

void TfrmIPAccess::ShowList() {
    FUi->lstIP->clear();
    for (const std::string& pattern : Shown())
        FUi->lstIP->addItem(QString::fromStdString(pattern));
}

void TfrmIPAccess::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        SaveAndClose();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmIPAccess::SaveAndClose() {
    // A pattern emptied by Modify is left out: written as an empty key it
    // would end the list for every reader and silently drop the ones after.
    auto filled = [](const std::vector<std::string>& list) {
        std::vector<std::string> kept;
        for (const std::string& pattern : list)
            if (!pattern.empty()) kept.push_back(pattern);
        return kept;
    };
    try {
        FSettings.Update([&](config::TIniDocument& doc) {
            config::WriteIpList(doc, config::TIpList::Deny, filled(FDeny));
            config::WriteIpList(doc, config::TIpList::Allow, filled(FAllow));
        });
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
        return;
    }
    accept();
}

} // namespace vendrix::ui
