// File and directory commands: CWD, CDUP, PWD, XPWD, MKD, RMD, DELE, RNFR,
// RNTO, SIZE, MDTM.
#include "FtpSrv.h"

namespace vendrix::ftp {

#define VENDRIX_STUB(name)                                                                                    \
    void TFtpServer::name(TClient&, TFtpString& Keyword, TFtpString&, TFtpString& Answer) {                 \
        Answer = "500 '" + Keyword + "': command not understood.";                                           \
    }
VENDRIX_STUB(CommandCWD)
VENDRIX_STUB(CommandCDUP)
VENDRIX_STUB(CommandPWD)
VENDRIX_STUB(CommandXPWD)
VENDRIX_STUB(CommandMKD)
VENDRIX_STUB(CommandRMD)
VENDRIX_STUB(CommandDELE)
VENDRIX_STUB(CommandRNFR)
VENDRIX_STUB(CommandRNTO)
VENDRIX_STUB(CommandSIZE)
VENDRIX_STUB(CommandMDTM)

} // namespace vendrix::ftp
