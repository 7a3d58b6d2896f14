#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ControlChannel.h"
#include "ControlClient.h"
#include "ControlCommand.h"
#include "ControlPath.h"
#include "ControlProtocol.h"
#include "EventLoop.h"
#include "TempFolder.h"

using namespace vendrix::app;
using vendrix::net::TEventLoop;
using vendrix::testing::TTempFolder;

namespace {

// Points XDG_RUNTIME_DIR at a fresh folder for one test, so no test touches
// the real one, and puts the old value back afterwards.
class ControlChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) FOldRuntime = old;
        setenv("XDG_RUNTIME_DIR", FRuntime.Path().c_str(), 1);
        FBase = FBaseFolder.Path() + "/";
    }
    void TearDown() override {
        if (FOldRuntime)
            setenv("XDG_RUNTIME_DIR", FOldRuntime->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

    // Runs `client` on its own thread while this thread pumps the loop that
    // serves the channel; returns once the client has finished.
    void WhilePumping(const std::function<void()>& client) {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            client();
            done = true;
        });
        while (!done)
            TEventLoop::Instance().RunOnce(10);
        thread.join();
        // The round that answered the request has run its posted hooks too.
        TEventLoop::Instance().RunOnce(0);
    }

    TControlAnswer Pumped(const std::function<TControlAnswer()>& send) {
        TControlAnswer answer;
        WhilePumping([&] { answer = send(); });
        return answer;
    }

    std::string SocketPath() const { return ControlSocketPath(FBase); }

    TTempFolder FRuntime;
    TTempFolder FBaseFolder;
    std::string FBase;
    std::optional<std::string> FOldRuntime;
};

// A plain blocking client that sends raw bytes and reads until the instance
// closes; the read gives up after a while so a broken server fails the test
// instead of hanging it.
std::string RawExchange(const std::string& socketPath, const std::string& bytes) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    socketPath.copy(addr.sun_path, sizeof addr.sun_path - 1);
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string got;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
        if (!bytes.empty()) send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char buffer[256];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
            got.append(buffer, std::size_t(n));
        if (n < 0) got += "<no end>";
    }
    close(fd);
    return got;
}

// Leaves a socket file with nobody listening, as an instance that was killed
// would.
void LeaveStaleSocket(const std::string& socketPath) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    socketPath.copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
}

TEST(ControlCommandTest, OnlyExactTextsAreCommands) {
    const std::pair<const char*, TControlCommand> cases[] = {
        {"/start", TControlCommand::Start},       {"/stop", TControlCommand::Stop},
        {"/restart", TControlCommand::Restart},   {"/close", TControlCommand::Close},
        {"/hidetray", TControlCommand::HideTray}, {"/showtray", TControlCommand::ShowTray},
        {"/STOP", TControlCommand::None},         {"/Start", TControlCommand::None},
        {" /stop", TControlCommand::None},        {"/stop ", TControlCommand::None},
        {"stop", TControlCommand::None},          {"-stop", TControlCommand::None},
        {"/stop\n", TControlCommand::None},       {"", TControlCommand::None},
    };
    for (const auto& [text, command] : cases)
        EXPECT_EQ(ParseControlCommand(text), command) << '"' << text << '"';
}

TEST(ControlProtocolTest, RequestsRoundTrip) {
    const TControlRequest cases[] = {
        {TControlVerb::Identify, ""},           {TControlVerb::Activate, ""},
        {TControlVerb::Command, "/stop"},       {TControlVerb::Command, ""},
        {TControlVerb::Command, "two  words "},
    };
    for (const TControlRequest& request : cases) {
        std::string line = FormatControlRequest(request);
        ASSERT_EQ(line.back(), '\n');
        line.pop_back();
        EXPECT_EQ(ParseControlRequest(line), request) << line;
    }
    for (const char* unknown : {"", "identify", "IDENTIFY ", "COMMAND", "HELLO /stop"})
        EXPECT_FALSE(ParseControlRequest(unknown)) << unknown;
}

