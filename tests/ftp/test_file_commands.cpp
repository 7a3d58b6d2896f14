// File and directory commands: CWD, CDUP, PWD, XPWD, MKD, RMD, DELE, RNFR,
// RNTO, SIZE and MDTM, over real sockets on 127.0.0.1 with real files.
#include "FtpTestKit.h"

#include "FtpSrvT.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

struct TCase {
    std::string line;
    std::string reply;
};

class FileCommands : public TServerFixture {
protected:
    void SetUp() override {
        TServerFixture::SetUp();
        WriteFile("file.txt", std::string(1234, 'f'));
        ::mkdir((Root + "sub").c_str(), 0755);
        ::mkdir((Root + "locked").c_str(), 0755);
    }
    // The policy's part in CWD: the directory must exist, "locked" is off
    // limits, and the reply shows the new directory.
    void AllowExistingDirectories() {
        Server->OnChangeDirectory = [](TFtpServer&, TFtpCtrlSocket& c, std::string& shown, bool& allowed,
                                       bool& exists) {
            exists = DirectoryExists(c.Directory);
            allowed = c.Directory.find("/locked/") == std::string::npos;
            shown = c.Directory;
        };
    }
    void Run(TFtpClient& c, const std::vector<TCase>& cases) {
        for (const TCase& t : cases)
            EXPECT_EQ(c.Cmd(t.line), t.reply) << t.line;
    }
    bool Exists(const std::string& name) { return AnyEntryExists(Root + name); }
    std::string Pwd() { return "257 \"" + Root + "\" is current directory."; }
};

TEST_F(FileCommands, CwdWithoutHandlerIsRefusedAndPwdShowsTheDirectory) {
    auto c = LoggedIn();
    Run(*c, {
                {"PWD", Pwd()},
                {"XPWD", Pwd()},
                {"CWD sub", "550 Permission Denied."},
                {"CDUP", "550 Permission Denied."},
                {"PWD", Pwd()},
            });
}

TEST_F(FileCommands, CwdAndCdupThroughTheHandler) {
    AllowExistingDirectories();
    auto c = LoggedIn();
    const std::string sub = Root + "sub/";
    Run(*c, {
                {"CWD sub", "250 CWD command successful. \"" + sub + "\" is current directory."},
                {"PWD", "257 \"" + sub + "\" is current directory."},
                {"CDUP", "250 CWD command successful. \"" + Root + "\" is current directory."},
                {"CWD   sub  ", "250 CWD command successful. \"" + sub + "\" is current directory."},
                {"CWD ..", "250 CWD command successful. \"" + Root + "\" is current directory."},
                {"CWD " + Root + "sub", "250 CWD command successful. \"" + sub + "\" is current directory."},
                {"CWD .", "250 CWD command successful. \"" + sub + "\" is current directory."},
                {"CWD nope", "550 Permission Denied."},
                {"CWD ../locked", "501 CWD failed. Cannot accept relative path using dot notation"},
                {"CWD " + Root + "locked", "501 CWD failed. No permission"},
                {"CWD ./x", "501 CWD failed. Cannot accept relative path using dot notation"},
                {"PWD", "257 \"" + sub + "\" is current directory."},
            });
}

