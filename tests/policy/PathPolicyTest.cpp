// Path mapping and access rights through the controller: a real client on
// 127.0.0.1 against real folders, with the account file written as text.
#include "BaseFolder.h"
#include "FtpController.h"
#include "FtpTestKit.h"
#include "Md5.h"
#include "PathRights.h"
#include "TaggedText.h"

#include <filesystem>
#include <map>

using namespace vendrix;
using namespace vendrix::config;
using namespace vendrix::log;
using namespace vendrix::policy;
using ftp::testkit::TFtpClient;
using vendrix::testing::ReadText;
using vendrix::testing::TBaseFolder;
using vendrix::testing::WriteText;
namespace fs = std::filesystem;

namespace {

class PathPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        Root = fs::canonical(Base.Path()).string();
        Home = Root + "/srv/ftp";
        Linked = Root + "/data/linked";
        for (const char* d : {"srv/ftp/pub/sub", "srv/ftp/private/x", "data/linked"})
            fs::create_directories(Root + "/" + d);
        Base.WriteConfig("[Setup]\nPort=21\n");
        for (const char* f : {"srv/ftp/a.txt", "srv/ftp/riv", "srv/ftp/.hidden", "srv/ftp/pub/b.txt",
                              "srv/ftp/private/s.txt", "data/linked/l.txt"})
            WriteText(Root + "/" + f, std::string("content of ") + f);
    }
    void TearDown() override {
        if (Ctl) Ctl->StopServer();
        Ctl.reset();
        ftp::testkit::Pump(5);
    }
    // One access entry: directory, rights letters, optional link name.
    static std::string Entry(const std::string& dir, const std::string& letters,
                             const std::string& link = "") {
        return dir + "|" + MakeRights(letters) + "|" + link;
    }
    // ANNA (password "secret", home Home) with the given entries as Dir0, Dir1, ...
    void Account(const std::vector<std::string>& entries, const std::string& extra = "") {
        std::string text =
            "[ANNA]\nPassword=" + Md5Hex("secret") + "\nHomePath=" + Home + "\n" + extra + "\n";
        for (size_t i = 0; i < entries.size(); ++i)
            text += "Dir" + std::to_string(i) + "=" + entries[i] + "\n";
        Base.WriteUsers(text);
    }
    std::unique_ptr<TFtpClient> Start() {
        if (!Ctl) {
            Ctl = std::make_unique<TFtpController>(
                Root, [](std::string_view key) { return std::string(key) + "(%s,%s)"; });
            Ctl->ListenAddr = "127.0.0.1";
            Ctl->PortOverride = "0";
            Ctl->SessionLog().AddSink([this](const std::string& line) { Lines.push_back(StripTags(line)); });
            EXPECT_TRUE(Ctl->StartServer());
            Port = std::stoi(Ctl->Server().ServerSocket().GetLocalPortText());
        }
        auto c = std::make_unique<TFtpClient>(Port);
        c->Reply();
        c->Cmd("USER anna");
        EXPECT_EQ(c->Cmd("PASS secret"), "230 User anna logged in.");
        return c;
    }
    bool Logged(const std::string& text) const {
        for (const std::string& l : Lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    struct TXfer {
        std::string First, Final, Data;
    };
    // A transfer or listing over a passive connection, made only once the
    // command has started (a connection to a refused command would stay
    // open until the next PASV); with `upload` the bytes are sent, otherwise
    // whatever arrives is read.
    TXfer Xfer(TFtpClient& c, const std::string& command, const std::string* upload = nullptr) {
        TXfer r;
        std::string pasv = c.Cmd("PASV");
        int n[6] = {};
        size_t open = pasv.find('(');
        EXPECT_EQ(std::sscanf(open == std::string::npos ? "" : pasv.c_str() + open + 1, "%d,%d,%d,%d,%d,%d",
                              &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]),
                  6)
            << pasv;
        r.First = c.Cmd(command);
        if (r.First.rfind("150", 0) != 0) return r;
        ftp::testkit::TRawConn data(n[4] * 256 + n[5]);
        if (upload) {
            data.Send(*upload);
            data.Close();
        } else {
            r.Data = data.ReadAll();
        }
        r.Final = c.Reply();
        return r;
    }
    std::string Names(TFtpClient& c, const std::string& command) { return Xfer(c, command).Data; }
    // The newest session's current directory as the server holds it.
    std::string ServerDirectory() {
        EXPECT_FALSE(Ctl->Users().empty());
        return Ctl->Users().empty() ? "" : Ctl->FindClient(Ctl->Users().back().ID)->Directory;
    }

    TBaseFolder Base;
    std::string Root, Home, Linked;
    std::unique_ptr<TFtpController> Ctl;
    std::vector<std::string> Lines;
    int Port = 0;
};

