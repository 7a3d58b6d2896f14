// File and directory commands: CWD, CDUP, PWD, XPWD, MKD, RMD, DELE, RNFR,
// RNTO, SIZE, MDTM.
//
// The commands that take a file parameter switch the session's directory
// for the overlap step; TSavedDirectory puts it back whatever the outcome.
#include "FtpSrv.h"

#include "FtpSrvT.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::ftp {

namespace {
std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

// Gives `from` the name `to` without ever replacing an existing entry, even
// one that appeared after the caller looked. Across file systems this fails
// (EXDEV) instead of copying: a copy of a whole tree would hold the event
// loop, and every other session with it, for as long as it takes.
bool MoveEntry(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace flag: the caller's check stands.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// CWD and CDUP: the new directory stands only when the application reports
// that it exists and allows it.
void ChangeDirectory(TFtpServer& Server, TFtpCtrlSocket& Client, const std::string& params,
                     std::string& Answer) {
    const std::string saved = Client.Directory;
    std::string shown = Client.Directory;
    try {
        Client.SetDirectory(Trim(Server.PathStyle->ToLocal(params)));
    } catch (const EFtpError& e) {
        Client.Directory = saved;
        Answer = std::string("501 CWD failed. ") + e.what();
        return;
    }
    bool allowed = true, dirExist = false;
    try {
        if (Server.OnChangeDirectory) Server.OnChangeDirectory(Server, Client, shown, allowed, dirExist);
    } catch (...) {
        Client.Directory = saved;
        throw;
    }
    if (!dirExist) {
        Client.Directory = saved;
        Answer = "550 Permission Denied.";
    } else if (allowed) {
        Answer =
            "250 CWD command successful. \"" + Server.PathStyle->ToClient(shown) + "\" is current directory.";
    } else {
        Client.Directory = saved;
        Answer = "501 CWD failed. No permission";
    }
}
} // namespace

void TFtpServer::CommandCWD(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcCWD;
    ChangeDirectory(*this, Client, Params, Answer);
}

void TFtpServer::CommandCDUP(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcCDUP;
    ChangeDirectory(*this, Client, "..", Answer);
}

void TFtpServer::CommandPWD(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcPWD;
    Answer = "257 \"" + PathStyle->ToClient(Client.Directory) + "\" is current directory.";
}

void TFtpServer::CommandXPWD(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcXPWD;
    Answer = "257 \"" + PathStyle->ToClient(Client.Directory) + "\" is current directory.";
}

void TFtpServer::CommandMKD(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcMKD;
    TSavedDirectory saved(Client);
    try {
        std::string path = OverlapAndBuild(Client, Params);
        const std::string shown = path;
        // The application answers both questions with one flag.
        bool allowed = true;
        if (OnMakeDirectory) OnMakeDirectory(*this, Client, path, allowed, allowed);
        if (!allowed)
            Answer = "550 " + Quoted(shown) + ": can't create directory.";
        else if (Params.empty())
            Answer = "501 Syntax error in parameter.";
        else if (FileExists(path))
            Answer = "550 " + Quoted(shown) + ": file or directory already exists.";
        else if (::mkdir(path.c_str(), 0777) != 0)
            Answer = "550 " + Quoted(shown) + ": can't create directory.";
        else
            Answer = "257 " + Quoted(shown) + ": directory created.";
    } catch (const std::exception& e) {
        Answer = "550 " + Quoted(e.what()) + ": can't create directory.";
    }
}

void TFtpServer::CommandRMD(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcRMD;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    const std::string shown = path;
    bool allowed = true;
    if (OnValidateRmd) OnValidateRmd(*this, Client, path, allowed);
    if (!allowed)
        Answer = "500 Cannot remove directory.";
    else if (Params.empty())
        Answer = "501 Syntax error in parameter.";
    else if (!AnyEntryExists(path))
        Answer = "550 " + Quoted(shown) + ": No such Directory.";
    else if (::rmdir(path.c_str()) != 0)
        Answer = "550 " + Quoted(shown) + ": can't remove directory.";
    else
        Answer = "250 " + Quoted(shown) + ": directory removed.";
}

void TFtpServer::CommandDELE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcDELE;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    const std::string shown = path;
    bool allowed = true;
    if (OnValidateDele) OnValidateDele(*this, Client, path, allowed);
    if (!allowed)
        Answer = "550 Permission denied.";
    else if (Params.empty())
        Answer = "501 Syntax error in parameter.";
    else if (!FileExists(path))
        Answer = "550 " + Quoted(shown) + ": no such file or directory.";
    else if (::unlink(path.c_str()) != 0)
        Answer = "450 File " + Quoted(shown) + " can't be deleted.";
    else
        Answer = "250 File " + Quoted(shown) + " deleted.";
}

