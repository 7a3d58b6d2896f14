// Where the running instance of a base folder listens for control requests.
//
// The socket lives in a folder only its owner may enter:
// "$XDG_RUNTIME_DIR/vendrix-ftp/" when that variable names a folder, else
// "vendrix-ftp-UID/" in the system's temporary folder (the user id keeps one
// user from blocking another's folder). The file is named by a 64-bit FNV-1a
// hash of the base folder, because a socket path must stay short.
#pragma once

#include <string>

namespace vendrix::app {

// The folder that holds the control sockets, with a trailing "/".
std::string ControlFolder();

// The base folder made absolute with symbolic links resolved, with one
// trailing "/": every spelling of one folder names one instance.
std::string NormalControlBase(const std::string& baseFolder);

// The socket of the instance running for baseFolder.
std::string ControlSocketPath(const std::string& baseFolder);

// Sixteen lower-case hexadecimal digits of the 64-bit FNV-1a hash.
std::string Fnv1a64Hex(const std::string& text);

// Throws std::runtime_error unless folder is a real directory (not a link)
// owned by this user that nobody else may enter. With create, a missing
// folder is made first, for the owner only.
void CheckControlFolder(const std::string& folder, bool create);

} // namespace vendrix::app
