// What the TLS modes refuse before TLS is in use (a TLS session's own
// answers run in tests/e2e/test_ftps.py against the real daemon).
#include <gtest/gtest.h>

#include "TlsPolicy.h"

using namespace vendrix;
using namespace vendrix::policy;

namespace {

TEST(TlsPolicy, RefusalsByModeWithoutTls) {
    const struct {
        config::TTlsMode Mode;
        const char* Keyword;
        bool ProtPrivate;
        const char* Reply;
    } cases[] = {
        {config::TTlsMode::Off, "USER", false, ""},
        {config::TTlsMode::Allowed, "USER", false, ""},
        {config::TTlsMode::Allowed, "RETR", false, ""},
        {config::TTlsMode::Required, "USER", false, kTlsRequiredForLogin},
        {config::TTlsMode::Required, "AUTH", false, ""},
        {config::TTlsMode::Required, "NOOP", false, ""},
        {config::TTlsMode::Required, "FEAT", false, ""},
        {config::TTlsMode::Required, "RETR", false, kTlsRequiredForData},
        {config::TTlsMode::Required, "STOR", false, kTlsRequiredForData},
        {config::TTlsMode::Required, "APPE", false, kTlsRequiredForData},
        {config::TTlsMode::Required, "STOU", false, kTlsRequiredForData},
        {config::TTlsMode::Required, "LIST", false, kTlsRequiredForData},
        {config::TTlsMode::Required, "NLST", false, kTlsRequiredForData},
        {config::TTlsMode::Required, "LIST", true, ""},
        {config::TTlsMode::Required, "CWD", false, ""},
    };
    ftp::TFtpCtrlSocket client(nullptr);
    for (const auto& c : cases) {
        client.ProtPrivate = c.ProtPrivate;
        EXPECT_EQ(TlsRefusal(c.Mode, client, c.Keyword), c.Reply) << c.Keyword << " " << int(c.Mode);
    }
    EXPECT_STREQ(kTlsRequiredForLogin, "530 TLS is required on this server: use AUTH TLS first.");
    EXPECT_STREQ(kTlsRequiredForData, "521 Data connections must be encrypted: use PROT P first.");
}

} // namespace
