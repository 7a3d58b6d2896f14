// The program's name and version, as shown in the greeting, the log header
// and the About box.
#pragma once

namespace vendrix::config {

inline constexpr const char* kProductName = "Vendrix FTP Server";
inline constexpr const char* kProgramVersion = "1.50 Alpha 2";

} // namespace vendrix::config
