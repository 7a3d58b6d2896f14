// The path rules, one table per path style.
#include "FtpTypes.h"
#include "PathRules.h"

#include <gtest/gtest.h>

using namespace vendrix::ftp;

namespace {

struct TDirCase {
    const char* current;
    const char* param;
    const char* result; // the new directory, or the refusal text
};

void RunDirCases(const TPathStyle& style, const std::vector<TDirCase>& cases) {
    for (const TDirCase& t : cases) {
        std::string got;
        try {
            got = ApplySetDirectory(style, t.current, t.param);
        } catch (const EFtpError& e) {
            got = e.what();
        }
        EXPECT_EQ(got, t.result) << t.current << " + " << t.param;
    }
}

TEST(SetDirectory, WindowsStyle) {
    RunDirCases(TPathStyle::Windows,
                {
                    {"C:\\ftp\\pub\\", "..", "C:\\ftp\\"},
                    {"C:\\ftp\\pub\\", ".", "C:\\ftp\\pub\\"},
                    {"C:\\ftp\\pub\\", "sub", "C:\\ftp\\pub\\sub\\"},
                    {"C:\\ftp\\pub\\", "\\x", "C:\\x\\"},
                    {"C:\\ftp\\pub\\", "D:", "D:\\"},
                    {"C:\\ftp\\pub\\", "D:sub", "Cannot accept path not relative to current directory"},
                    {"C:\\ftp\\pub\\", "..\\x", "Cannot accept relative path using dot notation"},
                    {"C:\\ftp\\pub\\", "x\\..\\y", "Cannot accept relative path using dot notation"},
                    {"C:\\ftp\\pub\\", "\\a\\.\\b", "Cannot accept relative path using dot notation"},
                    {"C:\\ftp\\pub\\", "\\\\server\\share\\x", "Cannot accept UNC path"},
                    {"C:\\ftp\\pub\\", "C:\\a:b", "Invalid directory name syntax"},
                    {"C:\\ftp\\pub\\", "\\C:\\y", "C:\\y\\"},
                    {"C:\\", "..", "C:\\"},
                    {"C:\\ftp\\pub\\", "C:\\ftp\\pub\\", "C:\\ftp\\pub\\"},
                    {"C:\\ftp\\", "", "C:\\ftp\\"},
                });
}

TEST(SetDirectory, PosixStyle) {
    RunDirCases(TPathStyle::Posix,
                {
                    {"/srv/ftp/pub/", "..", "/srv/ftp/"},
                    {"/srv/ftp/pub/", ".", "/srv/ftp/pub/"},
                    {"/srv/ftp/pub/", "sub", "/srv/ftp/pub/sub/"},
                    {"/srv/ftp/pub/", "/x", "/x/"},
                    {"/srv/ftp/pub/", "a:b", "/srv/ftp/pub/a:b/"}, // a colon is part of a name here
                    {"/srv/ftp/pub/", "../x", "Cannot accept relative path using dot notation"},
                    {"/srv/ftp/pub/", "/a/./b", "Cannot accept relative path using dot notation"},
                    {"/srv/ftp/pub/", "/a/../b", "Cannot accept relative path using dot notation"},
                    {"/srv/ftp/pub/", "//x", "//x/"},
                    {"/", "..", "/"},
                    {"/srv/ftp/", "", "/srv/ftp/"},
                });
}

struct TBuildCase {
    const char* home;
    const char* dir;
    const char* name;
    const char* result;
};

void RunBuildCases(const TPathStyle& style, const std::vector<TBuildCase>& cases) {
    for (const TBuildCase& t : cases) {
        std::string got;
        try {
            got = ApplyBuildFilePath(style, t.home, t.dir, style.ToLocal(t.name));
        } catch (const EFtpError& e) {
            got = e.what();
        }
        EXPECT_EQ(got, t.result) << t.dir << " + " << t.name;
    }
}

TEST(BuildFilePath, WindowsStyle) {
    RunBuildCases(TPathStyle::Windows,
                  {
                      {"C:\\ftp\\", "C:\\ftp\\", "/pub/a.txt", "C:\\ftp\\pub\\a.txt"},
                      {"C:\\ftp\\", "C:\\ftp\\pub\\", "a.txt", "C:\\ftp\\pub\\a.txt"},
                      {"C:\\ftp\\", "C:\\ftp\\pub\\", "d:x", "No current dir for 'D:'"},
                      {"C:\\ftp\\", "C:\\ftp\\pub\\", "c:x", "C:\\ftp\\pub\\x"},
                      {"C:\\ftp\\", "C:\\ftp\\pub\\", "D:\\x", "D:\\x"},
                      {"C:\\ftp\\", "C:\\ftp\\pub\\", "", "C:\\ftp\\pub\\"},
                      {"C:\\ftp\\", "C:\\ftp\\pub\\", "//srv/share/f", "\\\\srv\\share\\f"},
                  });
}

TEST(BuildFilePath, PosixStyle) {
    RunBuildCases(TPathStyle::Posix, {
                                         {"/srv/ftp/", "/srv/ftp/pub/", "a.txt", "/srv/ftp/pub/a.txt"},
                                         {"/srv/ftp/", "/srv/ftp/pub/", "/etc/passwd", "/etc/passwd"},
                                         {"/srv/ftp/", "/srv/ftp/pub/", "sub/b", "/srv/ftp/pub/sub/b"},
                                         {"/srv/ftp/", "/srv/ftp/pub/", "", "/srv/ftp/pub/"},
                                         {"/srv/ftp/", "/srv/ftp/pub/", "d:x", "/srv/ftp/pub/d:x"},
                                     });
}

TEST(TrimDirectoryOverlap, FindsTheLongestRepeatedTail) {
    const TPathStyle& w = TPathStyle::Windows;
    EXPECT_EQ(TrimDirectoryOverlap(w, "C:\\ftp\\pub\\", "\\pub\\a.txt"), "C:\\ftp\\");
    EXPECT_EQ(TrimDirectoryOverlap(w, "C:\\ftp\\pub\\", "pub\\a.txt"), "");
    EXPECT_EQ(TrimDirectoryOverlap(w, "C:\\a\\b\\c\\", "\\b\\c\\f"), "C:\\a\\");
    const TPathStyle& p = TPathStyle::Posix;
    EXPECT_EQ(TrimDirectoryOverlap(p, "/srv/ftp/pub/", "/pub/a.txt"), "/srv/ftp/");
    EXPECT_EQ(TrimDirectoryOverlap(p, "/srv/ftp/pub/", "/etc/passwd"), "");
}

TEST(PathStyle, SlashConversionAndDriveParts) {
    EXPECT_EQ(TPathStyle::Windows.ToLocal("/a/b"), "\\a\\b");
    EXPECT_EQ(TPathStyle::Windows.ToClient("C:\\a\\"), "C:/a/");
    EXPECT_EQ(TPathStyle::Posix.ToLocal("/a\\b"), "/a\\b");
    EXPECT_EQ(TPathStyle::Windows.DrivePart("\\\\srv\\share\\dir"), "\\\\srv\\share");
    EXPECT_EQ(TPathStyle::Windows.DrivePart("c:\\x"), "c:");
    EXPECT_EQ(TPathStyle::Posix.DrivePart("/x"), "");
}

} // namespace