TEST_F(PathPolicy, ChangeDirectoryFollowsTheSubdirectoryAndForbiddenRules) {
    struct {
        std::vector<std::string> Entries;
        std::string Target, Reply;
    } cases[] = {
        // "S" on the home reaches pub/sub although pub's own entry lacks it.
        {{Entry(Home, "DS"), Entry(Home + "/pub", "D")},
         "pub/sub",
         "250 CWD command successful. \"" + Home + "/pub/sub/\" is current directory."},
        // Without "S" on the home, pub is strictly below an entry that does not reach it.
        {{Entry(Home, "D"), Entry(Home + "/pub", "D")}, "pub", "550 Permission Denied."},
        {{Entry(Home, "DS"), Entry(Home + "/private", "A")}, "private", "501 CWD failed. No permission"},
        {{Entry(Home, "DS"), Entry(Home + "/private", "AS")}, "private/x", "501 CWD failed. No permission"},
        {{Entry(Home, "DS"), Entry(Home + "/private", "A")}, "private/x", "501 CWD failed. No permission"},
        {{Entry(Home, "DS")}, "missing", "550 Permission Denied."},
        {{Entry(Home, "DS")}, Root + "/srv", "501 CWD failed. No permission"},
        {{}, "pub", "501 CWD failed. No permission"},
    };
    for (const auto& c : cases) {
        Account(c.Entries);
        auto client = Start();
        EXPECT_EQ(client->Cmd("CWD " + c.Target), c.Reply) << c.Target;
        EXPECT_TRUE(PathWithin(TPathStyle::Posix, Home, ServerDirectory())) << c.Target;
    }
    EXPECT_TRUE(Logged("sRepNow(ANNA," + Home + "/pub/sub/)"));
}

TEST_F(PathPolicy, AMissingDir0HidesEveryLaterEntry) {
    Base.WriteUsers("[ANNA]\nPassword=" + Md5Hex("secret") + "\nHomePath=" + Home +
                    "\nDir1=" + Entry(Home, "DS") + "\n");
    auto c = Start();
    EXPECT_EQ(c->Cmd("CWD pub"), "501 CWD failed. No permission");
    EXPECT_EQ(Names(*c, "NLST"), "");
}

TEST_F(PathPolicy, TildeGoesHomeAndVirtualDirShowsTheHomeAsRoot) {
    Account({Entry(Home, "DS")});
    auto c = Start();
    EXPECT_EQ(c->Cmd("PWD"), "257 \"" + Home + "/\" is current directory.");
    c->Cmd("CWD pub/sub");
    EXPECT_EQ(c->Cmd("CWD ~"), "250 CWD command successful. \"" + Home + "/\" is current directory.");

    Account({Entry(Home, "DMS")}, "VirtualDir=1");
    auto v = Start();
    EXPECT_EQ(v->Cmd("PWD"), "257 \"/\" is current directory.");
    EXPECT_EQ(v->Cmd("CWD /pub"), "250 CWD command successful. \"/pub/\" is current directory.");
    EXPECT_EQ(ServerDirectory(), Home + "/pub/");
    EXPECT_EQ(v->Cmd("PWD"), "257 \"/pub/\" is current directory.");
    EXPECT_EQ(v->Cmd("CWD sub"), "250 CWD command successful. \"/pub/sub/\" is current directory.");
    EXPECT_EQ(v->Cmd("CDUP"), "250 CWD command successful. \"/pub/\" is current directory.");
    EXPECT_EQ(v->Cmd("CDUP"), "250 CWD command successful. \"/\" is current directory.");
    EXPECT_EQ(v->Cmd("CDUP"), "250 CWD command successful. \"/\" is current directory.");
    EXPECT_EQ(v->Cmd("CWD /pub/sub/~"), "250 CWD command successful. \"/\" is current directory.");
    EXPECT_EQ(v->Cmd("SIZE /pub/b.txt"), "213 " + std::to_string(fs::file_size(Home + "/pub/b.txt")));
    EXPECT_EQ(v->Cmd("MKD /pub/made"), "257 \"/pub/made\" directory created.");
    EXPECT_TRUE(fs::is_directory(Home + "/pub/made"));
    EXPECT_EQ(Names(*v, "NLST /pub/"), ".\r\n..\r\nb.txt\r\nmade\r\nsub\r\n");
}

