// The log options dialog: the log file, the date in log lines and the
// logging of client commands.
#pragma once

#include <QDialog>
#include <memory>

#include "LanguageFile.h"
#include "SessionLog.h"
#include "SettingsFile.h"

namespace Ui {
class TfrmLog;
}

namespace vendrix::ui {

class TfrmLog : public QDialog {
    Q_OBJECT
public:
    // `log`, when given, is the running program's log: a "Log" or "AddDate"
    // that the file holds switches on there at once.
    TfrmLog(const config::TLanguage& language, config::TSettingsFile& settings, log::TSessionLog* log,
            QWidget* parent = nullptr);
    ~TfrmLog() override;

    Ui::TfrmLog& Widgets() { return *FUi; }

private:
    void Save();

    config::TSettingsFile& FSettings;
    std::unique_ptr<Ui::TfrmLog> FUi;
};

} // namespace vendrix::ui
