// Path mapping and access rights through the controller: a real client on
// 127.0.0.1 against real folders, with the account file written as text.
#include "FtpController.h"
#include "FtpTestKit.h"
#include "IniFile.h"
#include "Md5.h"
#include "PathRights.h"
#include "TaggedText.h"
#include "TempFolder.h"

#include <filesystem>
#include <map>
#include <thread>

using namespace vendrix;
using namespace vendrix::policy;
using ftp::testkit::TFtpClient;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WriteText;
namespace fs = std::filesystem;

namespace {

class PathPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        Root = fs::canonical(Base.Path()).string();
        Home = Root + "/srv/ftp";
        Linked = Root + "/data/linked";
        for (const char* d : {"conf", "log", "srv/ftp/pub/sub", "srv/ftp/private/x", "data/linked"})
            fs::create_directories(Root + "/" + d);
        WriteText(Root + "/conf/config.ini", "[Setup]\nPort=21\n");
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
        WriteText(Root + "/conf/users.ini", text);
        // The account file is looked at no more than once per interval: the
        // next command must not be answered from the look before this write.
        std::this_thread::sleep_for(2 * TIniFile::kRecheckInterval);
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
    // A transfer or listing over a passive connection; with `upload` the
    // bytes are sent, otherwise whatever arrives is read.
    TXfer Xfer(TFtpClient& c, const std::string& command, const std::string* upload = nullptr) {
        TXfer r;
        auto data = c.Pasv();
        r.First = c.Cmd(command);
        if (r.First.rfind("150", 0) != 0) return r;
        if (upload) {
            data->Send(*upload);
            data->Close();
        } else {
            r.Data = data->ReadAll();
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

    TTempFolder Base;
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
    WriteText(Root + "/conf/users.ini", "[ANNA]\nPassword=" + Md5Hex("secret") + "\nHomePath=" + Home +
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
    EXPECT_EQ(v->Cmd("MKD /pub/made"), "257 '/pub/made': directory created.");
    EXPECT_TRUE(fs::is_directory(Home + "/pub/made"));
    EXPECT_EQ(Names(*v, "NLST /pub/"), ".\r\n..\r\nb.txt\r\nmade\r\nsub\r\n");
}

TEST_F(PathPolicy, ListingCoversHidesAndAddsLinksOnlyAtHome) {
    Account({Entry(Home, "DS"), Entry(Home + "/private", "A"), Entry(Linked, "DSV", "vlink"),
             Entry(Root + "/data/missing", "DV", "gone"), Entry(Root + "/data", "DV")});
    auto c = Start();
    EXPECT_EQ(Names(*c, "NLST"), ".\r\n..\r\n.hidden\r\na.txt\r\npub\r\nriv\r\nvlink\r\n");
    // The links come with any argument given at home.
    EXPECT_EQ(Names(*c, "NLST pub/"), ".\r\n..\r\nb.txt\r\nsub\r\nvlink\r\n");
    std::string list = Names(*c, "LIST");
    EXPECT_NE(list.find(" a.txt\r\n"), std::string::npos);
    EXPECT_EQ(list.find(".hidden"), std::string::npos);
    EXPECT_EQ(list.find("private"), std::string::npos);
    EXPECT_NE(list.find("\r\ndrw-rw-rw-   1 ftp      ftp            0 Apr 30 19:00 vlink\r\n"),
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
    EXPECT_TRUE(Logged("sRFile(ANNA," + Home + "/a.txt - " + Home + "/private/a.txt)"));
    EXPECT_TRUE(fs::exists(Home + "/a.txt"));
    // The forbidden directory itself can be neither renamed nor renamed over.
    EXPECT_EQ(c->Cmd("RNFR private"), "500 Cannot RNFR.");
    EXPECT_EQ(c->Cmd("RNTO renamed.txt"),
              "250 File '" + Home + "/a.txt' renamed to '" + Home + "/renamed.txt'.");
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
    EXPECT_EQ(c->Cmd("MKD pub/made"), "257 '" + Home + "/pub/made': directory created.");
    EXPECT_TRUE(Logged("sFMake(ANNA," + Home + "/pub/made)"));
    EXPECT_EQ(c->Cmd("RMD pub/made"), "250 '" + Home + "/pub/made': directory removed.");
    EXPECT_TRUE(Logged("sRepDel(ANNA," + Home + "/pub/made)"));
    EXPECT_EQ(c->Cmd("DELE pub/b.txt"), "250 File '" + Home + "/pub/b.txt' deleted.");
    EXPECT_TRUE(Logged("sFDel(ANNA," + Home + "/pub/b.txt)"));
    // A directory made inside a virtual link is made in the link's target.
    EXPECT_EQ(c->Cmd("MKD vlink/inside"), "257 '" + Home + "/vlink/inside': directory created.");
    EXPECT_TRUE(fs::is_directory(Linked + "/inside"));
    TXfer r = Xfer(*c, "RETR vlink/l.txt");
    EXPECT_EQ(r.Data, "content of data/linked/l.txt");
    EXPECT_EQ(r.Final, "226 Transfer complete.");
}

} // namespace
