#include <filesystem>
#include <gtest/gtest.h>

#include "BaseLocation.h"
#include "CommandLine.h"
#include "Paths.h"
#include "SettingsFile.h"
#include "TempFolder.h"

using namespace vendrix::app;
using vendrix::testing::TTempFolder;

TEST(BaseLocationTest, ResolutionTable) {
    TTempFolder t;
    const std::string portable = t.File("portable");   // holds conf/
    const std::string installed = t.File("installed"); // a bin/ without conf/
    std::filesystem::create_directories(portable + "/conf");
    std::filesystem::create_directories(installed);

    struct TCase {
        const char* Name;
        std::string Explicit;
        TBaseEnvironment Env;
        TBaseFolder Expected;
    };
    const TCase cases[] = {
        {"--base wins over a portable folder",
         t.File("mine//"),
         {portable, "/xdg", "/home/ann"},
         {t.File("mine/"), TBaseOrigin::Explicit}},
        {"portable folder", "", {portable, "/xdg", "/home/ann"}, {portable + "/", TBaseOrigin::Executable}},
        {"installed: XDG_CONFIG_HOME",
         "",
         {installed, "/xdg/", "/home/ann"},
         {"/xdg/vendrix-ftp/", TBaseOrigin::UserConfig}},
        {"installed: no XDG_CONFIG_HOME",
         "",
         {installed, "", "/home/ann"},
         {"/home/ann/.config/vendrix-ftp/", TBaseOrigin::UserConfig}},
        {"a relative XDG_CONFIG_HOME is ignored",
         "",
         {installed, "rel", "/home/ann"},
         {"/home/ann/.config/vendrix-ftp/", TBaseOrigin::UserConfig}},
        {"unknown executable folder",
         "",
         {"", "/xdg", "/home/ann"},
         {"/xdg/vendrix-ftp/", TBaseOrigin::UserConfig}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ResolveBaseFolder(c.Explicit, c.Env), c.Expected) << c.Name;
    EXPECT_EQ(DescribeBaseFolder({"/xdg/vendrix-ftp/", TBaseOrigin::UserConfig}),
              "Base folder: /xdg/vendrix-ftp/ (the user's configuration folder)");
}

TEST(BaseLocationTest, PreparingMakesFoldersAndDefaultsOnce) {
    TTempFolder t;
    const std::string base = t.File("a/b/vendrix-ftp/");
    EXPECT_TRUE(NeedsPreparing(base));
    PrepareBaseFolder(base);
    EXPECT_FALSE(NeedsPreparing(base));
    vendrix::config::TPaths paths(base);
    EXPECT_TRUE(std::filesystem::is_directory(paths.LogFolder()));
    vendrix::config::TSettingsFile settings(paths.ConfigFile());
    EXPECT_EQ(settings.ReadString(vendrix::config::TSetting::LangFile), "english");
    const std::string port = settings.ReadString(vendrix::config::TSetting::Port);
    EXPECT_TRUE(port == "21" || port == "2121") << port;

    // An existing settings file is left alone.
    settings.WriteString(vendrix::config::TSetting::Port, "4000");
    PrepareBaseFolder(base);
    EXPECT_EQ(settings.ReadString(vendrix::config::TSetting::Port), "4000");
}

TEST(CommandLineTest, RefusedArgumentsInOneLine) {
    TTempFolder t;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--port", "21"}, ""},
        {{"--port", "ftp"}, ""},
        {{"--port", "65535"}, ""},
        {{"--port", "99999"}, "the port must be a number from 1 to 65535: 99999"},
        {{"--port", "0"}, "the port must be a number from 1 to 65535: 0"},
        {{"--port", "000021"}, ""},
        {{"--port", "1234567890123"}, "the port must be a number from 1 to 65535: 1234567890123"},
        {{"--port", "no-such-service"}, "unknown port or service name: no-such-service"},
        {{"--port", ""}, "the port is empty"},
        {{"--port"}, "option --port needs a value"},
        {{"--base", "/nonexistent"}, "the base folder does not exist: /nonexistent"},
        {{"--base", t.Path()}, ""},
        {{"--root", t.File("none")}, "the folder to share does not exist: " + t.File("none")},
        {{"--frobnicate"}, "unknown option: --frobnicate"},
        {{"-hidetray"}, ""},
    };
    for (const auto& [args, error] : cases)
        EXPECT_EQ(ParseCommandLine(args).Error, error) << args[0];
}

TEST(CommandLineTest, TheFirstWordStartsACommand) {
    TTempFolder t;
    const TCommandLine cl = ParseCommandLine({"--base", t.Path(), "user", "add", "ann", "--home", "/srv"});
    EXPECT_EQ(cl.Error, "");
    EXPECT_EQ(cl.Command, (std::vector<std::string>{"user", "add", "ann", "--home", "/srv"}));
    EXPECT_EQ(cl.Base, t.Path());
}
