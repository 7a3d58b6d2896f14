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

std::string WithTlsFeatures(const std::string& features) {
    size_t last = features.rfind("\r\n");
    if (last == std::string::npos) return features;
    std::string lines;
    for (const char* line : kTlsFeatureLines)
        lines += std::string("\r\n") + line;
    return features.substr(0, last) + lines + features.substr(last);
}

std::string OnWire(const std::string& answer) {
    const bool multiLine = answer.size() >= 4 && answer[3] == '-' && answer[0] >= '0' && answer[0] <= '9';
    std::string out;
    out.reserve(answer.size());
    for (size_t i = 0; i < answer.size(); ++i) {
        char c = answer[i];
        if (c == '\0') continue;
        if (c != '\r' && c != '\n') {
            out += c;
            continue;
        }
        while (i + 1 < answer.size() &&
               (answer[i + 1] == '\r' || answer[i + 1] == '\n' || answer[i + 1] == '\0'))
            ++i;
        if (i + 1 == answer.size()) break; // a line end closing the text adds nothing
        out += multiLine ? "\r\n" : " ";
    }
    return out;
}

std::string Features(const std::string& hash, const std::string& facts) {
    return "211-Extensions supported:\r\n"
           " EPRT\r\n"
           " EPSV\r\n"
           " HASH " +
           hash +
           "\r\n"
           " MDTM\r\n"
           " MFMT\r\n"
           " MLST " +
           facts +
           "\r\n"
           " PASV\r\n"
           " REST STREAM\r\n"
           " SIZE\r\n"
           " TVFS\r\n"
           " UTF8\r\n"
           "211 END";
}
std::string HashSelected(const std::string& algorithm) {
    return "200 " + algorithm;
}
std::string FactsSelected(const std::string& facts) {
    return "200 MLST OPTS " + facts;
}
std::string Help(const std::string& keywords) {
    return "214-The following commands are recognized:\r\n" + keywords + "214 Help OK.";
}
std::string Status(const std::string& peer, const std::string& user, bool binary, bool passive) {
    return "211-QEV FTP Server status:\r\n"
           " Connected to " +
           peer + "\r\n" + (user.empty() ? std::string(" Not logged in") : " Logged in as " + user) +
           "\r\n"
           " TYPE: " +
           (binary ? "BINARY" : "ASCII") + ", STRUcture: File, MODE: Stream\r\n" +
           (passive ? " Data connection: passive" : " Data connection: active") +
           "\r\n"
           "211 End of status";
}
std::string ExtendedPassive(int port) {
    return "229 Entering Extended Passive Mode (|||" + Num(port) + "|)";
}
std::string WrongProtocol(int family) {
    return "522 Network protocol not supported, use (" + Num(family) + ")";
}
std::string CantOpenData(const std::string& reason) {
    return "425 Can't open data connection: " + reason + ".";
}
std::string MachineEntry(const std::string& path, const std::string& factsLine) {
    return "250-Listing " + path + "\r\n " + factsLine + "\r\n250 End";
}
std::string NoSuchPath(const std::string& path) {
    return "501 " + path + ": no such file or directory.";
}
std::string Modified(const std::string& time, const std::string& path) {
    return "213 Modify=" + time + "; " + path;
}
std::string HashValue(const std::string& algorithm, int64_t start, int64_t end, const std::string& hex,
                      const std::string& path) {
    return "213 " + algorithm + " " + Num(start) + "-" + Num(end) + " " + hex + " " + path;
}
std::string RangSet(int64_t start, int64_t end) {
    return "350 Restarting at " + Num(start) + ". Ending at " + Num(end) + ".";
}

} // namespace vendrix::ftp::reply