TEST_F(ControlChannelTest, SocketIsNamedByTheBaseFolder) {
    std::string path = SocketPath();
    std::string folder = FRuntime.Path() + "/vendrix-ftp/";
    ASSERT_EQ(path.rfind(folder, 0), 0u) << path;
    std::string name = path.substr(folder.size());
    EXPECT_EQ(name, Fnv1a64Hex(NormalControlBase(FBase)) + ".sock");
    EXPECT_EQ(name.size(), 16u + 5u);

    // Every spelling of one folder names one socket; another folder another.
    std::string bare = FBaseFolder.Path();
    for (const std::string& spelling : {bare, bare + "//", bare + "/./", bare + "/x/.."})
        EXPECT_EQ(ControlSocketPath(spelling), path) << spelling;
    EXPECT_NE(ControlSocketPath(FRuntime.Path()), path);

    // FNV-1a's published value for "a".
    EXPECT_EQ(Fnv1a64Hex("a"), "af63dc4c8601ec8c");

    unsetenv("XDG_RUNTIME_DIR");
    std::string fallback = ControlFolder();
    EXPECT_NE(fallback.find("/vendrix-ftp-" + std::to_string(geteuid()) + "/"), std::string::npos)
        << fallback;
}

TEST_F(ControlChannelTest, ListenMakesAnOwnerOnlyFolderAndCloseRemovesTheSocket) {
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    channel.Listen();
    EXPECT_TRUE(channel.Listening());
    struct stat st {};
    ASSERT_EQ(stat((FRuntime.Path() + "/vendrix-ftp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(lstat(SocketPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));

    channel.Close();
    EXPECT_FALSE(channel.Listening());
    EXPECT_FALSE(std::filesystem::exists(SocketPath()));
}

TEST_F(ControlChannelTest, AnExistingFolderOpenToOthersIsRefused) {
    std::string folder = FRuntime.Path() + "/vendrix-ftp";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    EXPECT_THROW(channel.Listen(), std::runtime_error);
    EXPECT_FALSE(channel.Listening());
    EXPECT_EQ(Identify(FBase).Status, TControlStatus::Failed);
}

TEST_F(ControlChannelTest, IdentifyAnswersTheInstanceValue) {
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    channel.Listen();
    TControlAnswer answer = Pumped([&] { return Identify(FBase); });
    EXPECT_TRUE(answer.Ok()) << answer.Text;
    EXPECT_EQ(answer.Text, "753159852");
    EXPECT_EQ(std::to_string(kControlIdentifyValue), answer.Text);
}

TEST_F(ControlChannelTest, CommandTextReachesTheHookExactly) {
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    std::vector<std::string> texts;
    std::vector<TControlCommand> commands;
    channel.OnCommand = [&](const std::string& text) {
        texts.push_back(text);
        commands.push_back(ParseControlCommand(text));
    };
    channel.Listen();

    const std::pair<std::string, TControlCommand> cases[] = {
        {"/stop", TControlCommand::Stop}, {"/restart", TControlCommand::Restart},
        {"/STOP", TControlCommand::None}, {"hello world ", TControlCommand::None},
        {"", TControlCommand::None},      {std::string(kMaxControlText, 'x'), TControlCommand::None},
    };
    for (const auto& [text, command] : cases) {
        texts.clear();
        commands.clear();
        TControlAnswer answer = Pumped([&] { return SendCommand(FBase, text); });
        EXPECT_TRUE(answer.Ok()) << answer.Text;
        EXPECT_EQ(answer.Text, "OK");
        ASSERT_EQ(texts.size(), 1u) << text;
        EXPECT_EQ(texts[0], text);
        EXPECT_EQ(commands[0], command) << text;
    }
}

TEST_F(ControlChannelTest, ActivateRunsTheHookAndAnswersWithoutOne) {
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    channel.Listen();
    EXPECT_EQ(Pumped([&] { return Activate(FBase); }).Text, "OK");

    int activations = 0;
    channel.OnActivate = [&] { ++activations; };
    channel.OnCommand = [](const std::string&) { FAIL() << "activate is no command"; };
    TControlAnswer answer = Pumped([&] { return Activate(FBase); });
    EXPECT_TRUE(answer.Ok()) << answer.Text;
    EXPECT_EQ(answer.Text, "OK");
    EXPECT_EQ(activations, 1);
}

TEST_F(ControlChannelTest, ASecondListenReportsAlreadyRunning) {
    TControlChannel first(TEventLoop::Instance(), SocketPath());
    first.Listen();
    TControlChannel second(TEventLoop::Instance(), SocketPath());
    // The second Listen probes the socket while this thread serves the first.
    bool alreadyRunning = false;
    WhilePumping([&] {
        try {
            second.Listen();
        } catch (const TControlAlreadyRunning&) {
            alreadyRunning = true;
        }
    });
    EXPECT_TRUE(alreadyRunning);
    EXPECT_FALSE(second.Listening());
    second.Close(); // must not take the first one's socket away
    EXPECT_TRUE(Pumped([&] { return Identify(FBase); }).Ok());
}

TEST_F(ControlChannelTest, AStaleSocketFileIsReplaced) {
    CheckControlFolder(ControlFolder(), true);
    LeaveStaleSocket(SocketPath());
    TControlAnswer none = Identify(FBase);
    EXPECT_EQ(none.Status, TControlStatus::NoInstance) << none.Text;

    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    channel.Listen();
    TControlAnswer answer = Pumped([&] { return Identify(FBase); });
    EXPECT_TRUE(answer.Ok()) << answer.Text;
}

TEST_F(ControlChannelTest, BadRequestsAreRefusedAndClosed) {
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    bool hooked = false;
    channel.OnCommand = [&](const std::string&) { hooked = true; };
    channel.Listen();

    std::string longest = std::string(kControlCommandVerb) + std::string(kMaxControlText, 'x');
    const std::pair<std::string, std::string> cases[] = {
        {longest + "x\n", "ERR request too long\n"},
        {longest + "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "ERR request too long\n"},
        {std::string(4096, 'y'), "ERR request too long\n"},
        {"HELLO\n", "ERR unknown request\n"},
        {"identify\r\n", "ERR unknown request\n"},
        {"IDENTIFY\r\n", "753159852\n"},
    };
    for (const auto& [request, answer] : cases) {
        std::string got;
        WhilePumping([&] { got = RawExchange(SocketPath(), request); });
        EXPECT_EQ(got, answer) << request.substr(0, 40);
    }
    EXPECT_FALSE(hooked);

    // The sender refuses what the instance would refuse, before sending it.
    for (const std::string& text : {std::string(kMaxControlText + 1, 'x'), std::string("/stop\n/start")})
        EXPECT_EQ(SendCommand(FBase, text).Status, TControlStatus::Failed);
}

TEST_F(ControlChannelTest, ASilentPeerIsDroppedWhileOthersAreServed) {
    TControlChannel channel(TEventLoop::Instance(), SocketPath());
    channel.TimeoutMs = 50;
    channel.Listen();
    std::string silent = "unset";
    TControlAnswer answer;
    WhilePumping([&] {
        std::thread quiet([&] { silent = RawExchange(SocketPath(), ""); });
        answer = Identify(FBase);
        quiet.join();
    });
    EXPECT_TRUE(answer.Ok()) << answer.Text;
    EXPECT_EQ(silent, ""); // closed by the instance, without an answer
}

TEST_F(ControlChannelTest, NoInstanceIsAClearFailure) {
    for (auto send : {+[](const std::string& base) { return Identify(base); },
                      +[](const std::string& base) { return Activate(base); },
                      +[](const std::string& base) { return SendCommand(base, "/stop"); }}) {
        TControlAnswer answer = send(FBase);
        EXPECT_EQ(answer.Status, TControlStatus::NoInstance);
        EXPECT_EQ(answer.Text, "no instance running for " + NormalControlBase(FBase));
    }
}

} // namespace
