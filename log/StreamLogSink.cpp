#include "StreamLogSink.h"

#include <cerrno>
#include <memory>
#include <string_view>
#include <unistd.h>

#include "TaggedText.h"

namespace vendrix::log {

std::string FormatForStream(const std::string& framedLine, config::TColor textColor, bool ansi) {
    std::string out;
    for (const TColoredRun& run : RenderTagged(framedLine, textColor)) {
        if (ansi && run.Color != textColor) {
            out += "\x1b[38;2;" + std::to_string(run.Color.Red) + ";" + std::to_string(run.Color.Green) +
                   ";" + std::to_string(run.Color.Blue) + "m" + run.Text + "\x1b[0m";
        } else {
            out += run.Text;
        }
    }
    out += "\n";
    return out;
}

namespace {
void WriteAll(int fd, std::string_view rest) {
    while (!rest.empty()) {
        ssize_t n = write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // a closed or full output loses the text, nothing more
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

constexpr std::size_t kFlushBytes = 64 * 1024;

// Lines waiting for their flush. Owned by the sink: its end writes what is
// left, and a flush scheduled after that finds nothing to do.
struct TPendingOutput {
    int Fd;
    std::string Text;
    bool Scheduled = false;

    explicit TPendingOutput(int fd) : Fd(fd) {}
    ~TPendingOutput() { Flush(); }
    TPendingOutput(const TPendingOutput&) = delete;
    TPendingOutput& operator=(const TPendingOutput&) = delete;

    void Flush() {
        WriteAll(Fd, Text);
        Text.clear();
    }
};
} // namespace

TLogSink MakeStreamLogSink(int fd, bool ansi, std::function<config::TColor()> textColor,
                           TFlushScheduler schedule) {
    if (!schedule) {
        return [fd, ansi, textColor = std::move(textColor)](const std::string& line) {
            WriteAll(fd, FormatForStream(line, textColor(), ansi));
        };
    }
    auto pending = std::make_shared<TPendingOutput>(fd);
    return [pending, ansi, textColor = std::move(textColor),
            schedule = std::move(schedule)](const std::string& line) {
        pending->Text += FormatForStream(line, textColor(), ansi);
        if (pending->Text.size() >= kFlushBytes) {
            pending->Flush();
        } else if (!pending->Scheduled) {
            pending->Scheduled = true;
            schedule([weak = std::weak_ptr<TPendingOutput>(pending)] {
                if (auto output = weak.lock()) {
                    output->Scheduled = false;
                    output->Flush();
                }
            });
        }
    };
}

TLogSink MakeStdoutLogSink(std::function<config::TColor()> textColor, TFlushScheduler schedule) {
    return MakeStreamLogSink(STDOUT_FILENO, isatty(STDOUT_FILENO) == 1, std::move(textColor),
                             std::move(schedule));
}

} // namespace vendrix::log
