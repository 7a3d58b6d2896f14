#include "SessionPanel.h"

#include "FtpController.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace vendrix::app {

namespace {

int64_t Seconds(uint64_t fromTick, uint64_t toTick) {
    return toTick > fromTick ? int64_t((toTick - fromTick) / 1000) : 0;
}

// "(now in whole seconds) minus (start in whole seconds)", as the transfer
// time is counted by the clock's second changing.
int64_t TransferSeconds(uint64_t startTick, uint64_t nowTick) {
    return nowTick / 1000 > startTick / 1000 ? int64_t(nowTick / 1000 - startTick / 1000) : 0;
}

std::string Grouped(const std::string& digits, char separator) {
    std::string out;
    int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += separator;
        out += digits[size_t(i)];
    }
    return out;
}

std::string Kilobytes(int64_t kb) {
    return PanelNumber(kb) + "K";
}

} // namespace

std::string EncryptionText(const policy::TSessionSecurity& s) {
    if (!s.ControlEncrypted) return "FTP";
    return "FTPS: " + s.Protocol + ", " + s.Cipher + (s.DataProtected ? ", PROT P" : ", PROT C");
}

std::string PanelDuration(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d Min", int(seconds / 3600 % 24), int(seconds / 60 % 60),
                  int(seconds % 60));
    return text;
}

std::string PanelNumber(int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    return (value < 0 ? "-" : "") + Grouped(digits, ' ');
}

std::string PanelSpeed(double kb) {
    if (!std::isfinite(kb) || kb <= 0) return "0 K/s";
    // Five significant digits first, then two decimals.
    int magnitude = int(std::floor(std::log10(kb)));
    double scale = std::pow(10.0, 4 - magnitude);
    double rounded = std::round(kb * scale) / scale;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", rounded);
    std::string s = text;
    size_t dot = s.find('.');
    return Grouped(s.substr(0, dot), ',') + s.substr(dot) + " K/s";
}

std::string TotalSpeedText(double kb) {
    if (!std::isfinite(kb) || kb <= 0) return "0 K/s";
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", kb);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s + " K/s";
}

TSessionFacts FactsOf(const policy::TAppClient& c) {
    TSessionFacts f;
    f.PeerAddr = c.PeerAddr();
    f.SessionStartTick = c.SessionStartTick;
    f.LastCommandTick = c.LastCommandTick;
    f.FilePath = c.FilePath;
    f.Download = c.DownloadFlag;
    f.Upload = c.UploadFlag;
    f.XferStartTick = c.XferStartTick;
    f.ByteCount = c.ByteCount;
    f.RestartPos = c.RestartPos;
    f.Received = c.DataSocket ? c.DataSocket->ReadCount() : 0;
    if (f.Download && !f.FilePath.empty()) {
        std::error_code error;
        auto size = std::filesystem::file_size(f.FilePath, error);
        f.FileSize = error ? 0 : int64_t(size);
    }
    f.SessionDownloadKB = c.SessionDownloadKB;
    f.SessionUploadKB = c.SessionUploadKB;
    f.TotalDownloadKB = c.TotalDownload;
    f.TotalUploadKB = c.TotalUpload;
    f.Security = policy::SecurityOf(c);
    return f;
}

TSessionPanel EmptySessionPanel(const config::TTranslate& translate) {
    TSessionPanel p;
    p.Connected = p.Idle = p.TransferTime = p.TimeLeft = PanelDuration(0);
    p.File = translate("sNoFile");
    p.Transferred = p.Size = "0";
    p.Speed = PanelSpeed(0);
    p.Status = translate("sNoTrans");
    p.SessionDownload = p.SessionUpload = p.TotalDownload = p.TotalUpload = Kilobytes(0);
    p.Encryption = EncryptionText({});
    return p;
}

TSessionPanel DescribeSession(const TSessionFacts& f, uint64_t now, const config::TTranslate& translate) {
    TSessionPanel p = EmptySessionPanel(translate);
    p.Host = f.PeerAddr;
    p.Connected = PanelDuration(Seconds(f.SessionStartTick, now));
    p.Idle = PanelDuration(Seconds(f.LastCommandTick, now));
    p.SessionDownload = Kilobytes(f.SessionDownloadKB);
    p.SessionUpload = Kilobytes(f.SessionUploadKB);
    p.TotalDownload = Kilobytes(f.TotalDownloadKB);
    p.TotalUpload = Kilobytes(f.TotalUploadKB);
    p.Encryption = EncryptionText(f.Security);
    if (!f.Download && !f.Upload) return p;

    if (!f.FilePath.empty()) p.File = f.FilePath;
    const int64_t secs = TransferSeconds(f.XferStartTick, now);
    p.TransferTime = PanelDuration(secs);
    if (f.Download) {
        p.Status = translate("sDown");
        p.Transferred = PanelNumber(f.ByteCount);
        p.Size = PanelNumber(f.FileSize);
        if (f.FileSize > 0) p.Progress = int(std::clamp<int64_t>(f.ByteCount * 100 / f.FileSize, 0, 100));
        if (secs > 0) {
            const int64_t moved = f.RestartPos != 0 ? f.ByteCount - f.RestartPos : f.ByteCount;
            p.Speed = PanelSpeed(double(moved) / double(secs) / 1024.0);
            const int64_t rate = f.ByteCount / secs;
            if (rate > 0 && f.FileSize >= f.ByteCount)
                p.TimeLeft = PanelDuration((f.FileSize - f.ByteCount) / rate);
        }
    } else {
        p.Status = translate("sUP");
        p.Transferred = PanelNumber(f.Received + f.RestartPos);
        if (secs > 0) p.Speed = PanelSpeed(double(f.Received) / double(secs) / 1024.0);
    }
    return p;
}

} // namespace vendrix::app
