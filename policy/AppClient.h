// The session record of the policy layer: the engine's session with the
// fields the application keeps per client (login bookkeeping, totals,
// transfer state, the upload quota).
#pragma once

#include "FtpSrvC.h"
#include "UploadQuota.h"

#include <cstdint>
#include <string>

namespace vendrix::policy {

// The session record with the fields the application adds to it.
class TAppClient : public ftp::TFtpCtrlSocket {
public:
    using ftp::TFtpCtrlSocket::TFtpCtrlSocket;

    // The session has a user-list row and is counted (first successful login).
    bool UserListed = false;
    // The account name as the session counted it (the name sent with USER).
    std::string CountedName;
    // The account's running totals in kilobytes, loaded at login.
    int64_t TotalDownload = 0;
    int64_t TotalUpload = 0;
    // Kilobytes this session moved that the account file does not hold yet.
    // Totals are written as file value plus these, so sessions of one account
    // never overwrite each other's additions.
    int64_t UnsavedDownloadKB = 0;
    int64_t UnsavedUploadKB = 0;
    // Transfer bookkeeping.
    bool DownloadFlag = false;
    bool UploadFlag = false;
    uint64_t XferStartTick = 0;
    int64_t SessionDownloadKB = 0;
    int64_t SessionUploadKB = 0;
    // ByteCount when the current transfer started: its speed counts only the
    // bytes this transfer moved.
    int64_t XferStartBytes = 0;
    // The last download block was released at once (no speed cap): the
    // limiter's timer must not release it a second time.
    bool ReleasePending = false;
    // The logged-in account's "RequireTLS": its transfers need PROT P.
    bool AccountRequiresTls = false;
    // The home tree size during an upload of an account with a quota.
    TUploadQuota UploadQuota;
    // The log line of a file action (MKD, DELE, RMD, RNTO) that the policy
    // allowed: written once the command's reply tells whether it happened.
    std::string PendingActionKey;
    std::string PendingActionFile;
};

} // namespace vendrix::policy
