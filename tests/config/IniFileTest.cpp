#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

#include "AtomicFile.h"
#include "IniFile.h"
#include "OutsideEdit.h"
#include "TempFolder.h"

using namespace vendrix::config;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WaitForRecheck;
using vendrix::testing::WriteText;

namespace {

// Sets a file's modification time to `secondsAgo` before now, plus `nanos`.
void AgeFile(const std::string& path, int secondsAgo, long nanos = 0) {
    timespec times[2]{};
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= secondsAgo;
    times[0].tv_nsec = nanos;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::size_t FilesIn(const std::string& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

TEST(IniFileTest, MissingFileOrFolderReadsAsEmpty) {
    TTempFolder folder;
    for (const std::string& path : {folder.File("none.ini"), folder.File("no/folder/x.ini")}) {
        TIniFile file(path);
        EXPECT_EQ(file.ReadString("Setup", "Port", "def"), "def");
        EXPECT_EQ(file.ReadInteger("Setup", "MaxUser", 4), 4);
        EXPECT_TRUE(file.Sections().empty());
    }
}

// A file that is there but cannot be read is not an empty file: reads give
// the defaults, the error is reported, and no write replaces it.
TEST(IniFileTest, UnreadableFileIsReportedAndNeverWrittenOver) {
    struct TCase {
        const char* Name;
        std::function<void(const std::string&)> Make;
        const char* Reason;
    } cases[] = {
        {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "Is a directory"},
        {"a link loop", [](const std::string& p) { std::filesystem::create_symlink(p, p); },
         "Too many levels of symbolic links"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder folder;
        const std::string path = folder.File("users.ini");
        c.Make(path);
        TIniFile file(path);
        EXPECT_EQ(file.ReadString("ANNA", "HomePath", "def"), "def");
        EXPECT_EQ(file.ReadError(), path + ": " + c.Reason);
        try {
            file.WriteString("ANNA", "TotalUpload", "5");
            ADD_FAILURE() << "no error reported";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "cannot read " + path + ": " + c.Reason);
        }
        EXPECT_THROW(file.Save(TIniDocument()), std::runtime_error);
        EXPECT_EQ(FilesIn(folder.Path()), 1u);
        std::error_code error;
        EXPECT_FALSE(std::filesystem::is_regular_file(path, error));
    }
    TTempFolder folder;
    TIniFile missing(folder.File("none.ini"));
    EXPECT_EQ(missing.ReadError(), "");
}

TEST(IniFileTest, WritesGoToDiskAtOnceAndKeepOtherLines) {
    TTempFolder folder;
    std::string path = folder.File("config.ini");
    WriteText(path, "; kept\n[Setup]\nPort=21\n");
    TIniFile file(path);
    file.WriteString("setup", "PORT", "2121");
    file.WriteBool("Setup", "Log", true);
    EXPECT_EQ(ReadText(path), "; kept\n[Setup]\nPort=2121\nLog=1\n");
    EXPECT_EQ(FilesIn(folder.Path()), 1u);
}

TEST(IniFileTest, NewFileGetsUsualPermissionsAndOldFileKeepsItsOwn) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    mode_t mask = umask(022);
    TIniFile(path).WriteString("bob", "k", "1");
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    chmod(path.c_str(), 0600);
    TIniFile(path).WriteString("bob", "k", "2");
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    umask(mask);
}

TEST(IniFileTest, OwnWritesAreSeenByEveryReaderOfThePath) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    TIniFile writer(path);
    TIniFile reader(path);
    EXPECT_EQ(reader.ReadInteger("bob", "TotalUpload", 0), 0);
    writer.WriteInteger("bob", "TotalUpload", 12);
    EXPECT_EQ(reader.ReadInteger("BOB", "TotalUpload", 0), 12);
}

TEST(IniFileTest, UnchangedFileIsNotParsedAgain) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    WriteText(path, "[bob]\nMaxUser=1\n");
    AgeFile(path, 60);
    TIniFile file(path);
    auto first = file.Load();
    WaitForRecheck();
    EXPECT_EQ(file.Load().get(), first.get());
}

// On a clock that stands still the file is looked at once; the next look
// comes when the clock has moved a whole interval.
int64_t gStillClock = 0;
int64_t StillClock() {
    return gStillClock;
}

TEST(IniFileTest, OutsideEditWaitsForTheNextCheckInterval) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    WriteText(path, "[bob]\nMaxUser=1\n");
    TIniFile file(path);
    gStillClock = 1'000'000'000'000;
    TIniFile::SetClock(&StillClock);
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 1);
    WriteText(path, "[bob]\nMaxUser=22\n");
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 1);
    gStillClock += std::chrono::nanoseconds(TIniFile::kRecheckInterval).count() - 1;
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 1);
    gStillClock += 1;
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 22);
    TIniFile::SetClock(nullptr);
}

TEST(IniFileTest, OutsideEditIsSeenAtTheNextRead) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    WriteText(path, "[bob]\nMaxUser=1\n");
    AgeFile(path, 60);
    TIniFile file(path);
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 1);

    // Another program replaces the file (new inode, new size).
    WriteText(path + ".new", "[bob]\nMaxUser=22\n");
    std::filesystem::rename(path + ".new", path);
    WaitForRecheck();
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 22);

    // Same size, edited in place, within the same clock step.
    WriteText(path, "[bob]\nMaxUser=33\n");
    WaitForRecheck();
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 33);

    // Same size, edited in place long ago: only the nanoseconds differ.
    AgeFile(path, 60, 100);
    WaitForRecheck();
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 33);
    WriteText(path, "[bob]\nMaxUser=44\n");
    AgeFile(path, 60, 200);
    WaitForRecheck();
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 44);

    std::filesystem::remove(path);
    WaitForRecheck();
    EXPECT_EQ(file.ReadInteger("bob", "MaxUser", 0), 0);
}

struct TFaultCase {
    const char* Name;
    TWriteStep Step;
    int Error;
    const char* Message;
};

TEST(IniFileTest, FailedWriteKeepsTheOldFileAndReportsTheError) {
    const TFaultCase cases[] = {
        {"no temporary file", TWriteStep::Create, EACCES,
         "cannot create a temporary file: Permission denied"},
        {"disk full while writing", TWriteStep::Write, ENOSPC, "write failed: No space left on device"},
        {"flush fails", TWriteStep::Flush, EIO, "flush to disk failed: Input/output error"},
        {"rename fails", TWriteStep::Rename, EXDEV, "rename failed: Invalid cross-device link"},
    };
    for (const TFaultCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder folder;
        std::string path = folder.File("config.ini");
        const std::string old = "[Setup]\nPort=21\n";
        WriteText(path, old);
        TIniFile file(path);
        ASSERT_EQ(file.ReadString("Setup", "Port", ""), "21");

        SetWriteFaultForTesting([&](TWriteStep step) { return step == c.Step ? c.Error : 0; });
        try {
            file.WriteString("Setup", "Port", "2121");
            ADD_FAILURE() << "no error reported";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "cannot save " + path + ": " + c.Message);
        }
        SetWriteFaultForTesting(nullptr);

        EXPECT_EQ(ReadText(path), old);
        EXPECT_EQ(FilesIn(folder.Path()), 1u) << "temporary file left behind";
        EXPECT_EQ(file.ReadString("Setup", "Port", ""), "21");
    }
}

} // namespace
