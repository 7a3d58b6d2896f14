// Every reply the engine sends, by name. The texts are what clients and
// scripts already read, so they stay exactly as they are, odd spellings
// included; a handler picks a name and fills in the parts that vary.
#pragma once

#include <cstdint>
#include <string>

namespace vendrix::ftp::reply {

// --- session ---------------------------------------------------------------
inline constexpr char kServerBanner[] = "220 QEV FTP Server ready.";
inline constexpr char kSessionBanner[] = "220-QEV FTP Server ready";
inline constexpr char kTooManyUsers[] = "421 Too many users connected.";
inline constexpr char kLoginFirst[] = "530 Please login with USER and PASS.";
inline constexpr char kUserNeedsParameter[] = "500 USER: command requires a parameter.";
inline constexpr char kUserFirst[] = "503 Login with USER first.";
inline constexpr char kLoginIncorrect[] = "530 Login incorrect.";
inline constexpr char kGoodbye[] = "221 Goodbye!";
inline constexpr char kNoopOk[] = "200 NOOP Command okay.";
inline constexpr char kSystem[] = "215 UNIX Type: L8";
inline constexpr char kModeMissing[] = "501 Missing argument for MODE";
inline constexpr char kModeOk[] = "200 MODE Ok";
inline constexpr char kModeUnsupported[] = "502 MODE other than S not supported";
inline constexpr char kCommandTooLong[] = "500 Command too long";
// A command line holding a CR or NUL byte: such bytes would end up in file
// names, listings and log lines, or cut the command short.
inline constexpr char kControlCharacter[] = "501 Syntax error: CR or NUL byte in command.";
// A connection the server had no file handle for: it is told and closed.
inline constexpr char kTooManyConnections[] = "421 Too many connections, try again later.";

// --- TLS (explicit FTPS) -------------------------------------------------------
inline constexpr char kAuthTlsOk[] = "234 AUTH TLS successful.";
inline constexpr char kAuthUnavailable[] = "431 TLS is not available.";
inline constexpr char kAuthUnknown[] = "504 AUTH: only TLS and SSL are supported.";
inline constexpr char kAuthAgain[] = "503 TLS is already in use.";
inline constexpr char kTlsFirst[] = "503 Use AUTH TLS first.";
inline constexpr char kPbszOk[] = "200 PBSZ=0";
inline constexpr char kPbszFirst[] = "503 Use PBSZ first.";
inline constexpr char kProtPrivate[] = "200 Protection level set to Private.";
inline constexpr char kProtClear[] = "200 Protection level set to Clear.";
inline constexpr char kProtUnsupported[] = "536 Only PROT P and PROT C are supported.";
inline constexpr char kProtUnknown[] = "504 PROT: unknown protection level.";
inline constexpr char kCccRefused[] = "534 The control connection stays encrypted.";
// A PROT P data connection that did not resume the control connection's TLS
// session (anybody could have connected to the data port).
inline constexpr char kTlsReuseRequired[] =
    "425 Data connection refused: it must resume the control connection's TLS session.";
// The FEAT lines of explicit FTPS, added before the list's last line while
// TLS is available.
inline constexpr const char* kTlsFeatureLines[] = {" AUTH TLS", " PBSZ", " PROT"};
std::string WithTlsFeatures(const std::string& features);

// "500 'WHAT': command not understood."
std::string NotUnderstood(const std::string& what);
// "501 " and the reason of a command that raised an error.
std::string CommandError(const std::string& reason);
std::string PasswordRequired(const std::string& user);
std::string LoggedIn(const std::string& user);
std::string TypeSet(const std::string& params);
std::string StruIgnored(const std::string& params);

// --- directories and files ---------------------------------------------------
inline constexpr char kSyntaxError[] = "501 Syntax error in parameter.";
// RNFR's own spelling.
inline constexpr char kRnfrSyntaxError[] = "501 Syntax error is parameter.";
inline constexpr char kMdtmSyntaxError[] = "501 Syntax error in MDTM parameter.";
inline constexpr char kCwdNotFound[] = "550 Permission Denied.";
inline constexpr char kPermissionDenied[] = "550 Permission denied.";
inline constexpr char kNotPermitted[] = "501 Permission Denied";
inline constexpr char kCannotRmd[] = "500 Cannot remove directory.";
inline constexpr char kCannotRnfr[] = "500 Cannot RNFR.";
inline constexpr char kCannotRnto[] = "500 Cannot RNTO.";
inline constexpr char kRenameReady[] = "350 File exists, ready for destination name.";
inline constexpr char kSizeNotFound[] = "550 Command failed: File not found.";
inline constexpr char kMdtmFailed[] = "550 UTC File time retrieval failed";

// "501 CWD failed. REASON"
std::string CwdFailed(const std::string& reason);
std::string CwdOk(const std::string& dir);
std::string CurrentDirectory(const std::string& dir);
std::string CantCreateDirectory(const std::string& path);
std::string AlreadyExists(const std::string& path);
// "257 \"PATH\" directory created.", a double quote in PATH doubled, so
// clients can read the created path back.
std::string DirectoryCreated(const std::string& path);
std::string NoSuchDirectory(const std::string& path);
std::string CantRemoveDirectory(const std::string& path);
std::string DirectoryRemoved(const std::string& path);
std::string NoSuchFile(const std::string& path);
std::string CantDelete(const std::string& path);
std::string Deleted(const std::string& path);
std::string RenameSourceMissing(const std::string& path);
std::string RenameTargetExists(const std::string& path);
std::string Renamed(const std::string& from, const std::string& to);
std::string CantRename(const std::string& path);
// "213 VALUE": a file's size or time.
std::string FileStatus(const std::string& value);
// "550 Command failed: REASON."
std::string CommandFailed(const std::string& reason);

// --- data connections and transfers ---------------------------------------------
inline constexpr char kPortOk[] = "200 Port command successful.";
inline constexpr char kPortInvalid[] = "501 Invalid PORT command.";
inline constexpr char kOpeningListing[] = "150 Opening data connection for directory list.";
inline constexpr char kCannotAppe[] = "500 Cannot APPE.";
inline constexpr char kAppeFailed[] = "550 APPE failed.";
inline constexpr char kCannotRetr[] = "500 Cannot RETR.";
inline constexpr char kRestartAtZero[] = "350 Restarting at 0.";
// ABOR with no transfer to cancel.
inline constexpr char kAborOk[] = "225 ABOR command successful.";
// ABOR after it cancelled a transfer, whose own reply went out first.
inline constexpr char kAborDone[] = "226 ABOR command successful.";
// A transfer that ended before all its bytes moved: cancelled, or its data
// connection closed or reset by the client.
inline constexpr char kTransferAborted[] = "426 Connection closed; transfer aborted.";
// The reason that kTransferAborted shows, as a transfer error.
inline constexpr char kAbortedReason[] = "transfer aborted";
inline constexpr char kTransferComplete[] = "226 Transfer complete.";
inline constexpr char kAppendComplete[] = "226 File received ok";
inline constexpr char kUploadComplete[] = "226 File received complete";
// Every port of the passive range is taken, by sessions or other programs.
inline constexpr char kPasvRangeBusy[] = "425 No available PASV Ports.";

std::string PassiveMode(const std::string& hostPart, int port);
std::string PasvError(const std::string& reason);
// "451 Failed: REASON."
std::string ListFailed(const std::string& reason);
std::string OpeningData(const std::string& name);
std::string AppendReady(const std::string& name, int64_t offset);
// "501 Cannot WORD. REASON": a transfer command that failed.
std::string CannotTransfer(const std::string& word, const std::string& reason);
// "550 Cannot WORD. REASON": the file of a transfer command cannot be opened
// or created; no data connection follows.
std::string CannotOpen(const std::string& word, const std::string& reason);
std::string RestInvalid(const std::string& params);
std::string RestReady(int64_t offset);
// "426 Connection closed; REASON."
std::string ConnectionClosed(const std::string& reason);
std::string ConnectionError(int error);
std::string UniqueCreated(const std::string& name);

// --- one reply, one line ---------------------------------------------------------
// A reply as it may go on the wire: NUL bytes dropped, and every run of CR
// and LF turned into one blank, unless the reply is a multi-line one by
// design ("NNN-" first), whose runs become one CR LF each. So an error text
// with a line break never puts a second line on the wire.
std::string OnWire(const std::string& answer);

// --- extensions: FEAT, OPTS, HELP, ALLO, STAT --------------------------------------
// The FEAT reply: one feature a line, each line led by one blank. `hash`
// and `facts` carry the session's choices marked with "*".
std::string Features(const std::string& hash, const std::string& facts);
inline constexpr char kUtf8On[] = "200 UTF8 set to on";
inline constexpr char kUtf8Off[] = "200 UTF8 set to off";
inline constexpr char kOptsUnknown[] = "501 Option not understood.";
inline constexpr char kHashUnknown[] = "501 Unknown algorithm, current selection not changed.";
// "200 ALGORITHM": the HASH algorithm now in use (OPTS HASH).
std::string HashSelected(const std::string& algorithm);
// "200 MLST OPTS FACTS;": the MLST facts now shown.
std::string FactsSelected(const std::string& facts);
// "214-" with the command keywords, eight a line, then "214 Help OK.".
std::string Help(const std::string& keywords);
inline constexpr char kAlloOk[] = "202 No storage allocation necessary.";
// The session status of STAT without a parameter.
std::string Status(const std::string& peer, const std::string& user, bool binary, bool passive);
inline constexpr char kStatPath[] = "504 STAT with a parameter is not implemented.";

// --- extended data connections (EPSV, EPRT) ------------------------------------------
// "229 Entering Extended Passive Mode (|||PORT|)"
std::string ExtendedPassive(int port);
inline constexpr char kEpsvAllOk[] = "200 EPSV ALL command successful.";
inline constexpr char kEpsvAllOnly[] = "503 Only EPSV is allowed after EPSV ALL.";
inline constexpr char kEprtOk[] = "200 EPRT command successful.";
inline constexpr char kEprtInvalid[] = "501 Invalid EPRT command.";
inline constexpr char kPasvOnIpv6[] = "500 PASV cannot name an IPv6 address; use EPSV.";
// "522 Network protocol not supported, use (N)": N is the control
// connection's family (1 IPv4, 2 IPv6).
std::string WrongProtocol(int family);
// "425 Can't open data connection: REASON."
std::string CantOpenData(const std::string& reason);

// --- machine listings and file facts (MLSD, MLST, MFMT, HASH) ------------------------
// "250-Listing PATH", the facts line (led by a blank), "250 End".
std::string MachineEntry(const std::string& path, const std::string& factsLine);
// "501 PATH: no such file or directory."
std::string NoSuchPath(const std::string& path);
inline constexpr char kMfmtSyntaxError[] = "501 Syntax error in MFMT parameter.";
inline constexpr char kMfmtFailed[] = "550 Could not set the modification time.";
// "213 Modify=TIME; PATH"
std::string Modified(const std::string& time, const std::string& path);
inline constexpr char kHashSyntaxError[] = "501 Syntax error in HASH parameter.";
inline constexpr char kHashBusy[] = "450 A HASH is already being computed.";
inline constexpr char kHashFailed[] = "550 Could not read the file.";
// "213 ALGORITHM START-END HEX PATH"
std::string HashValue(const std::string& algorithm, int64_t start, int64_t end, const std::string& hex,
                      const std::string& path);
inline constexpr char kRangInvalid[] = "501 Invalid RANG parameters.";
inline constexpr char kRangReset[] = "350 Restarting at 0. Ending at EOF.";
// "350 Restarting at START. Ending at END."
std::string RangSet(int64_t start, int64_t end);

} // namespace vendrix::ftp::reply
