#include "TlsPolicy.h"

namespace vendrix::policy {

std::string TlsRefusal(config::TTlsMode mode, const ftp::TFtpCtrlSocket& client, const std::string& keyword) {
    if (mode != config::TTlsMode::Required) return {};
    if (keyword == "USER" && client.TlsState() != net::tlsEstablished) return kTlsRequiredForLogin;
    bool transfer = keyword == "RETR" || keyword == "STOR" || keyword == "APPE" || keyword == "STOU" ||
                    keyword == "LIST" || keyword == "NLST";
    if (transfer && !client.ProtPrivate) return kTlsRequiredForData;
    return {};
}

} // namespace vendrix::policy
