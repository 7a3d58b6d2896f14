// The pure path rules under both path styles: lexical collapsing, whole-
// component containment, virtual links, the rights of access entries,
// re-rooting under a home and the paths replies show.
#include "PathRights.h"
#include "RealPath.h"
#include "ReplyPaths.h"
#include "SmallStack.h"
#include "TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vendrix::config;
using namespace vendrix::policy;
using vendrix::ftp::TPathStyle;

namespace {

const TPathStyle& Posix = TPathStyle::Posix;
const TPathStyle& Win = TPathStyle::Windows;

std::vector<TAccessEntry> Entries(const TPathStyle& style, std::initializer_list<const char*> values) {
    std::vector<TAccessEntry> entries;
    for (const char* v : values)
        entries.push_back(ParseAccessEntry(v));
    return NormalizedEntries(style, entries);
}

struct TTwoArgs {
    const TPathStyle* Style;
    std::string In, Out;
};

TEST(PathRights, CollapseDotsIsLexicalAndNeverClimbsAboveTheRoot) {
    const TTwoArgs cases[] = {
        {&Posix, "/srv/ftp/a.txt", "/srv/ftp/a.txt"},
        {&Posix, "/srv/ftp/pub/..", "/srv/ftp/"},
        {&Posix, "/srv/ftp/./pub/", "/srv/ftp/pub/"},
        {&Posix, "/srv//ftp///x", "/srv/ftp/x"},
        {&Posix, "/srv/ftp/../../../../etc/passwd", "/etc/passwd"},
        {&Posix, "/..", "/"},
        {&Posix, "/", "/"},
        {&Posix, "/srv/ftp/sub/.", "/srv/ftp/sub/"},
        {&Posix, "/srv/ftp/*.*", "/srv/ftp/*.*"},
        {&Posix, "/a/.../b", "/a/.../b"}, // three dots are a name
        {&Win, "C:\\ftp\\pub\\..\\x", "C:\\ftp\\x"},
        {&Win, "C:\\ftp\\..\\..\\..", "C:\\"},
        {&Win, "C:\\ftp\\.\\pub\\", "C:\\ftp\\pub\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CollapseDots(*c.Style, c.In), c.Out) << c.In;
}

TEST(PathRights, ContainmentIsByWholeComponentsFromTheStart) {
    struct {
        const TPathStyle* Style;
        const char* Dir;
        const char* Path;
        bool Within;
    } cases[] = {
        {&Posix, "/srv/ftp/", "/srv/ftp/", true},
        {&Posix, "/srv/ftp/", "/srv/ftp", true},
        {&Posix, "/srv/ftp/", "/srv/ftp/pub/a.txt", true},
        {&Posix, "/srv/ftp", "/srv/ftp/pub/", true},
        {&Posix, "/srv/ftp/", "/srv/ftp2/a.txt", false},
        {&Posix, "/srv/ftp/", "/tmp/srv/ftp/a.txt", false},
        {&Posix, "/srv/ftp/", "/srv/", false},
        {&Posix, "/srv/ftp/", "/SRV/FTP/a.txt", false},
        {&Win, "C:\\ftp\\", "c:\\FTP\\pub\\", true},
        {&Win, "C:\\ftp\\", "D:\\ftp\\pub\\", false},
        {&Win, "C:\\ftp\\", "C:\\ftp2\\", false},
        {&Win, "C:\\ftp\\", "E:\\C:\\ftp\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathWithin(*c.Style, c.Dir, c.Path), c.Within) << c.Dir << " " << c.Path;
}

TEST(PathRights, MapVirtualLinkReplacesTheLinkPrefixOfTheHome) {
    auto posix = Entries(Posix, {"/srv/ftp/|D_______S__|", "/data/pub|D_______SV_|pub",
                                 "/data/nolink/|D________V_|", "/data/old/|D________V_|Old"});
    auto win = Entries(Win, {"C:\\ftp\\|D_______S__|", "E:\\pub\\|D_______SV_|pub"});
    const TTwoArgs cases[] = {
        {&Posix, "/srv/ftp/pub/a.txt", "/data/pub/a.txt"},
        {&Posix, "/srv/ftp/pub/", "/data/pub/"},
        {&Posix, "/srv/ftp/pub", "/srv/ftp/pub"}, // the link itself, not its content
        {&Posix, "/srv/ftp/public/a", "/srv/ftp/public/a"},
        {&Posix, "/srv/ftp/x/pub/a", "/srv/ftp/x/pub/a"},
        {&Posix, "/srv/ftp/Pub/a", "/srv/ftp/Pub/a"},
        {&Posix, "/srv/ftp/old/a", "/srv/ftp/old/a"},
        {&Posix, "/srv/ftp/Old/a", "/data/old/a"},
        {&Posix, "/elsewhere/srv/ftp/pub/a", "/elsewhere/srv/ftp/pub/a"},
        {&Win, "c:\\FTP\\PUB\\a.txt", "E:\\pub\\a.txt"},
        {&Win, "C:\\ftp\\pubs\\a.txt", "C:\\ftp\\pubs\\a.txt"},
    };
    for (const auto& c : cases) {
        const auto& entries = c.Style == &Posix ? posix : win;
        const char* home = c.Style == &Posix ? "/srv/ftp/" : "C:\\ftp\\";
        EXPECT_EQ(MapVirtualLink(*c.Style, entries, c.In, home), c.Out) << c.In;
    }
}

TEST(PathRights, ForbiddenCoversTheDirectoryItselfAndEverythingBelow) {
    auto posix = Entries(Posix, {"/srv/ftp/|DUEMRY__S__|", "/srv/ftp/private/|DA_________|"});
    auto win = Entries(Win, {"C:\\ftp\\|D_______S__|", "C:\\ftp\\private\\|A__________|"});
    struct {
        const TPathStyle* Style;
        const char* Path;
        bool Forbidden;
    } cases[] = {
        {&Posix, "/srv/ftp/private/", true},     {&Posix, "/srv/ftp/private/x/y.txt", true},
        {&Posix, "/srv/ftp/private", true}, // renaming or removing it from outside
        {&Posix, "/srv/ftp/riv", false},         {&Posix, "/srv/ftp/privateer/a", false},
        {&Posix, "/srv/ftp/Private/a", false},   {&Posix, "/srv/ftp/a.txt", false},
        {&Win, "c:\\ftp\\PRIVATE\\a.txt", true}, {&Win, "C:\\ftp\\riv", false},
    };
    for (const auto& c : cases) {
        const auto& entries = c.Style == &Posix ? posix : win;
        EXPECT_EQ(IsAccessForbidden(*c.Style, entries, c.Path), c.Forbidden) << c.Path;
    }
}

TEST(PathRights, AFolderHoldingAForbiddenOneIsHeldByIt) {
    auto posix = Entries(Posix, {"/srv/ftp/|DUEMRY__S__|", "/srv/ftp/sub/private/|DA_________|"});
    auto win = Entries(Win, {"C:\\ftp\\|D_______S__|", "C:\\ftp\\sub\\private\\|A__________|"});
    struct {
        const TPathStyle* Style;
        const char* Path;
        bool Holds;
    } cases[] = {
        {&Posix, "/srv/ftp/sub", true},
        {&Posix, "/srv/ftp/sub/", true},
        {&Posix, "/srv/ftp", true},
        {&Posix, "/srv/ftp/sub/private", true},
        {&Posix, "/srv/ftp/sub/private/x", false},
        {&Posix, "/srv/ftp/su", false},
        {&Posix, "/srv/ftp/other", false},
        {&Posix, "/srv/ftp/sub/priv", false},
        {&Win, "c:\\FTP\\SUB", true},
        {&Win, "C:\\ftp\\other", false},
    };
    for (const auto& c : cases) {
        const auto& entries = c.Style == &Posix ? posix : win;
        EXPECT_EQ(HoldsForbidden(*c.Style, entries, c.Path), c.Holds) << c.Path;
    }
}

TEST(PathRights, HasRightLooksAtTheDirectoryOfThePath) {
    auto posix =
        Entries(Posix, {"/srv/ftp/|DU______S__|", "/srv/ftp/up/|_UE________|", "/srv/ftp/ro/|D__________|"});
    auto win = Entries(Win, {"C:\\ftp\\|D_______S__|", "C:\\ftp\\pub\\|D__________|"});
    struct {
        const TPathStyle* Style;
        const char* Path;
        char Letter;
        bool Has;
    } cases[] = {
        {&Posix, "/srv/ftp/a.txt", 'D', true},
        {&Posix, "/srv/ftp/deep/er/a.txt", 'D', true}, // "S" reaches every level
        {&Posix, "/srv/ftp/up/a.txt", 'E', true},
        {&Posix, "/srv/ftp/up/sub/a.txt", 'E', false}, // no "S" on up/
        {&Posix, "/srv/ftp/a.txt", 'E', false},
        {&Posix, "/srv/ftp/up", 'E', false}, // the directory up itself lies in /srv/ftp/
        {&Posix, "/srv/ftp2/a.txt", 'D', false},
        {&Posix, "/srv/a.txt", 'D', false},
        {&Posix, "/srv/ftp/a.txt", 'd', false}, // letters are case-sensitive
        {&Win, "c:\\FTP\\sub\\a.txt", 'D', true},
        {&Win, "C:\\ftp\\pub\\a.txt", 'D', true},
        {&Win, "C:\\ftp\\a.txt", 'U', false},
    };
    for (const auto& c : cases) {
        const auto& entries = c.Style == &Posix ? posix : win;
        EXPECT_EQ(HasRight(*c.Style, entries, c.Path, c.Letter), c.Has) << c.Path << " " << c.Letter;
    }
}

TEST(PathRights, EntriesAreNormalisedAndEmptyDirectoriesDropped) {
    auto entries =
        Entries(Posix, {"/srv//ftp/./pub|D__________|", "|DUAEMRY_SV_|x", "relative/|D__________|"});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Directory, "/srv/ftp/pub/");
    EXPECT_FALSE(HasRight(Posix, entries, "/etc/passwd", 'D'));
    EXPECT_FALSE(IsCovered(Posix, entries, "/etc/passwd"));
    EXPECT_TRUE(IsCovered(Posix, entries, "/srv/ftp/pub/sub/a")); // coverage ignores "S"
}

TEST(PathRights, RerootUnderHomeKeepsEveryPathInsideTheHome) {
    const TTwoArgs cases[] = {
        {&Posix, "/pub/", "/srv/ftp/pub/"},
        {&Posix, "/", "/srv/ftp/"},
        {&Posix, "/etc/passwd", "/srv/ftp/etc/passwd"},
        {&Posix, "/srv/ftp/pub/a", "/srv/ftp/pub/a"},
        {&Posix, "/srv/ftp", "/srv/ftp/"},
        {&Posix, "/srv/ftp/../../etc/passwd", "/srv/ftp/etc/passwd"},
        {&Posix, "/srv/ftp/pub/../x", "/srv/ftp/x"},
        {&Posix, "//etc/./passwd", "/srv/ftp/etc/passwd"},
        {&Posix, "/srv/ftp2/a", "/srv/ftp/srv/ftp2/a"},
        {&Posix, "/SRV/FTP/a", "/srv/ftp/SRV/FTP/a"},
        {&Win, "D:\\pub\\", "D:\\ftp\\pub\\"},
        {&Win, "d:\\FTP\\pub\\a", "D:\\ftp\\pub\\a"},
        {&Win, "C:\\..\\windows\\", "D:\\ftp\\windows\\"},
    };
    for (const auto& c : cases) {
        const char* home = c.Style == &Posix ? "/srv/ftp/" : "D:\\ftp\\";
        EXPECT_EQ(RerootUnderHome(*c.Style, home, c.In), c.Out) << c.In;
    }
}

TEST(PathRights, RepliesShowTheClientsView) {
    struct {
        const TPathStyle* Style;
        bool Virtual;
        const char* In;
        const char* Out;
    } cases[] = {
        {&Posix, true, "257 \"/srv/ftp/\" is current directory.", "257 \"/\" is current directory."},
        {&Posix, true, "250 CWD command successful. \"/srv/ftp/pub/\" is current directory.",
         "250 CWD command successful. \"/pub/\" is current directory."},
        {&Posix, true, "250 File '/srv/ftp/a' renamed to '/srv/ftp/b'.", "250 File '/a' renamed to '/b'."},
        {&Posix, true, "550 '/srv/ftp': no such file or directory.", "550 '/': no such file or directory."},
        {&Posix, true, "550 '/tmp/srv/ftp/a': x.", "550 '/tmp/srv/ftp/a': x."},
        {&Posix, true, "550 '/srv/ftp2/a': x.", "550 '/srv/ftp2/a': x."},
        {&Posix, true, "550 '//a': x.", "550 '/a': x."},
        {&Posix, false, "257 \"/srv/ftp/\" is current directory.", "257 \"/srv/ftp/\" is current directory."},
        {&Posix, true, "550 'C:/x': a.", "550 'C:/x': a."}, // no drive steps under POSIX
        {&Win, true, "257 \"D:/ftp/\" is current directory.", "257 \"/\" is current directory."},
        {&Win, true, "250 CWD command successful. \"d:/FTP/pub/\" is current directory.",
         "250 CWD command successful. \"/pub/\" is current directory."},
        {&Win, true, "550 'E:\\data\\x': no such file or directory.",
         "550 '/data\\x': no such file or directory."},
        {&Win, false, "257 \"D:/ftp/\" is current directory.", "257 \"/D:/ftp/\" is current directory."},
        {&Win, false, "500 'D:\\ftp\\x'.", "500 'D:/ftp/x'."},
    };
    for (const auto& c : cases) {
        const char* home = c.Style == &Posix ? "/srv/ftp/" : "D:\\ftp\\";
        EXPECT_EQ(ClientReply(*c.Style, home, c.Virtual, c.In), c.Out) << c.In;
    }
}

TEST(PathRights, ResolvePathFollowsLinksAndRefusesDanglingOnes) {
    vendrix::testing::TTempFolder tmp;
    namespace fs = std::filesystem;
    const std::string base = fs::canonical(tmp.Path()).string();
    fs::create_directories(base + "/home/sub");
    fs::create_directories(base + "/outside");
    fs::create_directory_symlink(base + "/outside", base + "/home/out");
    fs::create_symlink(base + "/nowhere/x", base + "/home/dangling");
    EXPECT_EQ(ResolvePath(base + "/home/sub/"), base + "/home/sub/");
    EXPECT_EQ(ResolvePath(base + "/home/out/new.txt"), base + "/outside/new.txt");
    EXPECT_EQ(ResolvePath(base + "/home/new/deeper"), base + "/home/new/deeper");
    EXPECT_EQ(ResolvePath(base + "/home/dangling"), std::nullopt);
    EXPECT_EQ(ResolvePath(base + "/home/dangling/x"), std::nullopt);
    EXPECT_EQ(ResolvePath("/"), "/");
}

// A deep chain of missing folders (the client's to choose) resolves on a
// small stack: the resolver neither recurses per component nor per level.
TEST(PathRights, DeepPathsResolveOnASmallStack) {
    vendrix::testing::TTempFolder tmp;
    namespace fs = std::filesystem;
    const std::string base = fs::canonical(tmp.Path()).string();
    fs::create_directories(base + "/home/a");
    fs::create_symlink(base + "/nowhere", base + "/home/dangling");
    std::string missing = base + "/home/gone", partly = base + "/home/a", dangling = base + "/home/dangling";
    for (int i = 0; i < 1000; ++i) {
        missing += "/a";
        partly += "/a";
        dangling += "/a";
    }
    struct TCase {
        std::string In;
        std::optional<std::string> Out;
    } cases[] = {
        {missing, missing},
        {partly + "/", partly + "/"},
        {dangling, std::nullopt},
        {base + "/home/a/../a/x", base + "/home/a/x"},
    };
    for (const TCase& c : cases) {
        std::optional<std::string> out;
        // 64 KiB of stack: one frame per missing component would need megabytes.
        vendrix::testing::RunOnSmallStack(64 * 1024, [&] { out = ResolvePath(c.In); });
        EXPECT_EQ(out, c.Out) << c.In.substr(0, 80);
    }
}

} // namespace
