#include "TlsCertificateNote.h"

#include "TextFile.h"
#include "TlsCertificate.h"
#include "TlsSettings.h"
#include "Translate.h"

#include <filesystem>

namespace vendrix::ui {

QString TlsCertificateNote(const config::TLanguage& language, const std::string& certificateFile,
                           const std::string& keyFile, const config::TPaths& paths) {
    auto say = [&](std::string_view key, const std::string& arg = {}) {
        return QString::fromStdString(config::FormatText(language.Translate(key), {arg}));
    };
    if (certificateFile.empty() != keyFile.empty()) return say("sTlsHalfPair");
    const bool selfSigned = certificateFile.empty();
    const std::string file = selfSigned ? config::SelfSignedCertificateFile(paths) : certificateFile;
    // The server makes the pair again when either half is missing.
    std::error_code error;
    if (selfSigned && !(std::filesystem::exists(file, error) &&
                        std::filesystem::exists(config::SelfSignedKeyFile(paths), error)))
        return say("sTlsNoCertYet");
    std::string pem;
    if (!config::ReadWholeFile(file, pem)) return say("sTlsCertUnreadable", file);
    const std::string fingerprint = net::CertificateFingerprint(pem);
    if (fingerprint.empty()) return say("sTlsCertBad", file);
    // Two lines of 16 pairs, so the dialog stays narrow; joined again they
    // give the fingerprint as clients show it.
    const std::size_t half = fingerprint.size() / 2 + 1;
    return say("sTlsFingerprint") + "\n" + QString::fromStdString(fingerprint.substr(0, half)) + "\n" +
           QString::fromStdString(fingerprint.substr(half));
}

} // namespace vendrix::ui
