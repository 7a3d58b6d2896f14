#include "Color.h"

#include <QColorDialog>
#include <QEvent>
#include <QFontDialog>

#include "ui_Color.h"

#include "ColorText.h"
#include "DialogTexts.h"

namespace vendrix::ui {

namespace {

QColor ToQColor(const std::string& text) {
    const config::TColor c = config::ParseColorText(text).value_or(config::TColor{});
    return QColor(c.Red, c.Green, c.Blue);
}

std::string ToText(const QColor& color) {
    // A palette or system colour is stored by its actual values.
    const QColor rgb = color.toRgb();
    return config::FormatColorText({uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue())});
}

} // namespace

TfrmColor::TfrmColor(const config::TLanguage& language, config::TSettingsFile& settings, QWidget* parent)
    : QDialog(parent), FSettings(settings), FUi(std::make_unique<Ui::TfrmColor>()) {
    Ui::TfrmColor& w = *FUi;
    w.setupUi(this);
    auto tr = [&](std::string_view key) { return LanguageText(language, key); };
    setWindowTitle(tr("sfrmColor"));
    FSwatches = {w.shpSep,  w.shpText, w.shpID,   w.shpClient, w.shpIP,
                 w.shpDate, w.shpTime, w.shpMisc, w.shpFile,   w.shpBack};
    const std::pair<QWidget*, const char*> captions[] = {
        {w.lblSep, "sSepTag"},       {w.lblText, "sTextTag"},      {w.lblID, "sIDTag"},
        {w.lblClient, "sClientTag"}, {w.lblIP, "sIPTag"},          {w.lblDate, "sDateTag"},
        {w.lblTime, "sTimeTag"},     {w.lblMisc, "sMiscTag"},      {w.lblFile, "sFileTag"},
        {w.lblBack, "sBackTag"},     {w.lblFontName, "sFontName"}, {w.lblFontSize, "sFontSize"},
        {w.cmdFont, "sFontSelect"},  {w.cmdOK, "sSave"},           {w.cmdCancel, "sClose"}};
    for (const auto& [widget, key] : captions)
        widget->setProperty("text", tr(key));
    w.grpFont->setTitle(tr("sFontInfo"));

    const config::TSettings s = FSettings.Load();
    const config::TLogColors colors = config::ReadLogColors(s);
    const std::string* texts[] = {&colors.Sep,  &colors.Text, &colors.ID,   &colors.Client, &colors.IP,
                                  &colors.Date, &colors.Time, &colors.Misc, &colors.File,   &colors.Back};
    for (std::size_t i = 0; i < FSwatches.size(); ++i) {
        Paint(*FSwatches[i], ToQColor(*texts[i]));
        FSwatches[i]->installEventFilter(this);
    }
    const config::TLogFont font = config::ReadLogFont(s);
    FFont = QFont(QString::fromStdString(font.Name), font.Size > 0 ? font.Size : 8);
    FFont.setBold(font.Style & 1);
    FFont.setItalic(font.Style & 2);
    FFont.setUnderline(font.Style & 4);
    FFont.setStrikeOut(font.Style & 8);
    FCharSet = font.CharSet;
    ShowFont();

    connect(w.cmdFont, &QPushButton::clicked, this, &TfrmColor::ChooseFont);
    connect(w.cmdOK, &QPushButton::clicked, this, &TfrmColor::Save);
    connect(w.cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmColor::~TfrmColor() = default;

void TfrmColor::Paint(QFrame& swatch, const QColor& color) {
    swatch.setAutoFillBackground(true);
    QPalette palette = swatch.palette();
    palette.setColor(QPalette::Window, color);
    swatch.setPalette(palette);
}

bool TfrmColor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (QFrame* swatch : FSwatches)
            if (watched == swatch) {
                QColorDialog chooser(swatch->palette().color(QPalette::Window), this);
                chooser.setObjectName("dlgColor");
                chooser.setOption(QColorDialog::DontUseNativeDialog);
                if (chooser.exec() == QDialog::Accepted) Paint(*swatch, chooser.selectedColor());
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmColor::ShowFont() {
    FUi->lblFontNameValue->setText(FFont.family());
    FUi->lblFontSizeValue->setText(QString::number(FFont.pointSize()));
}

void TfrmColor::ChooseFont() {
    QFontDialog chooser(FFont, this);
    chooser.setObjectName("dlgFont");
    chooser.setOption(QFontDialog::DontUseNativeDialog);
    if (chooser.exec() != QDialog::Accepted) return;
    FFont = chooser.selectedFont();
    ShowFont();
}

void TfrmColor::Save() {
    auto color = [&](std::size_t i) { return ToText(FSwatches[i]->palette().color(QPalette::Window)); };
    config::TLogColors colors;
    std::string* texts[] = {&colors.Sep,  &colors.Text, &colors.ID,   &colors.Client, &colors.IP,
                            &colors.Date, &colors.Time, &colors.Misc, &colors.File,   &colors.Back};
    for (std::size_t i = 0; i < FSwatches.size(); ++i)
        *texts[i] = color(i);
    config::TLogFont font;
    font.Name = FFont.family().toStdString();
    font.CharSet = FCharSet;
    font.Size = FFont.pointSize() > 0 ? FFont.pointSize() : 8;
    font.Style = (FFont.bold() ? 1 : 0) | (FFont.italic() ? 2 : 0) | (FFont.underline() ? 4 : 0) |
                 (FFont.strikeOut() ? 8 : 0);
    try {
        config::WriteLogColors(FSettings, colors);
        config::WriteLogFont(FSettings, font);
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
        return;
    }
    accept();
}

} // namespace vendrix::ui
