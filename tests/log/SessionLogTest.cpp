#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <vector>

#include "LogFrame.h"
#include "SessionLog.h"
#include "StreamLogSink.h"
#include "TaggedText.h"
#include "TempFolder.h"

using namespace vendrix::config;
using namespace vendrix::log;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;

namespace {

TLogColors TestColors() {
    TLogColors colors;
    colors.Sep = "#111111";
    colors.Text = "#222222";
    colors.Date = "#333333";
    colors.Client = "#444444";
    return colors;
}

TEST(SessionLogTest, LineFrameWithAndWithoutDate) {
    TLocalTime t{2024, 3, 7, 9, 5, 1};
    EXPECT_EQ(FrameLine(TestColors(), t, false, "hello"),
              "#111111<[>#333333<09:05:01>#111111<] - >#222222<hello>");
    EXPECT_EQ(FrameLine(TestColors(), t, true, "hello"),
              "#111111<[>#333333<2024-03-07>#111111< - >#333333<09:05:01>#111111<] - >#222222<hello>");
    EXPECT_EQ(FileLine(t, "#444444<BOB> logged #999999<in>"), "[09:05:01] - BOB logged in\r\n");
    EXPECT_EQ(LogFileName(t), "log-2024-03-07.log");
}

// A clock that walks through the given moments, one per call.
TLogClock Moments(std::vector<TLocalTime> moments) {
    auto next = std::make_shared<std::size_t>(0);
    return [moments, next] { return moments.at((*next)++); };
}

TEST(SessionLogTest, FileLinesSwitchFilesAtMidnight) {
    TTempFolder folder;
    TSessionLog log(folder.Path(),
                    Moments({{2024, 12, 31, 23, 59, 59}, {2025, 1, 1, 0, 0, 1}, {2025, 1, 1, 0, 0, 2}}));
    log.SetColors(TestColors());
    std::vector<std::string> seen;
    log.AddSink([&](const std::string& line) { seen.push_back(line); });
    log.SetOptions({true, false});
    log.Log("#444444<BOB> #555555<in>");
    log.Log("second");
    log.SetOptions({false, true});
    log.Log("screen only");

    EXPECT_EQ(ReadText(folder.File("log-2024-12-31.log")), "[23:59:59] - BOB in\r\n");
    EXPECT_EQ(ReadText(folder.File("log-2025-01-01.log")), "[00:00:01] - second\r\n");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "#111111<[>#333333<23:59:59>#111111<] - >#222222<#444444<BOB> #555555<in>>");
    EXPECT_EQ(seen[2],
              "#111111<[>#333333<2025-01-01>#111111< - >#333333<00:00:02>#111111<] - >#222222<screen only>");
}

TEST(SessionLogTest, UnwritableLogFileIsReportedOnceAndLinesStillReachSinks) {
    TTempFolder folder;
    std::string logFolder = folder.File("log"); // not there yet
    TSessionLog log(
        logFolder,
        Moments(
            {{2024, 1, 1, 1, 0, 0}, {2024, 1, 1, 1, 0, 1}, {2024, 1, 1, 1, 0, 2}, {2024, 1, 1, 1, 0, 3}}));
    log.SetOptions({true, false});
    std::vector<std::string> errors;
    log.SetErrorReporter([&](const std::string& message) { errors.push_back(message); });
    int lines = 0;
    log.AddSink([&](const std::string&) { ++lines; });

    log.Log("one");
    log.Log("two");
    EXPECT_EQ(lines, 2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0],
              "cannot write the log file " + logFolder + "/log-2024-01-01.log: No such file or directory");

    std::filesystem::create_directory(logFolder);
    log.Log("three");
    EXPECT_EQ(ReadText(logFolder + "/log-2024-01-01.log"), "[01:00:02] - three\r\n");
    std::filesystem::remove_all(logFolder);
    log.Log("four");
    EXPECT_EQ(errors.size(), 2u) << "a new failure after a success is reported again";
    EXPECT_EQ(lines, 4);
}

TEST(SessionLogTest, RemovedSinkGetsNoMoreLines) {
    TTempFolder folder;
    TSessionLog log(folder.Path(), [] { return TLocalTime{}; });
    int a = 0, b = 0;
    int idA = log.AddSink([&](const std::string&) { ++a; });
    log.AddSink([&](const std::string&) { ++b; });
    log.Log("x");
    log.RemoveSink(idA);
    log.Log("y");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
}

TEST(SessionLogTest, StreamSinkPlainAndColoured) {
    std::string line = FrameLine(TestColors(), {2024, 1, 1, 12, 0, 0}, false, "#FF0000<BOB> in>x");
    TColor text = *ParseColorText("#222222");
    EXPECT_EQ(FormatForStream(line, text, false), "[12:00:00] - BOB inx\n");
    EXPECT_EQ(FormatForStream(line, text, true),
              "\x1b[38;2;17;17;17m[\x1b[0m\x1b[38;2;51;51;51m12:00:00\x1b[0m\x1b[38;2;17;17;17m] - \x1b[0m"
              "\x1b[38;2;255;0;0mBOB\x1b[0m inx\n");

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    MakeStreamLogSink(fds[1], false, [text] { return text; })(line);
    close(fds[1]);
    char buffer[128] = {};
    ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
    close(fds[0]);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), "[12:00:00] - BOB inx\n");
}

std::string ReadAvailable(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

TEST(SessionLogTest, ScheduledStreamSinkWritesAtTheFlushAtSizeAndAtItsEnd) {
    TColor text = *ParseColorText("#000000");
    auto framed = [](const std::string& message) {
        return FrameLine(TestColors(), {2024, 1, 1, 12, 0, 0}, false, message);
    };
    auto shown = [&](const std::string& message) { return FormatForStream(framed(message), text, false); };
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    ASSERT_GE(fcntl(fds[1], F_SETPIPE_SZ, 1 << 20), 1 << 17); // room for the 64 KiB write
    std::vector<std::function<void()>> flushes;
    auto sink = std::make_unique<TLogSink>(MakeStreamLogSink(
        fds[1], false, [text] { return text; },
        [&](std::function<void()> f) { flushes.push_back(std::move(f)); }));
    (*sink)(framed("a"));
    (*sink)(framed("b"));
    EXPECT_EQ(ReadAvailable(fds[0]), ""); // held until the burst is over
    ASSERT_EQ(flushes.size(), 1u);        // one flush asked for the burst
    flushes[0]();
    EXPECT_EQ(ReadAvailable(fds[0]), shown("a") + shown("b"));

    // 64 KiB of waiting text goes out without waiting for the flush.
    const std::string longLine(40 * 1024, 'x');
    (*sink)(framed(longLine));
    EXPECT_EQ(ReadAvailable(fds[0]), "");
    (*sink)(framed(longLine));
    EXPECT_EQ(ReadAvailable(fds[0]), shown(longLine) + shown(longLine));

    // The sink's end writes what waits; a flush scheduled before then finds
    // nothing left.
    (*sink)(framed("last"));
    sink.reset();
    EXPECT_EQ(ReadAvailable(fds[0]), shown("last"));
    for (auto& flush : flushes)
        flush();
    EXPECT_EQ(ReadAvailable(fds[0]), "");
    close(fds[0]);
    close(fds[1]);
}

} // namespace