TEST_F(PathPolicy, ListingCoversHidesAndAddsLinksOnlyAtHome) {
    Account({Entry(Home, "DS"), Entry(Home + "/private", "A"), Entry(Linked, "DSV", "vlink"),
             Entry(Root + "/data/missing", "DV", "gone"), Entry(Root + "/data", "DV")});
    auto c = Start();
    EXPECT_EQ(Names(*c, "NLST"), ".\r\n..\r\n.hidden\r\na.txt\r\npub\r\nriv\r\nvlink\r\n");
    // The links belong to the home's own listing, not to a folder listed
    // from there; a folder named without a trailing slash, a link
    // included, lists its contents.
    EXPECT_EQ(Names(*c, "NLST *.txt"), "a.txt\r\nvlink\r\n");
    EXPECT_EQ(Names(*c, "NLST pub/"), ".\r\n..\r\nb.txt\r\nsub\r\n");
    EXPECT_EQ(Names(*c, "NLST pub"), ".\r\n..\r\nb.txt\r\nsub\r\n");
    EXPECT_EQ(Names(*c, "NLST -a vlink"), ".\r\n..\r\nl.txt\r\n");
    EXPECT_EQ(Names(*c, "NLST private"), "");
    // A link's line shows its target folder's mode.
    fs::permissions(Linked, fs::perms(0750));
    std::string list = Names(*c, "LIST");
    EXPECT_NE(list.find(" a.txt\r\n"), std::string::npos);
    EXPECT_EQ(list.find(".hidden"), std::string::npos);
    EXPECT_EQ(list.find("private"), std::string::npos);
    EXPECT_NE(list.find("\r\ndrwxr-x---   1 ftp      ftp            0 Apr 30 19:00 vlink\r\n"),
              std::string::npos);
    EXPECT_EQ(list.find("gone"), std::string::npos);

    c->Cmd("CWD pub");
    EXPECT_EQ(Names(*c, "NLST"), ".\r\n..\r\nb.txt\r\nsub\r\n");
    c->Cmd("CWD ~");
    EXPECT_EQ(c->Cmd("CWD vlink"),
              "250 CWD command successful. \"" + Home + "/vlink/\" is current directory.");
    EXPECT_EQ(Names(*c, "NLST"), ".\r\n..\r\nl.txt\r\n");
    EXPECT_EQ(Names(*c, "NLST " + Home + "/private/"), "");
    EXPECT_EQ(Names(*c, "NLST " + Root + "/conf/"), "");
}

TEST_F(PathPolicy, MlsdShowsWhatListShowsWithPermsFromTheRights) {
    Account({Entry(Home, "DS"), Entry(Home + "/private", "A"), Entry(Linked, "DSV", "vlink")});
    auto c = Start();
    EXPECT_EQ(c->Cmd("OPTS MLST type;perm;"), "200 MLST OPTS type;perm;");
    EXPECT_EQ(Names(*c, "MLSD"),
              "type=cdir;perm=el; .\r\ntype=pdir;perm=; ..\r\ntype=file;perm=r; a.txt\r\n"
              "type=dir;perm=el; pub\r\ntype=file;perm=r; riv\r\ntype=dir;perm=el; vlink\r\n");
    // A folder's name lists its contents; a folder outside the entries
    // lists nothing.
    EXPECT_EQ(Names(*c, "MLSD pub"), "type=cdir;perm=el; .\r\ntype=pdir;perm=el; ..\r\n"
                                     "type=file;perm=r; b.txt\r\ntype=dir;perm=el; sub\r\n");
    EXPECT_EQ(Names(*c, "MLSD private"), "");
    EXPECT_EQ(Names(*c, "MLSD " + Root + "/conf"), "");
}

