// The wave files played on events (section "Sound"); empty: no sound.
#pragma once

#include <string>

#include "SettingsFile.h"

namespace vendrix::config {

struct TEventSounds {
    std::string Connect;
    std::string Disconnect;
    std::string UploadStart; // stored and edited, played by no event
    std::string UploadEnd;   // stored and edited, played by no event
    std::string DownStart;
    std::string DownEnd;

    bool operator==(const TEventSounds&) const = default;
};

TEventSounds ReadEventSounds(const TSettings& settings);
void WriteEventSounds(TSettingsFile& file, const TEventSounds& sounds);

} // namespace vendrix::config
