#include "TransferPolicy.h"

#include "FtpController.h"

#include "CaseInsensitive.h"
#include "FtpSrvT.h"
#include "HomeTree.h"
#include "NumberFormat.h"
#include "TextFile.h"
#include "TransferReplies.h"
#include "TransferSpeed.h"

#include <algorithm>
#include <stdexcept>

namespace vendrix::policy {

namespace {
// A listing built by the path policy marks its stream with this value.
constexpr int32_t kListingStream = 99;

std::string NamePart(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int64_t SizeOrZero(const std::string& path) {
    return std::max<int64_t>(ftp::GetFileSize(path), 0);
}

// " (speed K/s - size bytes)": `bytes` over `seconds` (at least one).
std::string Tail(int64_t bytes, int64_t seconds) {
    double speed = double(bytes) / double(std::max<int64_t>(seconds, 1)) / 1024.0;
    return " (" + log::FormatSpeed(speed) + " K/s - " + log::FormatGrouped(bytes) + " bytes)";
}
} // namespace

void TTransferPolicy::LogEvent(TAppClient& client, const char* key, const std::string& more) {
    std::vector<std::string> args{FOwner.ClientSegment(config::UpperCase(client.UserName)),
                                  FOwner.FileSegment(client.FilePath)};
    if (!more.empty()) args.push_back(more);
    FOwner.LogClient(client.ID, config::FormatText(FOwner.Translate(key), args));
}

void TTransferPolicy::SendLine(TAppClient& client, const std::string& line) {
    try {
        client.SendText(line + "\r\n");
    } catch (const std::exception&) {
        // The control connection is gone; the engine's own reply fails alike.
    }
}

void TTransferPolicy::ReleaseListingStream(TAppClient& client) {
    if (client.UserData != kListingStream) return;
    client.DataStream.reset();
    client.UserData = 0;
}

bool TTransferPolicy::ChooseBlockSize(TAppClient& client, net::TWSocket& data) {
    bool capped = FOwner.SpeedLimiter().Capped(client);
    int32_t size = capped ? client.RcvSize() : FOwner.Server().XferBlockSize;
    if (client.XferBlockSize != size) {
        client.XferBlockSize = size;
        data.SetSendBlockSize(size);
    }
    return capped;
}

// --- downloads ---------------------------------------------------------------------

void TTransferPolicy::RetrSessionConnected(TAppClient& client, net::TWSocket& data, uint16_t) {
    FOwner.SpeedLimiter().Track(client.ID);
    // Listings too: their blocks are paced like a file's.
    ChooseBlockSize(client, data);
    client.ReleasePending = false;
    // The engine counts every data connection's bytes from 0.
    client.XferStartBytes = 0;
    if (!client.DownloadFlag) return;
    if (client.RestartPos != 0)
        LogEvent(client, "sRetrRes", log::FormatGrouped(client.RestartPos));
    else
        LogEvent(client, "sRetrStart");
    client.XferStartTick = FOwner.SpeedLimiter().Now();
    FOwner.PlayEventSound(TSoundEvent::DownStart);
}

void TTransferPolicy::RetrDataSent(TAppClient& client, net::TWSocket& data, uint16_t) {
    client.ResetIdle();
    // Without a cap the next block goes at once (posted, so after this
    // handler); under a cap the limiter's timer releases it.
    client.ReleasePending = !ChooseBlockSize(client, data);
    if (client.ReleasePending) FOwner.Server().SendNextDataBlock(client, data);
}

void TTransferPolicy::RetrSessionClosed(TAppClient& client, net::TWSocket&, uint16_t error) {
    ReleaseListingStream(client);
    client.ReleasePending = false;
    if (!client.DownloadFlag) return;
    const uint64_t now = FOwner.SpeedLimiter().Now();
    const bool failed = error != 0 || client.AbortingTransfer;
    const bool underOneSecond = UnderOneSecond(client.XferStartTick, now);
    const int64_t seconds = ElapsedSeconds(client.XferStartTick, now);
    // A failure shows the bytes that really left (the engine counts what the
    // kernel took); a complete download shows the file.
    const int64_t shown = failed ? client.ByteCount : SizeOrZero(client.FilePath);
    FOwner.LogClient(client.ID, config::FormatText(FOwner.Translate(failed ? "sRetrFail" : "sRetrOK"),
                                                   {FOwner.ClientSegment(config::UpperCase(client.UserName)),
                                                    FOwner.FileSegment(client.FilePath)}) +
                                    Tail(shown, underOneSecond ? 1 : seconds));

    // The engine's count holds this connection's bytes only, so a resumed
    // download adds what it sent, not the offset it started from.
    const int64_t kilobytes = std::max<int64_t>(client.ByteCount, 0) / 1024;
    client.SessionDownloadKB += kilobytes;
    client.UnsavedDownloadKB += kilobytes;
    FOwner.AddToTotalsAfterReply(client);
    client.DownloadFlag = false;
    client.ResetIdle();
    FOwner.PlayEventSound(TSoundEvent::DownEnd);
}

// --- uploads ---------------------------------------------------------------------------

void TTransferPolicy::ValidatePut(TAppClient& client, const std::string& filePath, bool& allowed) {
    client.UploadQuota.Reset();
    const int64_t quota = FOwner.AccountFile().Account(client.UserName).ReadInt64(config::TAccountKey::Quota);
    if (quota == 0) return;
    const int64_t used =
        RoundedKB(client.UploadQuota.Measure(client.HomeDir, filePath, SharedStored(client)));
    if (used <= quota) return;
    SendLine(client,
             "452 Sorry, insufficient disk quota - receiving file " + NamePart(filePath) + " aborted.");
    allowed = false;
}

void TTransferPolicy::StorSessionConnected(TAppClient& client, net::TWSocket&, uint16_t) {
    FOwner.SpeedLimiter().Track(client.ID);
    if (!client.UploadFlag) return;
    const bool resumed = client.RestartPos != 0 || client.XferCmdType == ftp::ftpcAPPE;
    const int64_t size = SizeOrZero(client.FilePath);
    if (resumed) {
        client.ByteCount = size;
        LogEvent(client, "sStorRes", log::FormatGrouped(client.RestartPos));
    } else {
        client.ByteCount = 0;
        LogEvent(client, "sStorStart");
    }
    client.XferStartTick = FOwner.SpeedLimiter().Now();
    client.XferStartBytes = client.ByteCount;
    // The engine opened the file with the command: kept for APPE and after
    // REST, emptied otherwise.
    const bool kept = client.XferCmdType == ftp::ftpcAPPE || client.RestartPos >= 1;
    client.UploadQuota.Begin(kept ? size : 0, kept ? client.RestartPos : 0);
}

void TTransferPolicy::StorDataAvailable(TAppClient& client, net::TWSocket&, const char*, int len, uint16_t) {
    const int64_t quota = FOwner.AccountFile().Account(client.UserName).ReadInt64(config::TAccountKey::Quota);
    if (quota != 0 && client.UploadFlag) {
        int64_t& shared = SharedStored(client);
        if (!client.UploadQuota.Measured())
            client.UploadQuota.Measure(client.HomeDir, client.FilePath, shared);
        const int64_t written = client.ByteCount - client.XferStartBytes;
        if (RoundedKB(client.UploadQuota.UsedBytes(written, shared)) + RoundedKB(len) > quota) {
            SendLine(client, "452 Sorry, insufficient disk quota - receive file " +
                                 NamePart(client.FileName) + " aborted.");
            // The block is not stored and the data connection is closed, so
            // the client stops sending into a transfer that is over.
            throw std::runtime_error("Insufficient disk quota");
        }
        client.UploadQuota.Stored(len);
        shared += len;
    }
    client.ResetIdle();
}

void TTransferPolicy::StorSessionClosed(TAppClient& client, net::TWSocket& data, uint16_t error) {
    ReleaseListingStream(client);
    if (!client.UploadFlag) return;
    const uint64_t now = FOwner.SpeedLimiter().Now();
    const bool failed = error != 0 || client.AbortingTransfer;
    const int64_t seconds =
        UnderOneSecond(client.XferStartTick, now) ? 1 : ElapsedSeconds(client.XferStartTick, now);
    FOwner.LogClient(client.ID, config::FormatText(FOwner.Translate(failed ? "sStorFail" : "sStorOK"),
                                                   {FOwner.ClientSegment(config::UpperCase(client.UserName)),
                                                    FOwner.FileSegment(client.FilePath)}) +
                                    Tail(failed ? data.ReadCount() : SizeOrZero(client.FilePath), seconds));

    // What arrived on this data connection, a refused block included.
    const int64_t kilobytes = data.ReadCount() / 1024;
    client.SessionUploadKB += kilobytes;
    client.UnsavedUploadKB += kilobytes;
    FOwner.AddToTotalsAfterReply(client);
    client.ResetIdle();
    client.UploadFlag = false;
    client.UploadQuota.Reset();
}

int64_t& TTransferPolicy::SharedStored(const TAppClient& client) {
    return FSharedStored[config::UpperCase(client.UserName)];
}

// --- replies -------------------------------------------------------------------------------

void TTransferPolicy::DecorateAnswer(TAppClient& client, std::string& answer) {
    const bool loggedIn = client.FtpState == ftp::ftpcReady;
    if (answer.rfind("226", 0) == 0) {
        if (!loggedIn) return;
        config::TAccount account = FOwner.AccountFile().Account(client.UserName);
        std::string lines;
        if (account.ReadBool(config::TAccountKey::Ratio))
            lines += RatioLines(account.ReadInteger(config::TAccountKey::Up),
                                account.ReadInteger(config::TAccountKey::Down),
                                account.ReadInteger(config::TAccountKey::TypeRatio));
        const int64_t quota = account.ReadInt64(config::TAccountKey::Quota);
        if (quota != 0) lines += QuotaLines(quota, HomeTreeBytes(client.HomeDir));
        answer = lines + answer;
    } else if (answer.rfind("221", 0) == 0) {
        // Only a logged-in session gets its account's text: before the
        // password, it would tell whether an account of that name exists.
        std::string file =
            loggedIn
                ? FOwner.AccountFile().Account(client.UserName).ReadString(config::TAccountKey::ExitMessage)
                : std::string();
        if (file.empty()) file = FOwner.SettingsFile().ReadString(config::TSetting::ExitMessage);
        if (file.empty() || !ftp::FileExists(file)) return;
        answer = GoodbyeReply(config::ReadTextLines(file));
    }
}

} // namespace vendrix::policy
