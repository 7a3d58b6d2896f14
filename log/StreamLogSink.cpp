#include "StreamLogSink.h"

#include <cerrno>
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

TLogSink MakeStreamLogSink(int fd, bool ansi, std::function<config::TColor()> textColor) {
    return [fd, ansi, textColor = std::move(textColor)](const std::string& line) {
        std::string text = FormatForStream(line, textColor(), ansi);
        std::string_view rest = text;
        while (!rest.empty()) {
            ssize_t n = write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return; // a closed or full output loses the line, nothing more
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
    };
}

TLogSink MakeStdoutLogSink(std::function<config::TColor()> textColor) {
    return MakeStreamLogSink(STDOUT_FILENO, isatty(STDOUT_FILENO) == 1, std::move(textColor));
}

} // namespace vendrix::log
