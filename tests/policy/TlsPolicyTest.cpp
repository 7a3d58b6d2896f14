// What the TLS mode and an account's switch refuse before TLS is in use (a
// TLS session's own answers run in tests/e2e/test_ftps.py against the real
// daemon).
#include <gtest/gtest.h>

#include "TlsPolicy.h"

using namespace vendrix;
using namespace vendrix::policy;

namespace {

TEST(TlsPolicy, RefusalsByModeAndAccountWithoutTls) {
    using config::TTlsMode;
    const struct {
        TTlsMode Mode;
        bool Account; // the account's RequireTLS
        const char* Keyword;
        bool ProtPrivate;
        const char* Reply;
    } cases[] = {
        {TTlsMode::Off, false, "USER", false, ""},
        {TTlsMode::Allowed, false, "USER", false, ""},
        {TTlsMode::Allowed, false, "RETR", false, ""},
        {TTlsMode::Required, false, "USER", false, kTlsRequiredForLogin},
        {TTlsMode::Required, true, "USER", false, kTlsRequiredForLogin},
        {TTlsMode::Required, false, "AUTH", false, ""},
        {TTlsMode::Required, false, "NOOP", false, ""},
        {TTlsMode::Required, false, "FEAT", false, ""},
        {TTlsMode::Required, false, "RETR", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "STOR", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "APPE", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "STOU", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "LIST", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "NLST", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "MLSD", false, kTlsRequiredForData},
        {TTlsMode::Required, false, "LIST", true, ""},
        {TTlsMode::Required, false, "CWD", false, ""},
        // One account's switch, whatever the server's mode (with TLS off
        // such an account cannot log in at all).
        {TTlsMode::Allowed, true, "USER", false, kTlsRequiredForAccount},
        {TTlsMode::Off, true, "USER", false, kTlsRequiredForAccount},
        {TTlsMode::Allowed, true, "PASS", false, ""},
        {TTlsMode::Allowed, true, "RETR", false, kTlsRequiredForData},
        {TTlsMode::Allowed, true, "MLSD", false, kTlsRequiredForData},
        {TTlsMode::Allowed, true, "RETR", true, ""},
        {TTlsMode::Allowed, true, "PWD", false, ""},
    };
    ftp::TFtpCtrlSocket client(nullptr);
    for (const auto& c : cases) {
        client.ProtPrivate = c.ProtPrivate;
        EXPECT_EQ(TlsRefusal(c.Mode, c.Account, client, c.Keyword), c.Reply)
            << c.Keyword << " mode " << int(c.Mode) << " account " << c.Account;
    }
    EXPECT_STREQ(kTlsRequiredForLogin, "530 TLS is required on this server: use AUTH TLS first.");
    EXPECT_STREQ(kTlsRequiredForAccount, "530 TLS is required for this account: use AUTH TLS first.");
    EXPECT_STREQ(kTlsRequiredForData, "521 Data connections must be encrypted: use PROT P first.");
}

TEST(TlsPolicy, APlainSessionShowsNoEncryption) {
    ftp::TFtpCtrlSocket client(nullptr);
    client.ProtPrivate = true; // only counts over TLS
    EXPECT_EQ(SecurityOf(client), TSessionSecurity());
}

} // namespace