TEST_F(PathPolicy, MlstPermsFollowTheRightsLetters) {
    struct {
        const char* Letters;
        const char* Path;
        const char* Perm;
    } cases[] = {
        {"D", "a.txt", "r"},        {"U", "a.txt", "a"}, {"UE", "a.txt", "adw"},
        {"DUEY", "a.txt", "adfrw"}, {"DS", "pub", "el"}, {"DSUMREY", "pub", "cdelfmp"},
        {"DSM", "pub", "elm"},
    };
    for (const auto& t : cases) {
        Account({Entry(Home, t.Letters)});
        auto c = Start();
        c->Cmd("OPTS MLST perm;");
        const std::string path = Home + "/" + t.Path;
        EXPECT_EQ(c->Cmd(std::string("MLST ") + t.Path),
                  "250-Listing " + path + "\r\n perm=" + t.Perm + "; " + path + "\r\n250 End")
            << t.Letters << " " << t.Path;
    }
    Account({Entry(Home + "/pub", "D"), Entry(Home + "/private", "A")});
    auto c = Start();
    for (const char* name : {"private/s.txt", "/etc/passwd", "a.txt"})
        EXPECT_EQ(c->Cmd(std::string("MLST ") + name),
                  std::string("501 ") + name + ": no such file or directory.")
            << name;
}

TEST_F(PathPolicy, MfmtNeedsTheUploadRightAndHashTheDownloadRight) {
    Account({Entry(Home, "DS"), Entry(Home + "/private", "AUD")});
    auto c = Start();
    EXPECT_EQ(c->Cmd("MFMT 20200102030405 a.txt"), "550 Permission denied.");
    EXPECT_EQ(c->Cmd("HASH a.txt").substr(0, 16), "213 SHA-256 0-23");
    Account({Entry(Home, "US"), Entry(Home + "/private", "AUD")});
    c = Start();
    EXPECT_EQ(c->Cmd("MFMT 20200102030405 a.txt"), "213 Modify=20200102030405; " + Home + "/a.txt");
    EXPECT_EQ(c->Cmd("HASH a.txt"), "550 Permission denied.");
    for (const char* name : {"private/s.txt", "/etc/passwd"}) {
        EXPECT_EQ(c->Cmd(std::string("MFMT 20200102030405 ") + name), "550 Permission denied.") << name;
        EXPECT_EQ(c->Cmd(std::string("HASH ") + name), "550 Permission denied.") << name;
    }
    // Confined to the home, with the home shown as the root.
    Account({Entry(Home, "DUS")}, "VirtualDir=1");
    auto v = Start();
    EXPECT_EQ(v->Cmd("MFMT 20210102030405 /a.txt"), "213 Modify=20210102030405; /a.txt");
    EXPECT_EQ(v->Cmd("HASH /pub/b.txt").substr(0, 16), "213 SHA-256 0-27");
    EXPECT_EQ(v->Cmd("HASH /pub/b.txt").substr(v->Cmd("HASH /pub/b.txt").size() - 11), " /pub/b.txt");
    EXPECT_EQ(v->Cmd("MLST /pub/b.txt").rfind("250-Listing /pub/b.txt\r\n", 0), 0u);
}

TEST_F(PathPolicy, ListingWithoutSubdirectoryRightShowsOnlyFiles) {
    Account({Entry(Home, "D")});
    auto c = Start();
    EXPECT_EQ(Names(*c, "NLST"), ".hidden\r\na.txt\r\nriv\r\n");
    // Covered (the entry contains it) but listed without subdirectories.
    EXPECT_EQ(Names(*c, "NLST pub/"), "b.txt\r\n");
}

