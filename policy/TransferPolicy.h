// Transfer accounting: marks downloads and uploads as running, logs their
// start and end with speed and size, adds the kilobytes to the session's and
// the account's totals, plays the download sounds, enforces the upload quota
// and decorates the "226" and "221" replies.
#pragma once

#include "WSocket.h"

#include <cstdint>
#include <map>
#include <string>

namespace vendrix::policy {

class TFtpController;
class TAppClient;

class TTransferPolicy {
public:
    explicit TTransferPolicy(TFtpController& owner) : FOwner(owner) {}

    // The quota check before an upload is allowed; refuses with a "452" line.
    void ValidatePut(TAppClient& client, const std::string& filePath, bool& allowed);
    void StorSessionConnected(TAppClient& client, net::TWSocket& data, uint16_t error);
    // Raises when the block would exceed the quota: the engine then neither
    // writes it nor keeps the data connection.
    void StorDataAvailable(TAppClient& client, net::TWSocket& data, const char* buf, int len, uint16_t error);
    void StorSessionClosed(TAppClient& client, net::TWSocket& data, uint16_t error);
    void RetrSessionConnected(TAppClient& client, net::TWSocket& data, uint16_t error);
    void RetrDataSent(TAppClient& client, net::TWSocket& data, uint16_t error);
    void RetrSessionClosed(TAppClient& client, net::TWSocket& data, uint16_t error);
    // Replies "226" (ratio and quota lines) and "221" (goodbye text).
    void DecorateAnswer(TAppClient& client, std::string& answer);

private:
    // A client event line: the account name, the file and `more` arguments.
    void LogEvent(TAppClient& client, const char* key, const std::string& more = std::string());
    // Sends a line at once, ahead of the engine's reply.
    void SendLine(TAppClient& client, const std::string& line);
    // Large blocks released at once without a cap; under a cap, small blocks
    // that only the limiter's timer releases. Returns whether capped.
    bool ChooseBlockSize(TAppClient& client, net::TWSocket& data);
    void ReleaseListingStream(TAppClient& client);

    // Bytes stored by the uploads of each account (upper-case name) since the
    // server was created; only differences of it are ever used.
    int64_t& SharedStored(const TAppClient& client);

    TFtpController& FOwner;
    std::map<std::string, int64_t> FSharedStored;
};

} // namespace vendrix::policy
