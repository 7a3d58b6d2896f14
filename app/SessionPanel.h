// The texts of the main window's information panel for one logged-in
// session: connected and idle time, the current transfer with its size,
// speed, progress and time left, and the session's and account's totals.
// Computed here, outside any toolkit, so the window only copies texts.
#pragma once

#include <cstdint>
#include <string>

#include "Translate.h"

namespace vendrix::policy {
class TAppClient;
}

namespace vendrix::app {

// What the panel is computed from, taken from the session record.
struct TSessionFacts {
    std::string PeerAddr;
    uint64_t SessionStartTick = 0;
    uint64_t LastCommandTick = 0;
    std::string FilePath;
    bool Download = false;
    bool Upload = false;
    uint64_t XferStartTick = 0;
    int64_t ByteCount = 0; // bytes of the download sent so far
    int64_t RestartPos = 0;
    int64_t Received = 0; // bytes of the upload received so far
    int64_t FileSize = 0; // size on disk of the file being downloaded
    int64_t SessionDownloadKB = 0;
    int64_t SessionUploadKB = 0;
    int64_t TotalDownloadKB = 0;
    int64_t TotalUploadKB = 0;
};

struct TSessionPanel {
    std::string Host;
    std::string Connected;
    std::string Idle;
    std::string File;
    std::string Transferred;
    std::string Size;
    std::string TransferTime;
    std::string TimeLeft;
    std::string Speed;
    int Progress = 0; // percent
    std::string Status;
    std::string SessionDownload;
    std::string SessionUpload;
    std::string TotalDownload;
    std::string TotalUpload;

    bool operator==(const TSessionPanel&) const = default;
};

// Reads the facts from a session; the download's size from the file system.
TSessionFacts FactsOf(const policy::TAppClient& client);

TSessionPanel DescribeSession(const TSessionFacts& facts, uint64_t nowTick,
                              const config::TTranslate& translate);

// The panel when no session is selected: no transfer, nothing counted.
TSessionPanel EmptySessionPanel(const config::TTranslate& translate);

// Whole seconds as "HH:MM:SS Min", hours counted modulo 24.
std::string PanelDuration(int64_t seconds);
// Groups of three digits separated by blanks: "1 234 567".
std::string PanelNumber(int64_t value);
// Kilobytes per second with two decimals after rounding to five significant
// digits, groups separated by ",": "1,205.60 K/s"; "0 K/s" for no speed.
std::string PanelSpeed(double kbPerSecond);
// The status bar's total speed: shortest decimal text and " K/s".
std::string TotalSpeedText(double kbPerSecond);

} // namespace vendrix::app
