// The sound dialog: the wave file of each of the six events, each with a
// mark saying whether the file is there.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <memory>

#include "LanguageFile.h"
#include "SettingsFile.h"

namespace Ui {
class TfrmSound;
}

namespace vendrix::ui {

class TfrmSound : public QDialog {
    Q_OBJECT
public:
    TfrmSound(const config::TLanguage& language, config::TSettingsFile& settings, QWidget* parent = nullptr);
    ~TfrmSound() override;

    Ui::TfrmSound& Widgets() { return *FUi; }
    // The indicator's state: "found", "missing" or "" (blank).
    static QString Indicator(const QLabel& image);

private:
    struct TRow {
        QLineEdit* Path;
        QLabel* Image;
    };
    void Mark(const TRow& row);
    void Save();

    config::TSettingsFile& FSettings;
    std::unique_ptr<Ui::TfrmSound> FUi;
    std::array<TRow, 6> FRows{};
};

} // namespace vendrix::ui
