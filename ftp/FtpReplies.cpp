#include "FtpReplies.h"

namespace vendrix::ftp::reply {

namespace {
std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}
std::string Num(int64_t v) {
    return std::to_string(v);
}
} // namespace

std::string NotUnderstood(const std::string& what) {
    return "500 '" + what + "': command not understood.";
}
std::string CommandError(const std::string& reason) {
    return "501 " + reason;
}
std::string PasswordRequired(const std::string& user) {
    return "331 Password required for " + user + ".";
}
std::string LoggedIn(const std::string& user) {
    return "230 User " + user + " logged in.";
}
std::string TypeSet(const std::string& params) {
    return "200 Type set to " + params + ".";
}
std::string StruIgnored(const std::string& params) {
    return "200 Ok. STRU parameter '" + params + "' ignored.";
}

std::string CwdFailed(const std::string& reason) {
    return "501 CWD failed. " + reason;
}
std::string CwdOk(const std::string& dir) {
    return "250 CWD command successful. \"" + dir + "\" is current directory.";
}
std::string CurrentDirectory(const std::string& dir) {
    return "257 \"" + dir + "\" is current directory.";
}
std::string CantCreateDirectory(const std::string& path) {
    return "550 " + Quoted(path) + ": can't create directory.";
}
std::string AlreadyExists(const std::string& path) {
    return "550 " + Quoted(path) + ": file or directory already exists.";
}
std::string DirectoryCreated(const std::string& path) {
    std::string quoted;
    for (char c : path)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return "257 \"" + quoted + "\" directory created.";
}
std::string NoSuchDirectory(const std::string& path) {
    return "550 " + Quoted(path) + ": No such Directory.";
}
std::string CantRemoveDirectory(const std::string& path) {
    return "550 " + Quoted(path) + ": can't remove directory.";
}
std::string DirectoryRemoved(const std::string& path) {
    return "250 " + Quoted(path) + ": directory removed.";
}
std::string NoSuchFile(const std::string& path) {
    return "550 " + Quoted(path) + ": no such file or directory.";
}
std::string CantDelete(const std::string& path) {
    return "450 File " + Quoted(path) + " can't be deleted.";
}
std::string Deleted(const std::string& path) {
    return "250 File " + Quoted(path) + " deleted.";
}
std::string RenameSourceMissing(const std::string& path) {
    return "550 " + Quoted(path) + ": No such File or Directory.";
}
std::string RenameTargetExists(const std::string& path) {
    return "553 " + Quoted(path) + ": file already exists.";
}
std::string Renamed(const std::string& from, const std::string& to) {
    return "250 File " + Quoted(from) + " renamed to " + Quoted(to) + ".";
}
std::string CantRename(const std::string& path) {
    return "450 File " + Quoted(path) + " can't be renamed.";
}
std::string FileStatus(const std::string& value) {
    return "213 " + value;
}
std::string CommandFailed(const std::string& reason) {
    return "550 Command failed: " + reason + ".";
}

std::string PassiveMode(const std::string& hostPart, int port) {
    return "227 Entering Passive Mode (" + hostPart + "," + Num(port / 256) + "," + Num(port % 256) + ").";
}
std::string PasvError(const std::string& reason) {
    return "500 PASV exception: '" + reason + "'.";
}
std::string ListFailed(const std::string& reason) {
    return "451 Failed: " + reason + ".";
}
std::string OpeningData(const std::string& name) {
    return "150 Opening data connection for " + name + ".";
}
std::string AppendReady(const std::string& name, int64_t offset) {
    return "150 APPE supported.  Ready to append file \"" + name + "\" at offset " + Num(offset) + ".";
}
std::string CannotTransfer(const std::string& word, const std::string& reason) {
    return "501 Cannot " + word + ". " + reason;
}
std::string RestInvalid(const std::string& params) {
    return "501 Syntax error in parameter: '" + params + "' is not a valid integer value.";
}
std::string RestReady(int64_t offset) {
    return "350 REST supported. Ready to resume at byte offset " + Num(offset) + ".";
}
std::string ConnectionClosed(const std::string& reason) {
    return "426 Connection closed; " + reason + ".";
}
std::string ConnectionError(int error) {
    return "426 Connection closed; transfer aborted. Error #" + Num(error);
}
std::string CannotOpen(const std::string& word, const std::string& reason) {
    return "550 Cannot " + word + ". " + reason;
}
std::string UniqueCreated(const std::string& name) {
    return "250 '" + name + "': file created.";
}

} // namespace vendrix::ftp::reply
