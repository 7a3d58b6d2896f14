// Login and session commands: USER, PASS, QUIT, NOOP, SYST, TYPE, MODE,
// STRU, FEAT, and the reply to an overlong line.
#include "FtpSrv.h"

#include "AsciiText.h"

namespace vendrix::ftp {

using net::TrimControl;

void TFtpServer::CommandUSER(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcUSER;
    Client.UserName = std::string(TrimControl(Params));
    if (!Client.UserName.empty()) {
        Client.FtpState = ftpcWaitingPassword;
        Answer = reply::PasswordRequired(Client.UserName);
    } else {
        Client.FtpState = ftpcWaitingUserCode;
        Answer = reply::kUserNeedsParameter;
    }
}

void TFtpServer::CommandPASS(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Client.FtpState != ftpcWaitingPassword) {
        Answer = reply::kUserFirst;
        return;
    }
    Client.CurCmdType = ftpcPASS;
    Client.PassWord = std::string(TrimControl(Params));
    bool authenticated = true;
    if (OnAuthenticate) OnAuthenticate(*this, Client, Client.UserName, Client.PassWord, authenticated);
    if (authenticated) {
        Client.FtpState = ftpcReady;
        Client.SetDirectory(Client.HomeDir);
        Answer = reply::LoggedIn(Client.UserName);
    } else {
        Client.FtpState = ftpcWaitingUserCode;
        Answer = reply::kLoginIncorrect;
    }
}

void TFtpServer::CommandQUIT(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcQUIT;
    Answer = reply::kGoodbye;
    Post(Client, &TFtpServer::CloseRequestNotification);
}

void TFtpServer::CommandNOOP(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcNOOP;
    Answer = reply::kNoopOk;
}

void TFtpServer::CommandSYST(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcSYST;
    Answer = reply::kSystem;
}

void TFtpServer::CommandTYPE(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcTYPE;
    const std::string type = net::UpperCase(TrimControl(Params));
    if (type == "A" || type == "A N" || type == "I") {
        Answer = reply::TypeSet(Params);
        Client.BinaryMode = type == "I";
    } else {
        Answer = reply::NotUnderstood("TYPE " + Params);
    }
}

void TFtpServer::CommandMODE(TClient&, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    if (Params.empty())
        Answer = reply::kModeMissing;
    else if (Params == "S" || Params == "s")
        Answer = reply::kModeOk;
    else
        Answer = reply::kModeUnsupported;
}

void TFtpServer::CommandSTRU(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    Client.CurCmdType = ftpcSTRU;
    Answer = reply::StruIgnored(Params);
}

void TFtpServer::CommandFEAT(TClient& Client, TFtpString&, TFtpString&, TFtpString& Answer) {
    Client.CurCmdType = ftpcFEAT;
    Answer = reply::Features(HashFeature(Client.HashAlgorithm), FactsFeature(Client.MlstFacts));
    if (TlsContext) Answer = reply::WithTlsFeatures(Answer);
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
    Answer = reply::kCommandTooLong;
    Post(Client, &TFtpServer::CloseRequestNotification);
}

} // namespace vendrix::ftp