TEST_F(FileCommands, MakeAndRemoveDirectories) {
    auto c = LoggedIn();
    Run(*c, {
                {"MKD", "501 Syntax error in parameter."},
                // The created path in double quotes, a quote in it doubled.
                {"MKD new", "257 \"" + Root + "new\" directory created."},
                {"MKD say \"hi\"", "257 \"" + Root + "say \"\"hi\"\"\" directory created."},
                {"MKD new", "550 '" + Root + "new': can't create directory."},
                {"MKD file.txt", "550 '" + Root + "file.txt': file or directory already exists."},
                {"XMKD new/inner", "257 \"" + Root + "new/inner\" directory created."},
                {"MKD a/b/c", "550 '" + Root + "a/b/c': can't create directory."},
                {"RMD", "501 Syntax error in parameter."},
                {"RMD new", "550 '" + Root + "new': can't remove directory."},
                {"XRMD new/inner", "250 '" + Root + "new/inner': directory removed."},
                {"RMD gone", "550 '" + Root + "gone': No such Directory."},
                {"RMD file.txt", "550 '" + Root + "file.txt': can't remove directory."},
                {"RMD new", "250 '" + Root + "new': directory removed."},
                {"RMD say \"hi\"", "250 '" + Root + "say \"hi\"': directory removed."},
                // Name bytes pass through as sent: UTF-8 and bytes that are not.
                {"MKD d\xc3\xa9j\xc3\xa0", "257 \"" + Root + "d\xc3\xa9j\xc3\xa0\" directory created."},
                {"MKD latin\xe9", "257 \"" + Root + "latin\xe9\" directory created."},
            });
    EXPECT_TRUE(Exists("d\xc3\xa9j\xc3\xa0"));
    EXPECT_TRUE(Exists("latin\xe9"));
    EXPECT_FALSE(Exists("new"));
    EXPECT_FALSE(Exists("a"));
    EXPECT_EQ(ReadFile("file.txt"), std::string(1234, 'f'));
}

TEST_F(FileCommands, DeleteFiles) {
    auto c = LoggedIn();
    Run(*c, {
                {"DELE", "501 Syntax error in parameter."},
                {"DELE file.txt", "250 File '" + Root + "file.txt' deleted."},
                {"DELE file.txt", "550 '" + Root + "file.txt': no such file or directory."},
                {"DELE sub", "550 '" + Root + "sub': no such file or directory."},
            });
    EXPECT_FALSE(Exists("file.txt"));
    EXPECT_TRUE(Exists("sub"));
}

TEST_F(FileCommands, RenameFilesAndDirectories) {
    WriteFile("a.txt", "a");
    WriteFile("exists.txt", "keep");
    WriteFile("sub/inside.txt", "in");
    auto c = LoggedIn();
    Run(*c, {
                {"RNTO x", "550 '': No such File or Directory."}, // no RNFR in this session yet
                {"RNFR", "501 Syntax error is parameter."},
                {"RNTO", "501 Syntax error in parameter."},
                {"RNFR nope", "550 '" + Root + "nope': no such file or directory."},
                {"RNFR a.txt", "350 File exists, ready for destination name."},
                {"RNTO b.txt", "250 File '" + Root + "a.txt' renamed to '" + Root + "b.txt'."},
                // RenameFrom stays: the second RNTO looks for a.txt again.
                {"RNTO c.txt", "550 '" + Root + "a.txt': No such File or Directory."},
                {"RNFR b.txt", "350 File exists, ready for destination name."},
                {"RNTO exists.txt", "553 '" + Root + "exists.txt': file already exists."},
                {"RNTO missing/x.txt", "450 File '" + Root + "b.txt' can't be renamed."},
                {"RNTO sub", "450 File '" + Root + "b.txt' can't be renamed."}, // onto a directory
                {"RNFR sub", "350 File exists, ready for destination name."},
                {"RNTO locked", "553 '" + Root + "locked': file already exists."},
                {"RNTO exists.txt", "450 File '" + Root + "sub' can't be renamed."}, // onto a file
                {"RNTO sub/deeper", "450 File '" + Root + "sub' can't be renamed."}, // into itself
                {"RNTO moved", "250 File '" + Root + "sub' renamed to '" + Root + "moved'."},
            });
    EXPECT_EQ(ReadFile("b.txt"), "a");
    EXPECT_EQ(ReadFile("exists.txt"), "keep");
    EXPECT_EQ(ReadFile("moved/inside.txt"), "in");
    EXPECT_FALSE(Exists("sub"));
    EXPECT_EQ(Server->GetClient(0)->RenameTo, Root + "moved");
}

