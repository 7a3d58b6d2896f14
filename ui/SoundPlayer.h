// Plays the event sounds' wave files without waiting. Nothing is set up
// before the first sound, and nothing plays on a machine without an audio
// output. A new sound replaces one still playing.
#pragma once

#include <QObject>
#include <QSoundEffect>
#include <string>

namespace vendrix::ui {

class TSoundPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Returns whether a sound was started.
    bool Play(const std::string& path);

private:
    QSoundEffect* FEffect = nullptr;
};

} // namespace vendrix::ui
