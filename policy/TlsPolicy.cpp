#include "TlsPolicy.h"

namespace vendrix::policy {

std::string TlsRefusal(config::TTlsMode mode, bool accountRequiresTls, const ftp::TFtpCtrlSocket& client,
                       const std::string& keyword) {
    if (mode != config::TTlsMode::Required && !accountRequiresTls) return {};
    if (keyword == "USER" && client.TlsState() != net::tlsEstablished)
        return mode == config::TTlsMode::Required ? kTlsRequiredForLogin : kTlsRequiredForAccount;
    bool transfer = keyword == "RETR" || keyword == "STOR" || keyword == "APPE" || keyword == "STOU" ||
                    keyword == "LIST" || keyword == "NLST" || keyword == "MLSD";
    if (transfer && !client.ProtPrivate) return kTlsRequiredForData;
    return {};
}

TSessionSecurity SecurityOf(const ftp::TFtpCtrlSocket& client) {
    TSessionSecurity s;
    s.ControlEncrypted = client.TlsState() == net::tlsEstablished;
    if (!s.ControlEncrypted) return s;
    s.Implicit = client.ImplicitTls;
    s.Protocol = client.TlsVersion();
    s.Cipher = client.TlsCipher();
    s.DataProtected = client.ProtPrivate;
    return s;
}

} // namespace vendrix::policy
