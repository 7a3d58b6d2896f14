#include "WindowPlacement.h"

namespace vendrix::config {

TWindowPlacement ReadWindowPlacement(const TSettings& settings) {
    return {settings.ReadInteger(TSetting::WindowLeft), settings.ReadInteger(TSetting::WindowTop),
            settings.ReadInteger(TSetting::WindowWidth), settings.ReadInteger(TSetting::WindowHeight)};
}

void WriteWindowPlacement(TSettingsFile& file, const TWindowPlacement& placement) {
    file.Update([&](TIniDocument& doc) {
        WriteIntegerSetting(doc, TSetting::WindowTop, placement.Top);
        WriteIntegerSetting(doc, TSetting::WindowLeft, placement.Left);
        WriteIntegerSetting(doc, TSetting::WindowWidth, placement.Width);
        WriteIntegerSetting(doc, TSetting::WindowHeight, placement.Height);
    });
}

TWindowPlacement CorrectWindowPlacement(TWindowPlacement p, int screenWidth, int screenHeight) {
    if (p.Left < 0) p.Left = 0;
    if (p.Top < 0) p.Top = 0;
    if (p.Width < kMinWindowWidth) p.Width = kMinWindowWidth;
    // Any height below 416 becomes the smallest outer height, 415.
    if (p.Height < kMinWindowHeight + 1) p.Height = kMinWindowHeight;
    if (static_cast<long long>(p.Left) + p.Width > screenWidth) p.Left = screenWidth - p.Width;
    if (static_cast<long long>(p.Top) + p.Height > screenHeight) p.Top = screenHeight - p.Height;
    if (p.Left < 0) p.Left = 0;
    if (p.Top < 0) p.Top = 0;
    return p;
}

} // namespace vendrix::config
