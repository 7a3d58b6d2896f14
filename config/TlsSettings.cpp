#include "TlsSettings.h"

#include "AsciiText.h"
#include "AtomicFile.h"
#include "TextFile.h"
#include "TlsCertificate.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::config {

namespace {
// Ten years: a self-signed certificate is trusted by its fingerprint, and a
// new one would make every client ask again.
constexpr int kSelfSignedDays = 3650;

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The key goes through a file made owner-only first, so it is never readable
// by others, not even for a moment.
void WriteKeyFile(const std::string& path, const std::string& pem) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || fchmod(fd, 0600) != 0) {
        int err = errno;
        if (fd >= 0) close(fd);
        throw std::runtime_error("Cannot write the TLS key file \"" + path + "\": " + std::strerror(err));
    }
    close(fd);
    WriteFileAtomic(path, pem);
}

std::string MakeSelfSigned(const TPaths& paths, const std::string& hostName) {
    std::string cert, key, error;
    std::string certFile = SelfSignedCertificateFile(paths);
    if (!net::MakeSelfSignedCertificate(hostName.empty() ? "localhost" : hostName, kSelfSignedDays, cert, key,
                                        error))
        throw std::runtime_error("Cannot make the self-signed TLS certificate: " + error);
    try {
        WriteKeyFile(SelfSignedKeyFile(paths), key);
        WriteFileAtomic(certFile, cert);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string("Cannot store the self-signed TLS certificate: ") + e.what());
    }
    return cert;
}
} // namespace

bool ParseTlsMode(const std::string& text, TTlsMode& mode) {
    std::string_view word = net::TrimControl(text);
    if (net::EqualsNoCase(word, "off")) {
        mode = TTlsMode::Off;
    } else if (net::EqualsNoCase(word, "allowed")) {
        mode = TTlsMode::Allowed;
    } else if (net::EqualsNoCase(word, "required")) {
        mode = TTlsMode::Required;
    } else {
        return false;
    }
    return true;
}

TTlsSettings ReadTlsSettings(const TSettings& settings) {
    TTlsSettings result;
    result.ModeText = settings.ReadString(TSetting::TlsMode);
    if (!ParseTlsMode(result.ModeText, result.Mode)) result.Mode = TTlsMode::Allowed;
    result.CertificateFile = settings.ReadString(TSetting::TlsCertificate);
    result.KeyFile = settings.ReadString(TSetting::TlsKey);
    result.ImplicitPort = settings.ReadInteger(TSetting::TlsImplicitPort);
    result.RequireReuse = settings.ReadBool(TSetting::TlsRequireReuse);
    return result;
}

std::string SelfSignedCertificateFile(const TPaths& paths) {
    return paths.BaseFolder() + "/conf/ftps-cert.pem";
}

std::string SelfSignedKeyFile(const TPaths& paths) {
    return paths.BaseFolder() + "/conf/ftps-key.pem";
}

std::string RenewSelfSignedCertificate(const TPaths& paths, const std::string& hostName) {
    return net::CertificateFingerprint(MakeSelfSigned(paths, hostName));
}

TTlsCertificate LoadTlsCertificate(const TTlsSettings& settings, const TPaths& paths,
                                   const std::string& hostName) {
    TTlsMode mode;
    if (!ParseTlsMode(settings.ModeText, mode))
        throw std::runtime_error("Unknown TLS mode \"" + settings.ModeText + "\" (off, allowed or required)");
    bool ownPair = !settings.CertificateFile.empty() || !settings.KeyFile.empty();
    if (ownPair && (settings.CertificateFile.empty() || settings.KeyFile.empty()))
        throw std::runtime_error("The TLS certificate and key files must be set together");
    TTlsCertificate result;
    result.CertificateFile = ownPair ? settings.CertificateFile : SelfSignedCertificateFile(paths);
    std::string keyFile = ownPair ? settings.KeyFile : SelfSignedKeyFile(paths);
    std::string cert, key;
    if (!ownPair && !(Exists(result.CertificateFile) && Exists(keyFile))) {
        cert = MakeSelfSigned(paths, hostName);
        result.Created = true;
    } else if (!ReadWholeFile(result.CertificateFile, cert)) {
        throw std::runtime_error("Cannot read the TLS certificate file \"" + result.CertificateFile + "\"");
    }
    if (!ReadWholeFile(keyFile, key))
        throw std::runtime_error("Cannot read the TLS key file \"" + keyFile + "\"");
    std::string error;
    result.Context = net::TTlsContext::Server(cert, key, error);
    if (!result.Context)
        throw std::runtime_error("The TLS certificate \"" + result.CertificateFile +
                                 "\" cannot be used: " + error);
    result.Fingerprint = net::CertificateFingerprint(cert);
    return result;
}

} // namespace vendrix::config
