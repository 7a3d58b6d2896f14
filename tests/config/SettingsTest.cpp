#include <gtest/gtest.h>

#include "ColorText.h"
#include "EventSounds.h"
#include "LogAppearance.h"
#include "Paths.h"
#include "ServerSettings.h"
#include "SettingsFile.h"
#include "TempFolder.h"
#include "WindowPlacement.h"

using namespace vendrix::config;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WriteText;

namespace {

TSettings Parse(const std::string& text) {
    return TSettings(std::make_shared<const TIniDocument>(TIniDocument::Parse(text)));
}

TEST(SettingsTest, EmptyFileGivesEveryDefault) {
    TSettings settings;
    for (int i = 0; i < static_cast<int>(TSetting::Count); ++i) {
        const TKeyDef& def = SettingDef(static_cast<TSetting>(i));
        SCOPED_TRACE(std::string(def.Section) + "/" + std::string(def.Key));
        EXPECT_EQ(settings.ReadString(static_cast<TSetting>(i)), def.Default);
    }
    EXPECT_EQ(ReadWindowPlacement(settings), (TWindowPlacement{594, 326, 430, 415}));
    EXPECT_EQ(ReadLogFont(settings), (TLogFont{"MS Sans Serif", 1, 8, 0}));
    EXPECT_EQ(ReadLogColors(settings).Back, "#FFFFFF");
    EXPECT_EQ(ReadLogColors(settings).Text, "#000000");
}

TEST(SettingsTest, ServerStartReadsTheSetupSection) {
    TSettings settings = Parse("[setup]\n"
                               "port=\"2121\"\n"
                               "MAXUSER=10\n"
                               "GlobalMaxKS=0x40\n"
                               "PASVIP=192.0.2.7\n"
                               "LowPASV=5000\n"
                               "HighPASV=5100\n"
                               "HideVersion=1\n"
                               "Log=2\n"
                               "AddDate=0\n"
                               "ShowCommand=yes\n");
    TServerSettings s = ReadServerSettings(settings);
    EXPECT_EQ(s.Port, "2121");
    EXPECT_EQ(s.MaxUser, 10);
    EXPECT_EQ(s.GlobalMaxKS, 64);
    EXPECT_EQ(s.PasvIP, "192.0.2.7");
    EXPECT_EQ(s.PasvPortRangeStart, 5000);
    EXPECT_EQ(s.PasvPortRangeSize, 101); // both ends included
    EXPECT_TRUE(s.HideVersion);
    EXPECT_TRUE(s.Log);
    EXPECT_FALSE(s.AddDate);
    EXPECT_FALSE(s.ShowCommand);
}

TEST(SettingsTest, PassiveRangeFromLowAndHigh) {
    struct TCase {
        int Low, High, Start, Size;
    };
    const TCase cases[] = {
        {5000, 5100, 5000, 101}, {0, 0, 0, 0},         {5000, 5001, 5000, 2},
        {5000, 5000, 0, 0},      {5000, 4000, 0, 0},   {0, 4000, 0, 0},
        {-5, 100, 0, 0},         {60000, 70000, 0, 0}, {1, 65535, 1, 65535},
    };
    for (const TCase& c : cases) {
        int32_t start = -1, size = -1;
        DerivePasvRange(c.Low, c.High, start, size);
        EXPECT_EQ(start, c.Start) << c.Low << ".." << c.High;
        EXPECT_EQ(size, c.Size) << c.Low << ".." << c.High;
    }
}

TEST(SettingsTest, WindowPlacementCorrection) {
    struct TCase {
        const char* Name;
        TWindowPlacement Stored;
        TWindowPlacement Expected;
    };
    const TCase cases[] = {
        {"too small", {10, 20, 200, 300}, {10, 20, 430, 415}},
        {"height 415 and 416 stay", {10, 20, 430, 416}, {10, 20, 430, 416}},
        {"negative position", {-40, -1, 500, 500}, {0, 0, 500, 500}},
        {"past the right and bottom edges", {1700, 900, 500, 400}, {1420, 665, 500, 415}},
        {"larger than the screen", {100, 100, 3000, 2000}, {0, 0, 3000, 2000}},
        {"inside", {594, 326, 430, 415}, {594, 326, 430, 415}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CorrectWindowPlacement(c.Stored, 1920, 1080), c.Expected);
    }
}

TEST(SettingsTest, ColorTextConversion) {
    struct TCase {
        const char* Text;
        std::optional<TColor> Expected;
    };
    const TCase cases[] = {
        {"#FF8000", TColor{255, 128, 0}},
        {"#ff8000", TColor{255, 128, 0}},
        {"X102030", TColor{16, 32, 48}},
        {"#1234567", TColor{0x12, 0x34, 0x56}},
        {"#12345", std::nullopt},
        {"#GG0000", std::nullopt},
        {"", std::nullopt},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ParseColorText(c.Text), c.Expected) << c.Text;
    EXPECT_EQ(FormatColorText({255, 10, 0}), "#FF0A00");

    TLogColors colors = ReadLogColors(Parse("[Color]\nIPTag=#00ff00\nFileTag=red\nBackTag=#12\n"));
    EXPECT_EQ(colors.IP, "#00FF00");
    EXPECT_EQ(colors.File, "#000000");
    EXPECT_EQ(colors.Back, "#FFFFFF");
}

TEST(SettingsTest, DialogGroupsRoundTripThroughTheFile) {
    TTempFolder folder;
    TSettingsFile file(folder.File("config.ini"));
    TLogColors colors;
    colors.Client = "#0000FF";
    WriteLogColors(file, colors);
    WriteLogFont(file, {"DejaVu Sans", 0, 10, 3});
    WriteEventSounds(file, {"/snd/c.wav", "", "", "", "/snd/d.wav", ""});
    WriteWindowPlacement(file, {1, 2, 800, 600});
    file.WriteString(TSetting::LangFile, "francais");

    TSettings settings = file.Load();
    EXPECT_EQ(ReadLogColors(settings), colors);
    EXPECT_EQ(ReadLogFont(settings), (TLogFont{"DejaVu Sans", 0, 10, 3}));
    EXPECT_EQ(ReadEventSounds(settings), (TEventSounds{"/snd/c.wav", "", "", "", "/snd/d.wav", ""}));
    EXPECT_EQ(ReadWindowPlacement(settings), (TWindowPlacement{1, 2, 800, 600}));
    EXPECT_EQ(settings.ReadString(TSetting::LangFile), "francais");
    EXPECT_NE(ReadText(file.Path()).find("[Window]\nTop=2\nLeft=1\nWidth=800\nHeight=600\n"),
              std::string::npos);
}

TEST(SettingsTest, IpListsAppendBehindTheLastAndRewriteWhole) {
    TTempFolder folder;
    std::string path = folder.File("config.ini");
    WriteText(path, "[IP Deny]\nIP0=10.*\nIP1=192.168.1.?\nIP3=hidden\n");
    TSettingsFile file(path);
    file.AppendIp(TIpList::Deny, "203.0.113.9");
    EXPECT_EQ(file.ReadIpList(TIpList::Deny),
              (std::vector<std::string>{"10.*", "192.168.1.?", "203.0.113.9", "hidden"}));
    EXPECT_TRUE(file.ReadIpList(TIpList::Allow).empty());

    file.WriteIpList(TIpList::Deny, {"1.1.1.1"});
    file.WriteIpList(TIpList::Allow, {"127.0.0.1"});
    EXPECT_EQ(ReadText(path), "[IP Deny]\nIP0=1.1.1.1\n\n[IP Allow]\nIP0=127.0.0.1\n");
}

TEST(SettingsTest, PathsUnderTheBaseFolder) {
    TPaths paths("/opt/vendrix/");
    EXPECT_EQ(paths.ConfigFile(), "/opt/vendrix/conf/config.ini");
    EXPECT_EQ(paths.UsersFile(), "/opt/vendrix/conf/users.ini");
    EXPECT_EQ(paths.LanguageFolder(), "/opt/vendrix/lng");
    EXPECT_EQ(paths.LogFolder(), "/opt/vendrix/log");
}

} // namespace
