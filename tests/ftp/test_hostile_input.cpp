// Hostile bytes on the control connection: CR and NUL inside commands, Telnet
// sequences, and error texts with line breaks. Nothing of it may reach a
// reply, a file name or a listing raw.
#include "FtpTestKit.h"

#include <dirent.h>

using namespace vendrix::ftp;
using namespace vendrix::ftp::testkit;

namespace {

class HostileInput : public TServerFixture {
protected:
    // Every entry of the scratch folder.
    std::vector<std::string> Entries() {
        std::vector<std::string> names;
        if (DIR* d = opendir(Root.c_str())) {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
};

TEST_F(HostileInput, CommandsHoldingCrOrNulAreRefused) {
    using namespace std::string_literals;
    struct TCase {
        std::string line; // sent with CR LF after it
        std::string reply;
    } cases[] = {
        {"NO\0OP"s, "501 Syntax error: CR or NUL byte in command."},
        {"NOOP\0"s, "501 Syntax error: CR or NUL byte in command."},
        {"\r", "501 Syntax error: CR or NUL byte in command."},
        {"MKD cr\rname", "501 Syntax error: CR or NUL byte in command."},
        {"STOR fake.txt\r226 injected", "501 Syntax error: CR or NUL byte in command."},
        {"MKD nul\0name"s, "501 Syntax error: CR or NUL byte in command."},
        {"RNFR a\r", "501 Syntax error: CR or NUL byte in command."},
        // Telnet sequences go whole, with their option byte.
        {"\xff\xfb\x01NOOP", "200 NOOP Command okay."},
        {"\xff\xfc\x01NOOP", "200 NOOP Command okay."},
        {"\xff\xfd\x18NOOP", "200 NOOP Command okay."},
        {"\xff\xfe\x18NOOP", "200 NOOP Command okay."},
        {"\xff\xf4\xff\xf2NOOP", "200 NOOP Command okay."},
        {"NOOP\xff", "200 NOOP Command okay."},
        // A tab stays a blank between keyword and parameter.
        {"MKD\ttabbed", "257 \"" + Root + "tabbed\" directory created."},
    };
    auto c = LoggedIn();
    for (const TCase& t : cases)
        EXPECT_EQ(c->Cmd(t.line), t.reply) << t.line;
    EXPECT_EQ(Entries(), std::vector<std::string>{"tabbed"});
    // The listing shows the one folder: a name with a line break
    // made on the machine itself is left out.
    WriteFile("evil\r\n226 name", "x");
    auto data = c->Pasv();
    EXPECT_EQ(c->Cmd("NLST"), "150 Opening data connection for directory list.");
    EXPECT_EQ(data->ReadAll(), ".\r\n..\r\ntabbed\r\n");
    EXPECT_EQ(c->Reply(), "226 Transfer complete.");
}

TEST_F(HostileInput, RefusedLinesNeverReachTheCommandEvent) {
    int seen = 0;
    Server->OnClientCommand = [&](TFtpServer&, TFtpCtrlSocket&, TFtpString&, TFtpString&, TFtpString&) {
        ++seen;
    };
    auto c = Connect();
    EXPECT_EQ(c->Cmd("USER a\rb"), "501 Syntax error: CR or NUL byte in command.");
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(c->Cmd("NOOP"), "200 NOOP Command okay.");
    EXPECT_EQ(seen, 1);
}

TEST_F(HostileInput, RepliesGoOutAsOneLine) {
    // An error text with a line break, as the socket layer's texts have.
    Server->OnClientCommand = [](TFtpServer&, TFtpCtrlSocket&, TFtpString& keyword, TFtpString&,
                                 TFtpString& answer) {
        if (keyword == "BIND")
            answer = "500 PASV exception: 'Error 10048 in function Bind\r\nAddress in use'.";
        if (keyword == "NULS") answer = std::string("500 a\0b\r\r\n", 10);
    };
    std::vector<std::string> logged;
    Server->OnAnswerToClient = [&](TFtpServer&, TFtpCtrlSocket&, TFtpString& a) { logged.push_back(a); };
    auto c = Connect();
    c->Send("BIND\r\nNULS\r\nNOOP\r\n");
    EXPECT_TRUE(c->ReadUntil([](std::string& s) { return s.find("okay.\r\n") != std::string::npos; }));
    EXPECT_EQ(c->Take(), "500 PASV exception: 'Error 10048 in function Bind Address in use'.\r\n"
                         "500 ab\r\n"
                         "200 NOOP Command okay.\r\n");
    // The application (its log) sees the same single lines.
    EXPECT_EQ(logged,
              (std::vector<std::string>{"500 PASV exception: 'Error 10048 in function Bind Address in use'.",
                                        "500 ab", "200 NOOP Command okay."}));
}

TEST(StripTelnet, SequencesAndDoubledIac) {
    struct TCase {
        std::string in, out;
    } cases[] = {
        {"NOOP", "NOOP"},
        {"\xff\xff", "\xff"},
        {"a\xff\xff\xff\xffz", "a\xff\xffz"},
        {"\xff\xfb\x01x", "x"},     // IAC WILL ECHO
        {"\xff\xfc\x01x", "x"},     // IAC WONT
        {"\xff\xfd\x01x", "x"},     // IAC DO
        {"\xff\xfe\x01x", "x"},     // IAC DONT
        {"\xff\xf4x", "x"},         // IAC IP
        {"\xff\xfbx", ""},          // WILL swallows what stands as its option
        {"x\xff", "x"},             // a lone IAC at the end
        {"x\xff\xfb", "x"},         // a cut sequence at the end
        {"\xff\xfa\x18y", "\x18y"}, // IAC SB: two bytes, the rest stays
    };
    for (const TCase& t : cases)
        EXPECT_EQ(StripTelnet(t.in), t.out) << t.in;
}

TEST(OnWire, OneLineUnlessMultiLineByDesign) {
    using namespace std::string_literals;
    struct TCase {
        std::string in, out;
    } cases[] = {
        {"200 ok", "200 ok"},
        {"501 a\r\nb", "501 a b"},
        {"501 a\rb\nc", "501 a b c"},
        {"501 a\r\n\r\nb\r\n", "501 a b"},
        {"501 a\0b"s, "501 ab"},
        {"\r\n", ""},
        {"", ""},
        {"211-Extensions supported:\r\n  SIZE\r\n211 END", "211-Extensions supported:\r\n  SIZE\r\n211 END"},
        {"230-Hello\n\rthere\r230 x\r\n", "230-Hello\r\nthere\r\n230 x"},
    };
    for (const TCase& t : cases)
        EXPECT_EQ(reply::OnWire(t.in), t.out) << t.in;
}

} // namespace
