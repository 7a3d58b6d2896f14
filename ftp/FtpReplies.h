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
// REST STREAM is listed because REST works in stream mode: clients that read
// FEAT (tnftp's reget) refuse to resume without it.
inline constexpr char kFeatures[] =
    "211-Extensions supported:\r\n  SIZE\r\n  MDTM\r\n  REST STREAM\r\n211 END";
inline constexpr char kCommandTooLong[] = "500 Command too long";

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

} // namespace vendrix::ftp::reply
