#include "Log.h"

#include "ui_Log.h"

#include "DialogTexts.h"

namespace vendrix::ui {

TfrmLog::TfrmLog(const config::TLanguage& language, config::TSettingsFile& settings, log::TSessionLog* log,
                 QWidget* parent)
    : QDialog(parent), FSettings(settings), FUi(std::make_unique<Ui::TfrmLog>()) {
    Ui::TfrmLog& w = *FUi;
    w.setupUi(this);
    auto tr = [&](std::string_view key) { return LanguageText(language, key); };
    w.chkLog->setText(tr("sLog"));
    w.chkDate->setText(tr("sDate"));
    w.chkShowCommand->setText(tr("sShowCommand"));
    w.cmdSave->setText(tr("sSave"));
    w.cmdClose->setText(tr("sClose"));

    const config::TSettings s = FSettings.Load();
    w.chkShowCommand->setChecked(s.ReadBool(config::TSetting::ShowCommand));
    log::TLogOptions options = log ? log->Options() : log::TLogOptions{};
    if (s.ReadBool(config::TSetting::Log)) {
        w.chkLog->setChecked(true);
        options.ToFile = true;
    }
    if (s.ReadBool(config::TSetting::AddDate)) {
        w.chkDate->setChecked(true);
        options.AddDate = true;
    }
    if (log) log->SetOptions(options);
    w.cmdSave->setEnabled(false);

    for (QCheckBox* box : {w.chkLog, w.chkDate, w.chkShowCommand})
        connect(box, &QCheckBox::toggled, this, [this] { FUi->cmdSave->setEnabled(true); });
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmLog::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmLog::~TfrmLog() = default;

void TfrmLog::Save() {
    Ui::TfrmLog& w = *FUi;
    try {
        FSettings.Update([&](config::TIniDocument& doc) {
            config::WriteBoolSetting(doc, config::TSetting::Log, w.chkLog->isChecked());
            config::WriteBoolSetting(doc, config::TSetting::AddDate, w.chkDate->isChecked());
            config::WriteBoolSetting(doc, config::TSetting::ShowCommand, w.chkShowCommand->isChecked());
        });
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
        return;
    }
    w.cmdSave->setEnabled(false);
}

} // namespace vendrix::ui