TEST_F(PathPolicy, UploadOverAnExistingFileNeedsTheDeleteRight) {
    const std::string bytes = "new bytes";
    struct {
        const char* Letters;
        const char* File;
        std::string Reply;
    } cases[] = {
        {"US", "fresh.txt", "226 File received complete"},
        {"US", "a.txt", "501 Permission Denied"},
        {"UES", "a.txt", "226 File received complete"},
        {"ES", "other.txt", "501 Permission Denied"},
    };
    for (const auto& c : cases) {
        Account({Entry(Home, c.Letters)});
        auto client = Start();
        TXfer r = Xfer(*client, std::string("STOR ") + c.File, &bytes);
        EXPECT_EQ(r.Final.empty() ? r.First : r.Final, c.Reply) << c.Letters << " " << c.File;
        EXPECT_EQ(ReadText(Home + "/" + c.File) == bytes, c.Reply[0] == '2') << c.Letters << " " << c.File;
        fs::remove(Home + "/fresh.txt");
    }
}

TEST_F(PathPolicy, RenameIntoAForbiddenDirectoryIsRefusedAndLogged) {
    Account({Entry(Home, "DYS"), Entry(Home + "/private", "AYS")});
    auto c = Start();
    EXPECT_EQ(c->Cmd("RNFR a.txt"), "350 File exists, ready for destination name.");
    EXPECT_EQ(c->Cmd("RNTO private/a.txt"), "500 Cannot RNTO.");
    // Logged with its outcome, after the refusal.
    EXPECT_TRUE(Logged("sRFileFail(ANNA," + Home + "/a.txt - " + Home + "/private/a.txt)"));
    EXPECT_TRUE(fs::exists(Home + "/a.txt"));
    // The forbidden directory itself can be neither renamed nor renamed over.
    EXPECT_EQ(c->Cmd("RNFR private"), "500 Cannot RNFR.");
    EXPECT_EQ(c->Cmd("RNTO renamed.txt"),
              "250 File '" + Home + "/a.txt' renamed to '" + Home + "/renamed.txt'.");
}

// Renaming or removing a folder would carry the forbidden folder below it out
// from under its entry; other folders stay free to rename.
TEST_F(PathPolicy, AFolderHoldingAForbiddenOneCannotBeRenamedOrRemoved) {
    fs::create_directories(Home + "/pub/sub/private");
    WriteText(Home + "/pub/sub/private/s.txt", "secret");
    Account({Entry(Home, "DYRS"), Entry(Home + "/pub/sub/private", "A")});
    auto c = Start();
    struct TCase {
        std::string Command, Reply;
    } cases[] = {
        {"RNFR pub/sub", "500 Cannot RNFR."},
        {"RNFR pub/sub/", "500 Cannot RNFR."},
        {"RNFR pub", "500 Cannot RNFR."},
        {"RNFR pub/./sub", "500 Cannot RNFR."},
        {"RMD pub/sub", "500 Cannot remove directory."},
        {"RNFR pub/b.txt", "350 File exists, ready for destination name."},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(t.Command), t.Reply) << t.Command;
    EXPECT_EQ(c->Cmd("RNTO pub/c.txt"),
              "250 File '" + Home + "/pub/b.txt' renamed to '" + Home + "/pub/c.txt'.");
    EXPECT_EQ(c->Cmd("RNFR private"), "350 File exists, ready for destination name.");
    EXPECT_TRUE(fs::exists(Home + "/pub/sub/private/s.txt"));
}

TEST_F(PathPolicy, SizeAndMdtmRevealNothingOutsideTheEntries) {
    Account({Entry(Home + "/pub", "D"), Entry(Home + "/private", "A")});
    auto c = Start();
    EXPECT_EQ(c->Cmd("SIZE pub/b.txt"), "213 " + std::to_string(fs::file_size(Home + "/pub/b.txt")));
    EXPECT_EQ(c->Cmd("MDTM pub/b.txt").substr(0, 4), "213 ");
    for (const char* name : {"a.txt", "private/s.txt", "/etc/passwd", "missing.txt"}) {
        std::string path = name[0] == '/' ? name : Home + "/" + name;
        EXPECT_EQ(c->Cmd(std::string("SIZE ") + name), "550 Command failed: File not found.") << name;
        EXPECT_EQ(c->Cmd(std::string("MDTM ") + name), "550 '" + path + "': no such file or directory.")
            << name;
    }
}

