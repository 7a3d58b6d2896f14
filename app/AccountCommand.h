// "vendrix-ftpd user ...": the accounts of a base folder from the command
// line, checked by the same rules as the user setup dialog and saved the
// same way (the whole file replaced at once), so a running server sees a
// change from its next command.
//
//   user add NAME --home DIR [--rights LETTERS] [--virtual] [--require-tls] [--password-stdin]
//   user passwd NAME [--password-stdin]
//   user list | user show NAME | user del NAME
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vendrix::app {

// The rights of an account added without --rights: download, on the home
// folder and below.
inline constexpr const char* kDefaultRights = "DS";

struct TCommandIo {
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
    // Asks for a new password when --password-stdin is not given; nothing
    // when there is no one to ask.
    std::function<std::optional<std::string>()> AskPassword;
};

// `args` are the words after "user". Returns the exit status: 0 done, 1 the
// change was refused (unknown account, unreadable file, ...), 2 the command
// was malformed.
int RunUserCommand(const std::string& base, const std::vector<std::string>& args, const TCommandIo& io);

} // namespace vendrix::app
