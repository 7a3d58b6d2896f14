// Types shared by the engine and the policy layer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vendrix::ftp {

// Command keywords, parameters and replies. Never cut: a shortened path can
// name another file, and a shortened multi-line reply can hang a client.
using TFtpString = std::string;

enum TFtpCtrlState { ftpcInvalid, ftpcWaitingUserCode, ftpcWaitingPassword, ftpcReady, ftpcWaitingAnswer };

// The kind of the last command a session handled.
enum TFtpCmdType : uint8_t {
    ftpcPORT = 0,
    ftpcSTOR = 1,
    ftpcRETR = 2,
    ftpcCWD = 3,
    ftpcXPWD = 4,
    ftpcPWD = 5,
    ftpcUSER = 6,
    ftpcPASS = 7,
    ftpcLIST = 8,
    ftpcRMD = 9,
    ftpcTYPE = 10,
    ftpcSYST = 11,
    ftpcQUIT = 12,
    ftpcDELE = 13,
    ftpcRNFR = 14,
    ftpcMKD = 15,
    ftpcRNTO = 16,
    ftpcNOOP = 17,
    ftpcNLST = 18,
    ftpcCDUP = 20,
    ftpcSIZE = 21,
    ftpcREST = 22,
    ftpcAPPE = 23,
    ftpcSTRU = 24,
    ftpcMDTM = 25,
    ftpcSTOU = 26,
    ftpcFEAT = 27,
    // The extensions beyond the classic command set.
    ftpcEPSV = 28,
    ftpcEPRT = 29,
    ftpcMLSD = 30,
    ftpcMLST = 31,
    ftpcMFMT = 32,
    ftpcOPTS = 33,
    ftpcHASH = 34,
    ftpcHELP = 35,
    ftpcALLO = 36,
    ftpcSTAT = 37,
    // Explicit FTPS.
    ftpcAUTH = 38,
    ftpcPBSZ = 39,
    ftpcPROT = 40,
    ftpcCCC = 41,
};

// An error of the engine carrying the message that becomes a reply text.
class EFtpError : public std::runtime_error {
public:
    explicit EFtpError(const std::string& msg) : std::runtime_error(msg) {}
};

// A file that cannot be opened, read or written. The message names the local
// path; the reason alone is the system's text, fit for a client that must
// not learn where the file lies.
class EFtpFileError : public EFtpError {
public:
    EFtpFileError(const std::string& msg, const std::string& reason) : EFtpError(msg), FReason(reason) {}
    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

// The text a client may see for an error: the reason alone for a file error.
inline std::string ClientReason(const std::exception& e) {
    if (const auto* file = dynamic_cast<const EFtpFileError*>(&e)) return file->Reason();
    return e.what();
}

} // namespace vendrix::ftp