TEST_F(PathPolicy, DirectoryAndFileOperationsNeedTheirLettersAndAreLogged) {
    Account({Entry(Home, "DS"), Entry(Home + "/pub", "MRE"), Entry(Linked, "DMSV", "vlink")});
    auto c = Start();
    EXPECT_EQ(c->Cmd("MKD made"), "550 '" + Home + "/made': can't create directory.");
    EXPECT_EQ(c->Cmd("DELE a.txt"), "550 Permission denied.");
    EXPECT_EQ(c->Cmd("MKD pub/made"), "257 \"" + Home + "/pub/made\" directory created.");
    EXPECT_TRUE(Logged("sFMake(ANNA," + Home + "/pub/made)"));
    // Every action is logged after it happened, with its outcome.
    EXPECT_EQ(c->Cmd("MKD pub/made"), "550 '" + Home + "/pub/made': can't create directory.");
    EXPECT_TRUE(Logged("sFMakeFail(ANNA," + Home + "/pub/made)"));
    EXPECT_EQ(c->Cmd("DELE pub/none.txt"), "550 '" + Home + "/pub/none.txt': no such file or directory.");
    EXPECT_TRUE(Logged("sFDelFail(ANNA," + Home + "/pub/none.txt)"));
    EXPECT_EQ(c->Cmd("RMD pub/none"), "550 '" + Home + "/pub/none': No such Directory.");
    EXPECT_TRUE(Logged("sRepDelFail(ANNA," + Home + "/pub/none)"));
    EXPECT_EQ(c->Cmd("RMD pub/made"), "250 '" + Home + "/pub/made': directory removed.");
    EXPECT_TRUE(Logged("sRepDel(ANNA," + Home + "/pub/made)"));
    EXPECT_EQ(c->Cmd("DELE pub/b.txt"), "250 File '" + Home + "/pub/b.txt' deleted.");
    EXPECT_TRUE(Logged("sFDel(ANNA," + Home + "/pub/b.txt)"));
    // A directory made inside a virtual link is made in the link's target.
    EXPECT_EQ(c->Cmd("MKD vlink/inside"), "257 \"" + Home + "/vlink/inside\" directory created.");
    EXPECT_TRUE(fs::is_directory(Linked + "/inside"));
    TXfer r = Xfer(*c, "RETR vlink/l.txt");
    EXPECT_EQ(r.Data, "content of data/linked/l.txt");
    EXPECT_EQ(r.Final, "226 Transfer complete.");
}

