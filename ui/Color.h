// The colour dialog: the log view's ten colours and its font.
#pragma once

#include <QDialog>
#include <QFont>
#include <QFrame>
#include <array>
#include <memory>

#include "LanguageFile.h"
#include "LogAppearance.h"
#include "SettingsFile.h"

namespace Ui {
class TfrmColor;
}

namespace vendrix::ui {

class TfrmColor : public QDialog {
    Q_OBJECT
public:
    TfrmColor(const config::TLanguage& language, config::TSettingsFile& settings, QWidget* parent = nullptr);
    ~TfrmColor() override;

    Ui::TfrmColor& Widgets() { return *FUi; }
    // In the order of the settings: separator, text, ..., background.
    const std::array<QFrame*, 10>& Swatches() const { return FSwatches; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Paint(QFrame& swatch, const QColor& color);
    void ShowFont();
    void ChooseFont();
    void Save();

    config::TSettingsFile& FSettings;
    std::unique_ptr<Ui::TfrmColor> FUi;
    std::array<QFrame*, 10> FSwatches{};
    QFont FFont;
    int FCharSet = 1;
};

} // namespace vendrix::ui
