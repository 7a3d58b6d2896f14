#include "Sound.h"

#include <QFileInfo>
#include <QIcon>

#include "ui_Sound.h"

#include "DialogTexts.h"
#include "EventSounds.h"

namespace vendrix::ui {

TfrmSound::TfrmSound(const config::TLanguage& language, config::TSettingsFile& settings, QWidget* parent)
    : QDialog(parent), FSettings(settings), FUi(std::make_unique<Ui::TfrmSound>()) {
    Ui::TfrmSound& w = *FUi;
    w.setupUi(this);
    FRows = {TRow{w.txtSndConnect, w.imgSndConnect},         TRow{w.txtSndDisconnect, w.imgSndDisconnect},
             TRow{w.txtSndDownStart, w.imgSndDownStart},     TRow{w.txtSndDownEnd, w.imgSndDownEnd},
             TRow{w.txtSndUploadStart, w.imgSndUploadStart}, TRow{w.txtSndUploadEnd, w.imgSndUploadEnd}};
    const config::TEventSounds sounds = config::ReadEventSounds(FSettings.Load());
    const std::string* paths[] = {&sounds.Connect, &sounds.Disconnect,  &sounds.DownStart,
                                  &sounds.DownEnd, &sounds.UploadStart, &sounds.UploadEnd};
    QToolButton* browse[] = {w.cmdSndConnect, w.cmdSndDisconnect,  w.cmdSndDownStart,
                             w.cmdSndDownEnd, w.cmdSndUploadStart, w.cmdSndUploadEnd};
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        const TRow row = FRows[i];
        row.Path->setText(QString::fromStdString(*paths[i]));
        Mark(row);
        OnFocusLeave(*row.Path, [this, row] { Mark(row); });
        connect(row.Path, &QLineEdit::textChanged, this, [this] { FUi->cmdSave->setEnabled(true); });
        browse[i]->setIcon(QIcon(":/images/browse.svg"));
        connect(browse[i], &QToolButton::clicked, this, [this, row] {
            const QString path = PickFile(this, QStringLiteral("Wave File (*.wav)"), row.Path->text());
            if (path.isEmpty()) return;
            row.Path->setText(path);
            Mark(row);
        });
    }
    auto tr = [&](std::string_view key) { return LanguageText(language, key); };
    setWindowTitle(tr("sSound"));
    const std::pair<QWidget*, const char*> captions[] = {{w.lblSndConnect, "sSndConnect"},
                                                         {w.lblSndDisconnect, "sSndDisconnect"},
                                                         {w.lblSndDownStart, "sSndDownStart"},
                                                         {w.lblSndDownEnd, "sSndDownEnd"},
                                                         {w.lblSndUploadStart, "sSndUploadStart"},
                                                         {w.lblSndUploadEnd, "sSndUploadEnd"},
                                                         {w.cmdSave, "sSave"},
                                                         {w.cmdClose, "sClose"}};
    for (const auto& [widget, key] : captions)
        widget->setProperty("text", tr(key));
    w.cmdSave->setEnabled(false);
    connect(w.cmdSave, &QPushButton::clicked, this, &TfrmSound::Save);
    connect(w.cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmSound::~TfrmSound() {
    StopFocusWatches(*this);
}

QString TfrmSound::Indicator(const QLabel& image) {
    return image.property("indicator").toString();
}

void TfrmSound::Mark(const TRow& row) {
    const QString path = row.Path->text();
    if (path.isEmpty()) return;
    const bool found = QFileInfo(path).isFile();
    row.Image->setPixmap(
        QIcon(found ? ":/images/sound-found.svg" : ":/images/sound-missing.svg").pixmap(16, 16));
    row.Image->setProperty("indicator", found ? "found" : "missing");
    row.Image->setToolTip(found ? QString() : path);
}

void TfrmSound::Save() {
    config::TEventSounds sounds;
    std::string* paths[] = {&sounds.Connect, &sounds.Disconnect,  &sounds.DownStart,
                            &sounds.DownEnd, &sounds.UploadStart, &sounds.UploadEnd};
    for (std::size_t i = 0; i < FRows.size(); ++i)
        *paths[i] = FRows[i].Path->text().toStdString();
    try {
        config::WriteEventSounds(FSettings, sounds);
    } catch (const std::exception& e) {
        ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("msgSaveFailed"));
        return;
    }
    accept();
}

} // namespace vendrix::ui
