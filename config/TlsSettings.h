// The server's TLS settings and its certificate: the mode, where the PEM
// certificate chain and key lie, and the context every encrypted connection
// uses. With no paths set, the server makes a self-signed pair in "conf" the
// first time it needs one and reuses it at every later start.
#pragma once

#include "Paths.h"
#include "SettingsFile.h"
#include "TlsContext.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vendrix::config {

enum class TTlsMode { Off, Allowed, Required };

struct TTlsSettings {
    TTlsMode Mode = TTlsMode::Allowed;
    std::string ModeText = "allowed"; // as written, for the error on an unknown mode
    std::string CertificateFile;      // empty: the self-signed pair in "conf"
    std::string KeyFile;
    int32_t ImplicitPort = 0; // 0: off
    bool RequireReuse = true;
};

TTlsSettings ReadTlsSettings(const TSettings& settings);

// "off", "allowed" or "required" in any case; false for anything else.
bool ParseTlsMode(const std::string& text, TTlsMode& mode);

// The files of the self-signed pair.
std::string SelfSignedCertificateFile(const TPaths& paths); // conf/ftps-cert.pem
std::string SelfSignedKeyFile(const TPaths& paths);         // conf/ftps-key.pem

// Makes a new self-signed pair for `hostName` in place of the one in "conf"
// (made or not), the key file readable only by its owner, and returns the
// new certificate's fingerprint. Clients that trusted the old certificate
// will warn; a running server keeps the old one until it starts again.
// Throws std::runtime_error, saying why, when it cannot.
std::string RenewSelfSignedCertificate(const TPaths& paths, const std::string& hostName);

struct TTlsCertificate {
    std::unique_ptr<net::TTlsContext> Context;
    std::string CertificateFile;
    std::string Fingerprint; // SHA-256, colon hex
    bool Created = false;    // made at this start
};

// The certificate for a start with TLS on: the configured pair, or the
// self-signed one (made now, for `hostName`, when it is missing). Throws
// std::runtime_error with a message fit for the log when the mode is unknown,
// only one path is set, or a file is missing, unreadable or unusable: TLS
// never falls back to plain text in silence.
TTlsCertificate LoadTlsCertificate(const TTlsSettings& settings, const TPaths& paths,
                                   const std::string& hostName);

} // namespace vendrix::config