void TFtpServer::CommandRNFR(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcRNFR;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    const std::string shown = path;
    bool allowed = true;
    if (OnValidateRnFr) OnValidateRnFr(*this, Client, path, allowed);
    if (!allowed) {
        Answer = "500 Cannot RNFR.";
    } else if (Params.empty()) {
        Answer = "501 Syntax error is parameter.";
    } else if (FileExists(path) || DirectoryExists(path)) {
        Client.RenameFrom = path;
        Answer = "350 File exists, ready for destination name.";
    } else {
        Answer = "550 " + Quoted(shown) + ": no such file or directory.";
    }
}

void TFtpServer::CommandRNTO(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcRNTO;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    bool allowed = true;
    if (OnValidateRnTo) OnValidateRnTo(*this, Client, path, allowed);
    if (!allowed) {
        Answer = "500 Cannot RNTO.";
        return;
    }
    if (Params.empty()) {
        Answer = "501 Syntax error in parameter.";
        return;
    }
    // RenameFrom stays from the session's last RNFR: neither command clears it.
    const std::string from = Client.RenameFrom;
    bool isFile = FileExists(from);
    if (!isFile && !DirectoryExists(from)) {
        Answer = "550 " + Quoted(from) + ": No such File or Directory.";
        return;
    }
    if (isFile ? FileExists(path) : DirectoryExists(path)) {
        Answer = "553 " + Quoted(path) + ": file already exists.";
        return;
    }
    Client.RenameTo = path;
    if (MoveEntry(from, path))
        Answer = "250 File " + Quoted(from) + " renamed to " + Quoted(path) + ".";
    else
        Answer = "450 File " + Quoted(from) + " can't be renamed.";
}

void TFtpServer::CommandSIZE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcSIZE;
    std::string path = BuildFilePath(Client, Client.Directory, Params);
    bool allowed = true;
    if (OnValidateSize) OnValidateSize(*this, Client, path, allowed);
    if (!allowed) {
        Answer = "501 Permission Denied";
    } else if (Params.empty()) {
        Answer = "501 Syntax error in parameter.";
    } else {
        try {
            int64_t size = GetFileSize(path);
            Answer =
                size < 0 ? std::string("550 Command failed: File not found.") : "213 " + std::to_string(size);
        } catch (const std::exception& e) {
            Answer = std::string("550 Command failed: ") + e.what() + ".";
        }
    }
}

void TFtpServer::CommandMDTM(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcMDTM;
    std::string path = BuildFilePath(Client, Client.Directory, Params);
    const std::string shown = path;
    // The same question as SIZE: whether the file may be looked at. A file
    // the application withholds is answered like a missing one.
    bool allowed = true;
    if (OnValidateSize) OnValidateSize(*this, Client, path, allowed);
    if (Params.empty()) {
        Answer = "501 Syntax error in MDTM parameter.";
        return;
    }
    try {
        if (!allowed || !FileExists(path)) {
            Answer = "550 " + Quoted(shown) + ": no such file or directory.";
            return;
        }
        std::string utc = FileUtcStr(path);
        Answer = utc.empty() ? std::string("550 UTC File time retrieval failed") : "213 " + utc;
    } catch (const std::exception& e) {
        Answer = std::string("550 Command failed: ") + e.what() + ".";
    }
}

} // namespace vendrix::ftp
