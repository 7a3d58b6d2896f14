// HASH and RANG (the FTP HASH draft). The digest is computed in slices
// posted to the loop: between two slices the loop serves every other
// socket, so a huge file delays only the session that asked for it.
#include "FtpSrv.h"

#include "AsciiText.h"

namespace vendrix::ftp {

namespace {
bool ReadNumber(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoll(text);
    return true;
}
} // namespace

void TFtpServer::CommandHASH(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcHASH;
    const std::string param(net::TrimControl(Params));
    if (param.empty()) {
        Answer = reply::kHashSyntaxError;
        return;
    }
    if (Client.HashJob) {
        Answer = reply::kHashBusy;
        return;
    }
    std::string path = BuildFilePath(Client, Client.Directory, param);
    const std::string shown = path;
    // Reading a file's digest reads the file: the download right decides.
    bool allowed = true;
    if (OnValidateHash) OnValidateHash(*this, Client, path, allowed);
    if (!allowed) {
        Answer = reply::kPermissionDenied;
        return;
    }
    try {
        Client.HashJob = std::make_unique<THashJob>(Client.HashAlgorithm, path, Client.HashRangeStart,
                                                    Client.HashRangeEnd);
    } catch (const EFtpError&) {
        Answer = reply::kHashFailed;
        return;
    }
    // RANG applies to the one HASH that follows it.
    Client.HashRangeStart = 0;
    Client.HashRangeEnd = -1;
    Client.HashShownPath = shown;
    // The reply follows when the last slice is done.
    Answer.clear();
    Post(Client, &TFtpServer::HashSlice);
}

void TFtpServer::HashSlice(TClient& Client) {
    if (!Client.HashJob) return;
    THashJob& job = *Client.HashJob;
    bool done = false;
    try {
        done = job.Step();
    } catch (const EFtpError&) {
        Client.HashJob.reset();
        SendAnswer(Client, reply::kHashFailed);
        return;
    }
    if (!done) {
        Post(Client, &TFtpServer::HashSlice);
        return;
    }
    // The range shown names its last byte, as RANG does.
    const int64_t last = job.End() > job.Start() ? job.End() - 1 : job.Start();
    const std::string answer =
        reply::HashValue(job.Algorithm(), job.Start(), last, job.Hex(), Client.HashShownPath);
    Client.HashJob.reset();
    SendAnswer(Client, answer);
}

void TFtpServer::CommandRANG(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcHASH;
    const std::string param(net::TrimControl(Params));
    const size_t blank = param.find(' ');
    int64_t start = 0, end = 0;
    if (blank == std::string::npos || !ReadNumber(param.substr(0, blank), start) ||
        !ReadNumber(param.substr(blank + 1), end)) {
        Answer = reply::kRangInvalid;
        return;
    }
    // "RANG 1 0" resets the range to the whole file.
    if (start == 1 && end == 0) {
        Client.HashRangeStart = 0;
        Client.HashRangeEnd = -1;
        Answer = reply::kRangReset;
        return;
    }
    if (end < start) {
        Answer = reply::kRangInvalid;
        return;
    }
    Client.HashRangeStart = start;
    // The end byte is included.
    Client.HashRangeEnd = end + 1;
    Answer = reply::RangSet(start, end);
}

} // namespace vendrix::ftp