TEST_F(FileCommands, SizeAndModificationTime) {
    // 5 GiB without the disk space: sizes are 64-bit.
    int fd = ::open((Root + "big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5LL << 30), 0);
    ::close(fd);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}}; // 2001-09-09 01:46:40 UTC
    ASSERT_EQ(::utimensat(AT_FDCWD, (Root + "file.txt").c_str(), times, 0), 0);
    auto c = LoggedIn();
    Run(*c, {
                {"SIZE", "501 Syntax error in parameter."},
                {"SIZE file.txt", "213 1234"},
                {"SIZE " + Root + "file.txt", "213 1234"},
                {"SIZE big.bin", "213 5368709120"},
                {"SIZE sub", "550 Command failed: File not found."},
                {"SIZE nope", "550 Command failed: File not found."},
                {"MDTM", "501 Syntax error in MDTM parameter."},
                {"MDTM file.txt", "213 20010909014640.000"},
                {"MDTM nope", "550 '" + Root + "nope': no such file or directory."},
                {"MDTM sub", "550 '" + Root + "sub': no such file or directory."},
            });
}

TEST_F(FileCommands, EventsRefuseAndRedirect) {
    auto refuse = [](TFtpServer&, TFtpCtrlSocket&, TFtpString&, bool& allowed) { allowed = false; };
    Server->OnValidateRmd = refuse;
    Server->OnValidateRnFr = refuse;
    Server->OnValidateRnTo = refuse;
    Server->OnValidateSize = refuse;
    // Allowed and DirExist are one variable: clearing either refuses.
    Server->OnMakeDirectory = [](TFtpServer&, TFtpCtrlSocket&, std::string&, bool&, bool& exists) {
        exists = false;
    };
    // The operation uses the path as the event leaves it; the reply shows
    // the path as built.
    std::string seen;
    Server->OnValidateDele = [&](TFtpServer&, TFtpCtrlSocket&, TFtpString& path, bool&) {
        seen = path;
        path = Root + "other.txt";
    };
    WriteFile("other.txt", "o");
    auto c = LoggedIn();
    Run(*c, {
                {"MKD x", "550 '" + Root + "x': can't create directory."},
                {"RMD sub", "500 Cannot remove directory."},
                {"RNFR file.txt", "500 Cannot RNFR."},
                {"RNTO y", "500 Cannot RNTO."},
                {"SIZE file.txt", "501 Permission Denied"},
                {"DELE file.txt", "250 File '" + Root + "file.txt' deleted."},
            });
    EXPECT_EQ(seen, Root + "file.txt");
    EXPECT_TRUE(Exists("file.txt"));
    EXPECT_FALSE(Exists("other.txt"));
    EXPECT_FALSE(Exists("x"));
    EXPECT_TRUE(Exists("sub"));
}

TEST_F(FileCommands, OverlapStepSwitchesTheDirectoryOnlyForTheCommand) {
    AllowExistingDirectories();
    std::vector<std::string> during;
    Server->OnValidateDele = [&](TFtpServer&, TFtpCtrlSocket& c, TFtpString&, bool&) {
        during.push_back(c.Directory);
        if (during.size() == 2) throw EFtpError("policy unavailable");
    };
    auto c = LoggedIn();
    const std::string sub = Root + "sub/";
    Run(*c, {
                {"CWD sub", "250 CWD command successful. \"" + sub + "\" is current directory."},
                {"DELE /sub/x.txt", "550 '/sub/x.txt': no such file or directory."},
                {"PWD", "257 \"" + sub + "\" is current directory."},
                {"DELE /sub/x.txt", "501 policy unavailable"},
                {"PWD", "257 \"" + sub + "\" is current directory."},
            });
    EXPECT_EQ(during, (std::vector<std::string>{Root, Root}));
}

TEST_F(FileCommands, EachCommandRecordsItsKind) {
    struct TKind {
        const char* line;
        int kind;
    } kinds[] = {
        {"CWD x", 3}, {"CDUP", 20}, {"PWD", 5},   {"XPWD", 4},  {"MKD", 15},  {"XMKD", 15}, {"RMD", 9},
        {"XRMD", 9},  {"DELE", 13}, {"RNFR", 14}, {"RNTO", 16}, {"SIZE", 21}, {"MDTM", 25},
    };
    auto c = LoggedIn();
    for (const TKind& k : kinds) {
        c->Cmd(k.line);
        EXPECT_EQ(Server->GetClient(0)->CurCmdType, k.kind) << k.line;
    }
}

} // namespace
