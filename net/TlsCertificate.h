// Certificates for the TLS mode: a self-signed one made on the spot (EC
// P-256, the host name as subject), and the SHA-256 fingerprint users
// compare with what their client shows.
#pragma once

#include <string>

namespace vendrix::net {

// A self-signed certificate for `commonName`, valid for `days` days from
// now, and its private key, both PEM. False with `error` set when OpenSSL
// refuses any step.
bool MakeSelfSignedCertificate(const std::string& commonName, int days, std::string& certPem,
                               std::string& keyPem, std::string& error);

// The SHA-256 fingerprint of the first certificate in `certPem` as upper-case
// hex pairs joined by colons; empty when there is no certificate.
std::string CertificateFingerprint(const std::string& certPem);

} // namespace vendrix::net
