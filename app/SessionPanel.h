// The texts of the main window's information panel for one logged-in
// session: connected and idle time, the current transfer with its size,
// speed, progress and time left, the session's and account's totals, and
// whether the session is encrypted.
// Computed here, outside any toolkit, so the window only copies texts.
#pragma once

#include <cstdint>
#include <string>

#include "TlsPolicy.h"
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
    policy::TSessionSecurity Security;
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
    // "FTP" for a plain session; "FTPS: " with the protocol, the cipher and
    // the data connections' protection ("PROT P" or "PROT C") for one over
    // TLS. Names of protocols only: nothing to translate.
    std::string Encryption;

    bool operator==(const TSessionPanel&) const = default;
};

// Reads the facts from a session; the download's size from the file system.
TSessionFacts FactsOf(const policy::TAppClient& client);

TSessionPanel DescribeSession(const TSessionFacts& facts, uint64_t nowTick,
                              const config::TTranslate& translate);

// The panel when no session is selected: no transfer, nothing counted.
TSessionPanel EmptySessionPanel(const config::TTranslate& translate);

// The panel's Encryption text of a session.
std::string EncryptionText(const policy::TSessionSecurity& security);

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
