// File and directory commands: CWD, CDUP, PWD, XPWD, MKD, RMD, DELE, RNFR,
// RNTO, SIZE, MDTM.
//
// The commands that take a file parameter switch the session's directory
// for the overlap step; TSavedDirectory puts it back whatever the outcome.
#include "FtpSrv.h"

#include "AsciiText.h"
#include "FtpSrvT.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::ftp {

namespace {
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
        Client.SetDirectory(std::string(net::TrimControl(Server.PathStyle->ToLocal(params))));
    } catch (const EFtpError& e) {
        Client.Directory = saved;
        Answer = reply::CwdFailed(e.what());
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
        Answer = reply::kCwdNotFound;
    } else if (allowed) {
        Answer = reply::CwdOk(Server.PathStyle->ToClient(shown));
    } else {
        Client.Directory = saved;
        Answer = reply::CwdFailed("No permission");
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
    Answer = reply::CurrentDirectory(PathStyle->ToClient(Client.Directory));
}

void TFtpServer::CommandXPWD(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcXPWD;
    Answer = reply::CurrentDirectory(PathStyle->ToClient(Client.Directory));
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
            Answer = reply::CantCreateDirectory(shown);
        else if (Params.empty())
            Answer = reply::kSyntaxError;
        else if (FileExists(path))
            Answer = reply::AlreadyExists(shown);
        else if (::mkdir(path.c_str(), 0777) != 0)
            Answer = reply::CantCreateDirectory(shown);
        else
            Answer = reply::DirectoryCreated(shown);
    } catch (const std::exception& e) {
        Answer = reply::CantCreateDirectory(e.what());
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
        Answer = reply::kCannotRmd;
    else if (Params.empty())
        Answer = reply::kSyntaxError;
    else if (!AnyEntryExists(path))
        Answer = reply::NoSuchDirectory(shown);
    else if (::rmdir(path.c_str()) != 0)
        Answer = reply::CantRemoveDirectory(shown);
    else
        Answer = reply::DirectoryRemoved(shown);
}

void TFtpServer::CommandDELE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcDELE;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    const std::string shown = path;
    bool allowed = true;
    if (OnValidateDele) OnValidateDele(*this, Client, path, allowed);
    if (!allowed)
        Answer = reply::kPermissionDenied;
    else if (Params.empty())
        Answer = reply::kSyntaxError;
    else if (!FileExists(path))
        Answer = reply::NoSuchFile(shown);
    else if (::unlink(path.c_str()) != 0)
        Answer = reply::CantDelete(shown);
    else
        Answer = reply::Deleted(shown);
}

void TFtpServer::CommandRNFR(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcRNFR;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    const std::string shown = path;
    bool allowed = true;
    if (OnValidateRnFr) OnValidateRnFr(*this, Client, path, allowed);
    if (!allowed) {
        Answer = reply::kCannotRnfr;
    } else if (Params.empty()) {
        Answer = reply::kRnfrSyntaxError;
    } else if (FileExists(path) || DirectoryExists(path)) {
        Client.RenameFrom = path;
        Answer = reply::kRenameReady;
    } else {
        Answer = reply::NoSuchFile(shown);
    }
}

void TFtpServer::CommandRNTO(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcRNTO;
    TSavedDirectory saved(Client);
    std::string path = OverlapAndBuild(Client, Params);
    bool allowed = true;
    if (OnValidateRnTo) OnValidateRnTo(*this, Client, path, allowed);
    if (!allowed) {
        Answer = reply::kCannotRnto;
        return;
    }
    if (Params.empty()) {
        Answer = reply::kSyntaxError;
        return;
    }
    // RenameFrom stays from the session's last RNFR: neither command clears it.
    const std::string from = Client.RenameFrom;
    bool isFile = FileExists(from);
    if (!isFile && !DirectoryExists(from)) {
        Answer = reply::RenameSourceMissing(from);
        return;
    }
    if (isFile ? FileExists(path) : DirectoryExists(path)) {
        Answer = reply::RenameTargetExists(path);
        return;
    }
    Client.RenameTo = path;
    if (MoveEntry(from, path))
        Answer = reply::Renamed(from, path);
    else
        Answer = reply::CantRename(from);
}

void TFtpServer::CommandSIZE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcSIZE;
    std::string path = BuildFilePath(Client, Client.Directory, Params);
    bool allowed = true;
    if (OnValidateSize) OnValidateSize(*this, Client, path, allowed);
    if (!allowed) {
        Answer = reply::kNotPermitted;
    } else if (Params.empty()) {
        Answer = reply::kSyntaxError;
    } else {
        try {
            int64_t size = GetFileSize(path);
            Answer = size < 0 ? std::string(reply::kSizeNotFound) : reply::FileStatus(std::to_string(size));
        } catch (const std::exception& e) {
            Answer = reply::CommandFailed(e.what());
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
        Answer = reply::kMdtmSyntaxError;
        return;
    }
    try {
        if (!allowed || !FileExists(path)) {
            Answer = reply::NoSuchFile(shown);
            return;
        }
        std::string utc = FileUtcStr(path);
        Answer = utc.empty() ? std::string(reply::kMdtmFailed) : reply::FileStatus(utc);
    } catch (const std::exception& e) {
        Answer = reply::CommandFailed(e.what());
    }
}

} // namespace vendrix::ftp
