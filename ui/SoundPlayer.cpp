#include "SoundPlayer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QUrl>

namespace vendrix::ui {

bool TSoundPlayer::Play(const std::string& path) {
    if (path.empty() || QMediaDevices::audioOutputs().isEmpty()) return false;
    if (!FEffect) FEffect = new QSoundEffect(this);
    FEffect->stop();
    FEffect->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    FEffect->play();
    return true;
}

} // namespace vendrix::ui
