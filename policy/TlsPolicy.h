// What TLS requires, server-wide (the mode "required") or for one account
// (its "RequireTLS" switch): logging in before AUTH TLS is refused, and so
// are transfers whose data connection would go unencrypted. And what a view
// shows of a session's encryption.
#pragma once

#include "FtpSrvC.h"
#include "TlsSettings.h"

#include <string>

namespace vendrix::policy {

inline constexpr char kTlsRequiredForLogin[] = "530 TLS is required on this server: use AUTH TLS first.";
inline constexpr char kTlsRequiredForAccount[] = "530 TLS is required for this account: use AUTH TLS first.";
inline constexpr char kTlsRequiredForData[] = "521 Data connections must be encrypted: use PROT P first.";

// The reply that refuses `keyword` (upper case) under the server's `mode`
// and the account's switch (for USER the switch of the account it names,
// afterwards the logged-in account's); empty when the command may run.
std::string TlsRefusal(config::TTlsMode mode, bool accountRequiresTls, const ftp::TFtpCtrlSocket& client,
                       const std::string& keyword);

// A session's encryption as the information panel shows it.
struct TSessionSecurity {
    bool ControlEncrypted = false; // the control connection runs TLS
    bool Implicit = false;         // by the implicit FTPS port
    std::string Protocol;          // "TLSv1.3"; empty when plain
    std::string Cipher;
    bool DataProtected = false; // PROT P: data connections run TLS too

    bool operator==(const TSessionSecurity&) const = default;
};

TSessionSecurity SecurityOf(const ftp::TFtpCtrlSocket& client);

} // namespace vendrix::policy
