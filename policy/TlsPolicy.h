// What a server-wide TLS mode of "required" refuses: logging in before AUTH
// TLS, and transfers whose data connection would go unencrypted.
#pragma once

#include "FtpSrvC.h"
#include "TlsSettings.h"

#include <string>

namespace vendrix::policy {

inline constexpr char kTlsRequiredForLogin[] = "530 TLS is required on this server: use AUTH TLS first.";
inline constexpr char kTlsRequiredForData[] = "521 Data connections must be encrypted: use PROT P first.";

// The reply that refuses `keyword` (upper case) under `mode`; empty when the
// command may run.
std::string TlsRefusal(config::TTlsMode mode, const ftp::TFtpCtrlSocket& client, const std::string& keyword);

} // namespace vendrix::policy
