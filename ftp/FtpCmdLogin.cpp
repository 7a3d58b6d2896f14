// Login and session commands: USER, PASS, QUIT, NOOP, SYST, TYPE, MODE,
// STRU, FEAT, and the reply to an overlong line.
#include "FtpSrv.h"

#include <cctype>

namespace vendrix::ftp {

namespace {
// Without leading and trailing blanks and control characters.
std::string TrimControl(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}
} // namespace

void TFtpServer::CommandUSER(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcUSER;
    Client.UserName = TrimControl(Params);
    if (!Client.UserName.empty()) {
        Client.FtpState = ftpcWaitingPassword;
        Answer = "331 Password required for " + Client.UserName + ".";
    } else {
        Client.FtpState = ftpcWaitingUserCode;
        Answer = "500 USER: command requires a parameter.";
    }
}

void TFtpServer::CommandPASS(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Client.FtpState != ftpcWaitingPassword) {
        Answer = "503 Login with USER first.";
        return;
    }
    Client.CurCmdType = ftpcPASS;
    Client.PassWord = TrimControl(Params);
    bool authenticated = true;
    if (OnAuthenticate) OnAuthenticate(*this, Client, Client.UserName, Client.PassWord, authenticated);
    if (authenticated) {
        Client.FtpState = ftpcReady;
        Client.SetDirectory(Client.HomeDir);
        Answer = "230 User " + Client.UserName + " logged in.";
    } else {
        Client.FtpState = ftpcWaitingUserCode;
        Answer = "530 Login incorrect.";
    }
}

void TFtpServer::CommandQUIT(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcQUIT;
    Answer = "221 Goodbye!";
    Post(Client, &TFtpServer::CloseRequestNotification);
}

void TFtpServer::CommandNOOP(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcNOOP;
    Answer = "200 NOOP Command okay.";
}

void TFtpServer::CommandSYST(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcSYST;
    Answer = "215 UNIX Type: L8";
}

void TFtpServer::CommandTYPE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcTYPE;
    std::string type = TrimControl(Params);
    for (char& c : type)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (type == "A" || type == "A N" || type == "I") {
        Answer = "200 Type set to " + Params + ".";
        Client.BinaryMode = type == "I";
    } else {
        Answer = "500 'TYPE " + Params + "': command not understood.";
    }
}

void TFtpServer::CommandMODE(TClient&, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Params.empty())
        Answer = "501 Missing argument for MODE";
    else if (Params == "S" || Params == "s")
        Answer = "200 MODE Ok";
    else
        Answer = "502 MODE other than S not supported";
}

void TFtpServer::CommandSTRU(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcSTRU;
    Answer = "200 Ok. STRU parameter '" + Params + "' ignored.";
}

void TFtpServer::CommandFEAT(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcFEAT;
    Answer = "211-Extensions supported:\r\n  SIZE\r\n  MDTM\r\n211 END";
}

void TFtpServer::CommandOVER(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    // Read what is already waiting before shutting down, so the close that
    // follows the reply is not turned into a reset by unread bytes.
    char discard[1024];
    while (Client.Receive(discard, sizeof discard) > 0) {
    }
    Client.Shutdown(0);
    while (Client.Receive(discard, sizeof discard) > 0) {
    }
    Answer = "500 Command too long";
    Post(Client, &TFtpServer::CloseRequestNotification);
}

} // namespace vendrix::ftp
