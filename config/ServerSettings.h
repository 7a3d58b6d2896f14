// The settings read at every server start: what the FTP engine is given
// (port, passive-mode address and port range) and the process-wide values the
// policy reads until the next start (limits, greeting, log options).
#pragma once

#include <cstdint>
#include <string>

#include "SettingsFile.h"

namespace vendrix::config {

struct TServerSettings {
    std::string Port;        // a number or a service name; empty: the start fails
    int32_t MaxUser = 0;     // 0: no limit
    int32_t GlobalMaxKS = 0; // kilobytes per second, 0: no limit
    std::string PasvIP;      // empty: the control connection's local address
    int32_t PasvPortRangeStart = 0;
    int32_t PasvPortRangeSize = 0; // 0: no range, the system picks the port
    bool HideVersion = false;
    bool Log = false;         // also write the daily log file
    bool AddDate = false;     // date in the on-screen line frame
    bool ShowCommand = false; // log every command
    // Before login (0: no limit): seconds to log in, waiting connections per
    // address and in all, failed logins per address per minute, ban length.
    int32_t LoginTimeOut = 60;
    int32_t MaxWaitPerIP = 32;
    int32_t MaxWait = 256;
    int32_t MaxLoginFail = 10;
    int32_t BanMinutes = 15;
};

// The range runs from "LowPASV" to "HighPASV", both ends included.
// A pair that makes no range of ports (a negative size, a port outside
// 1..65535) gives no range rather than a value the engine would refuse.
void DerivePasvRange(int32_t low, int32_t high, int32_t& start, int32_t& size);

TServerSettings ReadServerSettings(const TSettings& settings);

} // namespace vendrix::config