// An account confined to its home tries every way out it has: dots, absolute
// paths, doubled and dotted separators, a virtual link followed by "..", a
// sibling whose name extends the home's, a case variant of the home, and
// symbolic links inside the home that point outside. Nothing outside may be
// read, listed, measured, changed or entered; the same table runs for an
// account with and without "VirtualDir".
class PathEscape : public PathPolicy {
protected:
    void SetUp() override {
        PathPolicy::SetUp();
        Outside = Root + "/outside";
        for (const char* d : {"outside/keep", "srv/ftp2", "srv/FTP", "srv/emptydir"})
            fs::create_directories(Root + "/" + d);
        WriteText(Outside + "/victim.txt", "VICTIM");
        WriteText(Root + "/srv/ftp2/secret2.txt", "SECRET2");
        WriteText(Root + "/srv/FTP/victim-case.txt", "CASESECRET");
        WriteText(Root + "/data/datasecret.txt", "DATASECRET");
        fs::create_directory_symlink(Outside, Home + "/out");
        fs::create_symlink(Outside + "/victim.txt", Home + "/outfile");
        fs::create_symlink(Outside + "/newfile", Home + "/dangle");
    }
    // Everything outside the home and the link target, with its content.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (auto it = fs::recursive_directory_iterator(Root); it != fs::recursive_directory_iterator();
             ++it) {
            const std::string path = it->path().string();
            if (path == Home || path == Linked || path == Root + "/log" || path == Root + "/conf") {
                it.disable_recursion_pending();
                continue;
            }
            files[path] = it->is_symlink() ? "link" : it->is_directory() ? "dir" : ReadText(path);
        }
        return files;
    }
    void RunTable(bool virtualDir) {
        Account({Entry(Home, "DUEMRYS"), Entry(Linked, "DUEMRYSV", "vlink")},
                virtualDir ? "VirtualDir=1" : "");
        const std::string H = Home, O = Outside, home = virtualDir ? "/" : Home;
        auto c = Start();
        // The rights are real: inside the home everything works.
        EXPECT_EQ(Xfer(*c, "RETR a.txt").Data, "content of srv/ftp/a.txt");
        EXPECT_EQ(c->Cmd("SIZE a.txt").substr(0, 4), "213 ");
        std::string names = Names(*c, "NLST");
        EXPECT_NE(names.find("a.txt\r\n"), std::string::npos);
        EXPECT_NE(names.find("vlink\r\n"), std::string::npos);
        EXPECT_EQ(names.find("out"), std::string::npos); // links leading outside are not shown
        EXPECT_EQ(c->Cmd("CWD vlink").substr(0, 4), "250 ");
        c->Cmd("CWD " + home);
        const auto before = Snapshot();

        struct {
            std::string Setup, Command;
        } rows[] = {
            {"", "RETR ../ftp2/secret2.txt"},
            {"", "RETR ../../outside/victim.txt"},
            {"", "RETR /etc/passwd"},
            {"", "RETR //etc//passwd"},
            {"", "RETR /./etc/./passwd"},
            {"", "RETR " + O + "/victim.txt"},
            {"", "RETR " + H + "/../ftp2/secret2.txt"},
            {"", "RETR " + Root + "/srv/ftp2/secret2.txt"},
            {"", "RETR " + Root + "/srv/FTP/victim-case.txt"},
            {"", "RETR vlink/../../ftp2/secret2.txt"},
            {"", "RETR vlink/../../../data/datasecret.txt"},
            {"", "RETR out/victim.txt"},
            {"", "RETR outfile"},
            {"", "SIZE /etc/passwd"},
            {"", "SIZE ../ftp2/secret2.txt"},
            {"", "SIZE " + O + "/victim.txt"},
            {"", "SIZE " + Root + "/srv/FTP/victim-case.txt"},
            {"", "SIZE vlink/../../../data/datasecret.txt"},
            {"", "SIZE out/victim.txt"},
            {"", "SIZE outfile"},
            {"", "MDTM /etc/passwd"},
            {"", "MDTM ../ftp2/secret2.txt"},
            {"", "MDTM " + O + "/victim.txt"},
            {"", "MDTM " + Root + "/srv/FTP/victim-case.txt"},
            {"", "MDTM " + H + "/../ftp2/secret2.txt"},
            {"", "MDTM out/victim.txt"},
            {"", "MDTM outfile"},
            {"", "LIST /etc"},
            {"", "NLST /etc/"},
            {"", "NLST //etc/"},
            {"", "LIST .."},
            {"", "NLST ../"},
            {"", "LIST ../ftp2/"},
            {"", "NLST " + Root + "/srv/ftp2/"},
            {"", "NLST " + Root + "/srv/FTP/"},
            {"", "NLST " + H + "/.."},
            {"", "NLST " + H + "/./../"},
            {"", "NLST vlink/.."},
            {"", "NLST vlink/../.."},
            {"", "NLST out/"},
            {"", "NLST outfile"},
            {"", "LIST " + O + "/"},
            {"", "NLST " + Root + "/data/"},
            {"", "CWD .."},
            {"", "CDUP"},
            {"", "CWD ../ftp2"},
            {"", "CWD /etc"},
            {"", "CWD //etc"},
            {"", "CWD /"},
            {"", "CWD " + H + "/.."},
            {"", "CWD " + Root + "/srv/ftp2"},
            {"", "CWD " + Root + "/srv/FTP"},
            {"", "CWD " + O},
            {"", "CWD out"},
            {"", "CWD dangle"},
            {"", "CWD vlink/.."},
            {"CWD vlink", "CWD .."},
            {"CWD vlink", "CDUP"},
            {"", "STOR ../../outside/new.txt"},
            {"", "STOR ../ftp2/new.txt"},
            {"", "STOR " + O + "/victim.txt"},
            {"", "STOR /" + O + "/victim.txt"},
            {"", "STOR " + Root + "/srv/FTP/victim-case.txt"},
            {"", "STOR out/victim.txt"},
            {"", "STOR outfile"},
            {"", "STOR dangle"},
            {"", "APPE ../../outside/victim.txt"},
            {"", "APPE outfile"},
            {"", "DELE ../../outside/victim.txt"},
            {"", "DELE " + O + "/victim.txt"},
            {"", "DELE " + Root + "/srv/ftp2/secret2.txt"},
            {"", "DELE vlink/../../ftp2/secret2.txt"},
            {"", "DELE out/victim.txt"},
            {"", "RNFR ../../outside/victim.txt"},
            {"", "RNFR " + O + "/victim.txt"},
            {"", "RNFR out"},
            {"RNFR a.txt", "RNTO ../../outside/stolen.txt"},
            {"RNFR a.txt", "RNTO " + O + "/stolen.txt"},
            {"RNFR a.txt", "RNTO " + Root + "/srv/ftp2/stolen.txt"},
            {"RNFR a.txt", "RNTO out/stolen.txt"},
            {"RNFR a.txt", "RNTO vlink/../../outside/stolen.txt"},
            {"", "MKD ../../outside/newdir"},
            {"", "MKD " + O + "/newdir"},
            {"", "MKD " + Root + "/srv/ftp2/newdir"},
            {"", "MKD vlink/../../outside/newdir"},
            {"", "MKD out/newdir"},
            {"", "MKD dangle"},
            {"", "RMD ../emptydir"},
            {"", "RMD " + Root + "/srv/emptydir"},
            {"", "RMD ../../outside/keep"},
            {"", "RMD " + O + "/keep"},
            {"", "RMD out/keep"},
        };
        const std::string upload = "EVIL";
        for (const auto& row : rows) {
            const std::string& cmd = row.Command;
            SCOPED_TRACE((virtualDir ? "virtual: " : "real: ") + row.Setup + " / " + cmd);
            if (!row.Setup.empty()) c->Cmd(row.Setup);
            const std::string verb = cmd.substr(0, 4);
            const bool xfer =
                verb == "RETR" || verb == "LIST" || verb == "NLST" || verb == "STOR" || verb == "APPE";
            TXfer r = xfer ? Xfer(*c, cmd, verb == "STOR" || verb == "APPE" ? &upload : nullptr)
                           : TXfer{c->Cmd(cmd), "", ""};
            const std::string reply = r.Final.empty() ? r.First : r.Final;
            for (const char* secret : {"VICTIM", "SECRET2", "CASESECRET", "DATASECRET", "root:"}) {
                EXPECT_EQ(r.Data.find(secret), std::string::npos) << secret;
                EXPECT_EQ(reply.find(secret), std::string::npos) << secret;
            }
            if (verb == "LIST" || verb == "NLST") {
                for (const char* name :
                     {"victim", "secret2", "passwd", "keep", "datasecret", "ftp2", "emptydir"})
                    EXPECT_EQ(r.Data.find(name), std::string::npos) << name << " in " << r.Data;
            } else if (verb == "CWD " || verb == "CDUP") {
                EXPECT_TRUE(PathWithin(TPathStyle::Posix, Home, ServerDirectory())) << ServerDirectory();
            } else if (verb == "SIZE") {
                EXPECT_EQ(reply, "550 Command failed: File not found.");
            } else if (verb == "MDTM") {
                EXPECT_EQ(reply.substr(0, 5), "550 '");
                EXPECT_NE(reply.find("': no such file or directory."), std::string::npos) << reply;
            } else {
                EXPECT_NE(reply[0], '2') << reply;
            }
            c->Cmd("CWD " + home);
        }
        EXPECT_TRUE(Snapshot() == before);
        EXPECT_EQ(ReadText(O + "/victim.txt"), "VICTIM");
    }

    std::string Outside;
};

TEST_F(PathEscape, EveryWayOutFailsForARealPathAccount) {
    RunTable(false);
}

TEST_F(PathEscape, EveryWayOutFailsForAVirtualDirAccount) {
    RunTable(true);
}

} // namespace
