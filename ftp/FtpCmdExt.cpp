// Session commands beyond the classic set: OPTS (UTF8, HASH, MLST), HELP,
// ALLO and STAT.
#include "FtpSrv.h"

#include "AsciiText.h"

namespace vendrix::ftp {

void TFtpServer::CommandOPTS(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcOPTS;
    const std::string params(net::TrimControl(Params));
    const size_t blank = params.find(' ');
    const std::string option = net::UpperCase(params.substr(0, blank));
    const std::string value = blank == std::string::npos ? std::string() : params.substr(blank + 1);
    const std::string upperValue = net::UpperCase(value);
    if (option == "UTF8" || option == "UTF-8") {
        // Paths are bytes passed through unchanged either way; UTF-8 is
        // what the file system holds.
        if (upperValue == "ON" || upperValue.empty())
            Answer = reply::kUtf8On;
        else if (upperValue == "OFF")
            Answer = reply::kUtf8Off;
        else
            Answer = reply::kOptsUnknown;
    } else if (option == "HASH") {
        if (value.empty()) {
            Answer = reply::HashSelected(Client.HashAlgorithm);
            return;
        }
        const std::string name = HashAlgorithmName(value);
        if (name.empty()) {
            Answer = reply::kHashUnknown;
            return;
        }
        Client.HashAlgorithm = name;
        Answer = reply::HashSelected(name);
    } else if (option == "MLST") {
        Client.MlstFacts = ParseFacts(value);
        Answer = reply::FactsSelected(FactsList(Client.MlstFacts));
    } else {
        Answer = reply::kOptsUnknown;
    }
}

void TFtpServer::CommandHELP(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcHELP;
    // Eight keywords a line, as the table holds them (OVER is the engine's
    // own answer to an overlong line, not a command).
    std::string text, line;
    int onLine = 0;
    for (const TFtpSrvCommandTableItem& row : FCommandTable) {
        if (row.KeyWord == "OVER") continue;
        line += " " + row.KeyWord;
        if (++onLine == 8) {
            text += line + "\r\n";
            line.clear();
            onLine = 0;
        }
    }
    if (!line.empty()) text += line + "\r\n";
    Answer = reply::Help(text);
}

void TFtpServer::CommandALLO(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcALLO;
    Answer = reply::kAlloOk;
}

void TFtpServer::CommandSTAT(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcSTAT;
    if (!net::TrimControl(Params).empty()) {
        Answer = reply::kStatPath;
        return;
    }
    const std::string user = Client.FtpState == ftpcReady ? Client.UserName : std::string();
    Answer = reply::Status(Client.PeerAddr(), user, Client.BinaryMode, Client.PassiveMode);
}

} // namespace vendrix::ftp
