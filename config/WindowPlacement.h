// The main window's position and size, kept in section "Window".
#pragma once

#include "SettingsFile.h"

namespace vendrix::config {

inline constexpr int kMinWindowWidth = 430;
inline constexpr int kMinWindowHeight = 415;

struct TWindowPlacement {
    int Left = 594;
    int Top = 326;
    int Width = kMinWindowWidth;
    int Height = kMinWindowHeight;

    bool operator==(const TWindowPlacement&) const = default;
};

TWindowPlacement ReadWindowPlacement(const TSettings& settings);
// The four keys in one save.
void WriteWindowPlacement(TSettingsFile& file, const TWindowPlacement& placement);

// Brings a stored placement back on a screen of the given size: no negative
// position, at least the smallest size, not past the right or bottom edge,
// and never off the top left corner even on a screen smaller than the window.
TWindowPlacement CorrectWindowPlacement(TWindowPlacement placement, int screenWidth, int screenHeight);

} // namespace vendrix::config
