// Directory listings: LIST and NLST.
#include "FtpSrv.h"

namespace vendrix::ftp {

void TFtpServer::CommandLIST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    ListCommand(Client, Params, Answer, true);
}

void TFtpServer::CommandNLST(TClient& Client, TFtpString&, TFtpString& Params, TFtpString& Answer) {
    ListCommand(Client, Params, Answer, false);
}

void TFtpServer::ListCommand(TClient&, TFtpString&, TFtpString& Answer, bool detailed) {
    Answer = std::string("500 '") + (detailed ? "LIST" : "NLST") + "': command not understood.";
}

} // namespace vendrix::ftp
