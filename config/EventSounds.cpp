#include "EventSounds.h"

namespace vendrix::config {

TEventSounds ReadEventSounds(const TSettings& s) {
    return {s.ReadString(TSetting::SndConnect),     s.ReadString(TSetting::SndDisconnect),
            s.ReadString(TSetting::SndUploadStart), s.ReadString(TSetting::SndUploadEnd),
            s.ReadString(TSetting::SndDownStart),   s.ReadString(TSetting::SndDownEnd)};
}

void WriteEventSounds(TSettingsFile& file, const TEventSounds& sounds) {
    file.Update([&](TIniDocument& doc) {
        WriteTextSetting(doc, TSetting::SndConnect, sounds.Connect);
        WriteTextSetting(doc, TSetting::SndDisconnect, sounds.Disconnect);
        WriteTextSetting(doc, TSetting::SndUploadStart, sounds.UploadStart);
        WriteTextSetting(doc, TSetting::SndUploadEnd, sounds.UploadEnd);
        WriteTextSetting(doc, TSetting::SndDownStart, sounds.DownStart);
        WriteTextSetting(doc, TSetting::SndDownEnd, sounds.DownEnd);
    });
}

} // namespace vendrix::config
