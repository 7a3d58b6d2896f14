// A controller on 127.0.0.1 with an account ANNA whose home is a temp folder,
// and helpers that run whole transfers through real data connections. The
// limiter's clock is the test's own: it only moves when the test says so.
#pragma once

#include "BaseFolder.h"
#include "FtpController.h"
#include "FtpTestKit.h"
#include "Md5.h"
#include "TaggedText.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vendrix::policy::testing {

using ftp::testkit::PumpUntil;
using ftp::testkit::TFtpClient;
using ftp::testkit::TRawConn;
using vendrix::testing::ReadText;
using vendrix::testing::TBaseFolder;
using vendrix::testing::TTempFolder;
using vendrix::testing::WriteText;

class TTransferFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Base.File("home/anna"));
        Home = Base.File("home/anna") + "/";
        WriteConfig("");
        WriteUsers("");
    }
    void TearDown() override {
        if (Ctl) Ctl->StopServer();
        Ctl.reset();
        ftp::testkit::Pump(5);
    }
    void WriteConfig(const std::string& setup) {
        Base.WriteConfig("[Setup]\nPort=21\n" + setup +
                         "\n[Sound]\nSndDownStart=start.wav\n"
                         "SndDownEnd=end.wav\nSndUploadStart=up.wav\nSndUploadEnd=up.wav\n");
    }
    // ANNA (password "secret") may do everything in her home and below.
    void WriteUsers(const std::string& extra) {
        Base.WriteUsers("[ANNA]\nPassword=" + config::Md5Hex("secret") + "\nHomePath=" + Home +
                        "\nDir0=" + Home + "|DU_EMRY_S__|\n" + extra + "\n");
    }
    void Start() {
        // Language texts show which message was logged and with what.
        Ctl = std::make_unique<TFtpController>(
            Base.Path(), [](std::string_view key) { return std::string(key) + "(%s,%s,%s)"; });
        Ctl->ListenAddr = "127.0.0.1";
        Ctl->PortOverride = "0";
        Ctl->SpeedLimiter().SetClock([this] { return Now; });
        Ctl->SessionLog().AddSink([this](const std::string& line) { Lines.push_back(log::StripTags(line)); });
        Ctl->OnPlaySound = [this](TSoundEvent event, const std::string&) { Sounds.push_back(event); };
        ASSERT_TRUE(Ctl->StartServer());
        Port = std::stoi(Ctl->Server().ServerSocket().GetLocalPortText());
    }
    std::unique_ptr<TFtpClient> LoggedIn() {
        auto c = std::make_unique<TFtpClient>(Port);
        c->Reply();
        c->Cmd("USER anna");
        EXPECT_EQ(c->Cmd("PASS secret").substr(0, 4), "230 ");
        return c;
    }
    TAppClient& Session(size_t row = 0) { return *Ctl->FindClient(Ctl->Users().at(row).ID); }

    struct TResult {
        std::string Started; // the reply to the transfer command
        std::string Data;    // what came over the data connection
        std::string Final;   // the reply when the data connection ended
    };
    TResult Retr(TFtpClient& c, const std::string& name, int64_t rest = 0) {
        auto data = c.Pasv();
        if (rest) c.Cmd("REST " + std::to_string(rest));
        TResult r;
        r.Started = c.Cmd("RETR " + name);
        r.Data = data->ReadAll();
        r.Final = c.Reply();
        return r;
    }
    TResult Stor(TFtpClient& c, const std::string& command, const std::string& bytes) {
        auto data = c.Pasv();
        TResult r;
        r.Started = c.Cmd(command);
        if (r.Started.rfind("150", 0) != 0) {
            r.Final = c.Reply();
            return r;
        }
        data->Send(bytes);
        data->Close();
        r.Final = c.Reply();
        return r;
    }
    void WriteFile(const std::string& name, size_t size, char fill = 'x') {
        WriteText(Home + name, std::string(size, fill));
    }
    int64_t FileTotal(config::TAccountKey key) const {
        return Ctl->AccountFile().Account("anna").ReadInt64(key);
    }
    // The log line containing `text`, or "" when none does.
    std::string LogLine(const std::string& text) const {
        for (const std::string& l : Lines)
            if (l.find(text) != std::string::npos) return l;
        return "";
    }

    TBaseFolder Base;
    std::string Home;
    std::unique_ptr<TFtpController> Ctl;
    std::vector<std::string> Lines;
    std::vector<TSoundEvent> Sounds;
    uint64_t Now = 5'000'000; // the limiter's clock, in milliseconds
    int Port = 0;
};

} // namespace vendrix::policy::testing
