#include "SessionLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "LogFrame.h"

namespace vendrix::log {

namespace {

void ReportOnStderr(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
}

// Appends `line` with one write, so lines from several writers do not mix.
int AppendLine(const std::string& path, const std::string& line) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int error = 0;
    std::string_view rest = line;
    while (!rest.empty()) {
        ssize_t n = write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    if (close(fd) != 0 && error == 0) error = errno;
    return error;
}

} // namespace

TSessionLog::TSessionLog(std::string logFolder, TLogClock clock)
    : FFolder(std::move(logFolder)), FClock(std::move(clock)), FReportError(ReportOnStderr) {}

int TSessionLog::AddSink(TLogSink sink) {
    FSinks.emplace(FNextSink, std::move(sink));
    return FNextSink++;
}

void TSessionLog::RemoveSink(int id) {
    FSinks.erase(id);
}

void TSessionLog::Log(std::string_view message) {
    TLocalTime now = FClock();
    if (FOptions.ToFile) WriteFile(now, message);
    std::string line = FrameLine(FColors, now, FOptions.AddDate, message);
    for (const auto& [id, sink] : FSinks)
        sink(line);
}

void TSessionLog::WriteFile(const TLocalTime& time, std::string_view message) {
    std::string path = FFolder + "/" + LogFileName(time);
    int error = AppendLine(path, FileLine(time, message));
    if (error == 0) {
        FFileFailing = false;
        return;
    }
    if (!FFileFailing && FReportError)
        FReportError("cannot write the log file " + path + ": " + std::strerror(error));
    FFileFailing = true;
}

} // namespace vendrix::log
