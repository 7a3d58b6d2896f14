// The one logging operation. Each message (tagged text) becomes one line:
// with the file option on it is appended to the day's file "log-yyyy-mm-dd.log"
// in the log folder (opened and closed for each line, so the day's file
// changes at midnight and can be moved while the server runs); then the
// framed line goes to every registered sink (the GUI's view, or standard
// output in the daemon).
//
// A log file that cannot be written is reported once on the error reporter
// (standard error by default) until a line gets through again; the line
// still reaches the sinks. Called on the event-loop thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "LogAppearance.h"
#include "LogClock.h"

namespace vendrix::log {

// Receives each line framed as tagged text (see LogFrame.h, RenderTagged).
using TLogSink = std::function<void(const std::string& framedLine)>;
using TLogErrorReporter = std::function<void(const std::string& message)>;

struct TLogOptions {
    bool ToFile = false;  // "Log"
    bool AddDate = false; // "AddDate"
};

class TSessionLog {
public:
    explicit TSessionLog(std::string logFolder, TLogClock clock = SystemLocalTime);

    void SetOptions(const TLogOptions& options) { FOptions = options; }
    const TLogOptions& Options() const { return FOptions; }
    void SetColors(const config::TLogColors& colors) { FColors = colors; }
    const config::TLogColors& Colors() const { return FColors; }
    void SetErrorReporter(TLogErrorReporter reporter) { FReportError = std::move(reporter); }

    // Returns a number for RemoveSink.
    int AddSink(TLogSink sink);
    void RemoveSink(int id);

    void Log(std::string_view message);

private:
    void WriteFile(const TLocalTime& time, std::string_view message);

    std::string FFolder;
    TLogClock FClock;
    TLogOptions FOptions;
    config::TLogColors FColors;
    TLogErrorReporter FReportError;
    std::map<int, TLogSink> FSinks;
    int FNextSink = 1;
    bool FFileFailing = false;
};

} // namespace vendrix::log
