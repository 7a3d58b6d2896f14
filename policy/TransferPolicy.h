// Transfer accounting: marks downloads and uploads as running, logs their
// start and end with speed and size, adds the kilobytes to the session's and
// the account's totals, plays the download sounds, enforces the upload quota
// and decorates the "226" and "221" replies.
#pragma once

#include "WSocket.h"

#include <string>

namespace vendrix::policy {

class TFtpController;
class TAppClient;

class TTransferPolicy {
public:
    explicit TTransferPolicy(TFtpController& owner) : FOwner(owner) {}

    void StorSessionConnected(TAppClient& client, net::TWSocket& data, uint16_t error);
    void StorDataAvailable(TAppClient& client, net::TWSocket& data, const char* buf, int len, uint16_t error);
    void StorSessionClosed(TAppClient& client, net::TWSocket& data, uint16_t error);
    void RetrSessionConnected(TAppClient& client, net::TWSocket& data, uint16_t error);
    void RetrDataSent(TAppClient& client, net::TWSocket& data, uint16_t error);
    void RetrSessionClosed(TAppClient& client, net::TWSocket& data, uint16_t error);
    // Replies "226" (ratio and quota lines) and "221" (goodbye text).
    void DecorateAnswer(TAppClient& client, std::string& answer);

private:
    TFtpController& FOwner;
};

} // namespace vendrix::policy
