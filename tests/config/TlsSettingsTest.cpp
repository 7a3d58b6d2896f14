#include <gtest/gtest.h>

#include "Paths.h"
#include "SettingsFile.h"
#include "TempFolder.h"
#include "TlsCertificate.h"
#include "TlsSettings.h"

#include <filesystem>
#include <sys/stat.h>

using namespace vendrix::config;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WriteText;

namespace {

TSettings Parse(const std::string& text) {
    return TSettings(std::make_shared<const TIniDocument>(TIniDocument::Parse(text)));
}

// A base folder with its "conf" folder.
struct TBase {
    TTempFolder Folder;
    TPaths Paths{Folder.Path()};
    TBase() { std::filesystem::create_directory(Folder.File("conf")); }
};

std::string StartError(const TTlsSettings& settings, const TPaths& paths) {
    try {
        LoadTlsCertificate(settings, paths, "ftp.example.test");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(TlsSettingsTest, ReadsTheTlsSection) {
    TTlsSettings defaults = ReadTlsSettings(TSettings());
    EXPECT_EQ(defaults.Mode, TTlsMode::Allowed);
    EXPECT_EQ(defaults.CertificateFile, "");
    EXPECT_EQ(defaults.KeyFile, "");
    EXPECT_EQ(defaults.ImplicitPort, 0);
    EXPECT_TRUE(defaults.RequireReuse);

    TTlsSettings s = ReadTlsSettings(Parse("[TLS]\nMode=Required\nCertificate=/etc/c.pem\nKey=/etc/k.pem\n"
                                           "ImplicitPort=990\nRequireReuse=0\n"));
    EXPECT_EQ(s.Mode, TTlsMode::Required);
    EXPECT_EQ(s.CertificateFile, "/etc/c.pem");
    EXPECT_EQ(s.KeyFile, "/etc/k.pem");
    EXPECT_EQ(s.ImplicitPort, 990);
    EXPECT_FALSE(s.RequireReuse);
}

TEST(TlsSettingsTest, ModeWords) {
    const struct {
        const char* Text;
        bool Known;
        TTlsMode Mode;
    } cases[] = {{"off", true, TTlsMode::Off},
                 {"ALLOWED", true, TTlsMode::Allowed},
                 {" required", true, TTlsMode::Required},
                 {"on", false, TTlsMode::Off},
                 {"", false, TTlsMode::Off},
                 {"requiredx", false, TTlsMode::Off}};
    for (const auto& c : cases) {
        TTlsMode mode = TTlsMode::Off;
        EXPECT_EQ(ParseTlsMode(c.Text, mode), c.Known) << c.Text;
        if (c.Known) {
            EXPECT_EQ(mode, c.Mode) << c.Text;
        }
    }
}

TEST(TlsSettingsTest, SelfSignedPairIsMadeOnceWithAnOwnerOnlyKey) {
    TBase base;
    TTlsCertificate first = LoadTlsCertificate(TTlsSettings(), base.Paths, "ftp.example.test");
    EXPECT_TRUE(first.Created);
    ASSERT_TRUE(first.Context);
    EXPECT_EQ(first.CertificateFile, base.Folder.File("conf/ftps-cert.pem"));
    EXPECT_EQ(first.Fingerprint.size(), 95u);
    struct stat st {};
    ASSERT_EQ(stat(base.Folder.File("conf/ftps-key.pem").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    TTlsCertificate again = LoadTlsCertificate(TTlsSettings(), base.Paths, "ftp.example.test");
    EXPECT_FALSE(again.Created);
    EXPECT_EQ(again.Fingerprint, first.Fingerprint);
}

TEST(TlsSettingsTest, ARenewedPairReplacesTheOldOneAndStaysOwnerOnly) {
    TBase base;
    const std::string keyFile = base.Folder.File("conf/ftps-key.pem");
    const std::string made = RenewSelfSignedCertificate(base.Paths, "ftp.example.test");
    EXPECT_EQ(made.size(), 95u);
    // Even a key file someone opened up goes back to owner-only.
    ASSERT_EQ(chmod(keyFile.c_str(), 0644), 0);
    const std::string renewed = RenewSelfSignedCertificate(base.Paths, "ftp.example.test");
    EXPECT_NE(renewed, made);
    struct stat st {};
    ASSERT_EQ(stat(keyFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    TTlsCertificate loaded = LoadTlsCertificate(TTlsSettings(), base.Paths, "ftp.example.test");
    EXPECT_FALSE(loaded.Created);
    EXPECT_EQ(loaded.Fingerprint, renewed);

    TTempFolder bare;
    EXPECT_THROW(RenewSelfSignedCertificate(TPaths(bare.Path()), "x"), std::runtime_error);
}

TEST(TlsSettingsTest, AConfiguredPairIsUsedAsItIs) {
    TBase base;
    std::string cert, key, error;
    ASSERT_TRUE(vendrix::net::MakeSelfSignedCertificate("own", 1, cert, key, error));
    WriteText(base.Folder.File("own-cert.pem"), cert);
    WriteText(base.Folder.File("own-key.pem"), key);
    TTlsSettings s;
    s.CertificateFile = base.Folder.File("own-cert.pem");
    s.KeyFile = base.Folder.File("own-key.pem");
    TTlsCertificate loaded = LoadTlsCertificate(s, base.Paths, "ignored");
    EXPECT_FALSE(loaded.Created);
    EXPECT_EQ(loaded.Fingerprint, vendrix::net::CertificateFingerprint(cert));
    EXPECT_FALSE(std::filesystem::exists(base.Folder.File("conf/ftps-cert.pem")));
}

TEST(TlsSettingsTest, AMissingOrBadCertificateIsAStartError) {
    TBase base;
    std::string cert, key, otherCert, otherKey, error;
    ASSERT_TRUE(vendrix::net::MakeSelfSignedCertificate("own", 1, cert, key, error));
    ASSERT_TRUE(vendrix::net::MakeSelfSignedCertificate("other", 1, otherCert, otherKey, error));
    WriteText(base.Folder.File("cert.pem"), cert);
    WriteText(base.Folder.File("key.pem"), key);
    WriteText(base.Folder.File("other-key.pem"), otherKey);
    WriteText(base.Folder.File("junk.pem"), "not a certificate\n");
    const std::string f = base.Folder.Path() + "/";
    const struct {
        const char* Mode;
        std::string Cert, Key, Error;
    } cases[] = {
        {"sometimes", "", "", "Unknown TLS mode \"sometimes\" (off, allowed or required)"},
        {"allowed", f + "cert.pem", "", "The TLS certificate and key files must be set together"},
        {"allowed", "", f + "key.pem", "The TLS certificate and key files must be set together"},
        {"required", f + "none.pem", f + "key.pem",
         "Cannot read the TLS certificate file \"" + f + "none.pem\""},
        {"required", f + "cert.pem", f + "none.pem", "Cannot read the TLS key file \"" + f + "none.pem\""},
        {"allowed", f + "junk.pem", f + "key.pem",
         "The TLS certificate \"" + f + "junk.pem\" cannot be used: no usable certificate"},
        {"allowed", f + "cert.pem", f + "junk.pem",
         "The TLS certificate \"" + f + "cert.pem\" cannot be used: no usable private key"},
        {"allowed", f + "cert.pem", f + "other-key.pem",
         "The TLS certificate \"" + f +
             "cert.pem\" cannot be used: the private key does not match the certificate"},
    };
    for (const auto& c : cases) {
        TTlsSettings s;
        s.ModeText = c.Mode;
        s.CertificateFile = c.Cert;
        s.KeyFile = c.Key;
        EXPECT_EQ(StartError(s, base.Paths), c.Error);
    }
    // Without "conf" the self-signed pair cannot be stored.
    TTempFolder bare;
    EXPECT_EQ(StartError(TTlsSettings(), TPaths(bare.Path()))
                  .rfind("Cannot store the self-signed TLS certificate: ", 0),
              0u);
}

} // namespace
