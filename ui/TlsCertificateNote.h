// The line under the server setup dialog's TLS fields: the SHA-256
// fingerprint of the certificate the fields name (the self-signed one in
// "conf" when both are empty), for users to compare with what their client
// shows, or why there is none yet.
#pragma once

#include <QString>
#include <string>

#include "LanguageFile.h"
#include "Paths.h"

namespace vendrix::ui {

QString TlsCertificateNote(const config::TLanguage& language, const std::string& certificateFile,
                           const std::string& keyFile, const config::TPaths& paths);

} // namespace vendrix::ui
