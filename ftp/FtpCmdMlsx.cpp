// Machine listings and file facts (RFC 3659): MLSD, MLST and MFMT. They
// ask the same events as their classic counterparts (LIST, SIZE/MDTM, STOR)
// so that every rule of the application applies to them as well.
#include "FtpSrv.h"

#include "AsciiText.h"
#include "FtpListing.h"
#include "FtpSrvT.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vendrix::ftp {

namespace {
bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EntryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}
} // namespace

std::string TFtpServer::Permissions(TClient& Client, const std::string& path, bool directory) {
    std::string perm = ModePermissions(path, directory);
    if (OnGetPermissions) OnGetPermissions(*this, Client, path, directory, perm);
    return perm;
}

std::string TFtpServer::MachineListing(TClient& Client, const std::string& pattern) {
    const size_t sep = pattern.rfind(PathStyle->Sep);
    const std::string dir = sep == std::string::npos ? std::string() : pattern.substr(0, sep + 1);
    std::string text;
    for (const TListEntry& entry : FindEntries(pattern)) {
        if (entry.Hidden) continue;
        const std::string type = entry.Name == "." ? "cdir" : entry.Name == ".." ? "pdir" : "";
        const std::string path = dir + entry.Name;
        const std::string line =
            FactsLine(path, entry.Name, type, Permissions(Client, path, entry.Directory), Client.MlstFacts);
        if (!line.empty()) text += line + "\r\n";
    }
    return text;
}

void TFtpServer::CommandMLSD(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    // The listing is LIST's, through the same events, written as facts.
    // MLSD's parameter always names a directory: its contents are listed,
    // never the directory's own entry.
    Client.MachineListing = true;
    TFtpString directory(net::TrimControl(Params));
    if (!directory.empty() && directory.back() != '/') directory += '/';
    ListCommand(Client, directory, Answer, true);
}

void TFtpServer::CommandMLST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcMLST;
    const std::string param(net::TrimControl(Params));
    std::string path = param.empty() ? Client.Directory : BuildFilePath(Client, Client.Directory, param);
    const std::string shown = path;
    // Whether the entry may be looked at is SIZE's question; a withheld
    // entry is answered like a missing one.
    bool allowed = true;
    if (OnValidateSize) OnValidateSize(*this, Client, path, allowed);
    if (!allowed || path.empty() || !EntryExists(path)) {
        Answer = reply::NoSuchPath(param.empty() ? shown : param);
        return;
    }
    const bool dir = IsDirectory(path);
    std::string line = FactsLine(path, shown, "", Permissions(Client, path, dir), Client.MlstFacts);
    if (line.empty()) {
        Answer = reply::NoSuchPath(param.empty() ? shown : param);
        return;
    }
    Answer = reply::MachineEntry(shown, line);
}

void TFtpServer::CommandMFMT(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcMFMT;
    const std::string params(net::TrimControl(Params));
    const size_t blank = params.find(' ');
    std::time_t when = 0;
    if (blank == std::string::npos || !ParseUtcTimeStamp(params.substr(0, blank), when)) {
        Answer = reply::kMfmtSyntaxError;
        return;
    }
    const std::string name = params.substr(blank + 1);
    std::string path = BuildFilePath(Client, Client.Directory, name);
    const std::string shown = path;
    // Changing a file's time changes the file: the upload right decides.
    bool allowed = true;
    if (OnValidateMfmt) OnValidateMfmt(*this, Client, path, allowed);
    if (!allowed) {
        Answer = reply::kPermissionDenied;
        return;
    }
    if (!FileExists(path)) {
        Answer = reply::NoSuchFile(shown);
        return;
    }
    timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        Answer = reply::kMfmtFailed;
        return;
    }
    Answer = reply::Modified(UtcTimeStamp(when), shown);
}

} // namespace vendrix::ftp
