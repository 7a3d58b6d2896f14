// The two timers of the controller: every second the idle time-out, the
// observers' refresh and the total speed; every 5 ms, while a data
// connection moves bytes, the per-session speeds and the pacing of downloads
// within "MaxSpeed" and "GlobalMaxKS". With nothing moving the fast timer
// stops, so an idle server does not wake 200 times a second.
#pragma once

#include "EventLoop.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace vendrix::policy {

class TFtpController;
class TAppClient;

class TSpeedLimiter {
public:
    // The clock gives milliseconds like the event loop's tick counter; tests
    // inject another one to see time-outs and speeds without waiting.
    using TClock = std::function<uint64_t()>;
    static constexpr uint32_t kSecondIntervalMs = 1000;
    static constexpr uint32_t kFastIntervalMs = 5;

    // Starts the limiter (Start).
    TSpeedLimiter(TFtpController& owner, net::TEventLoop& loop, TClock clock = net::TEventLoop::Tick);
    ~TSpeedLimiter();
    TSpeedLimiter(const TSpeedLimiter&) = delete;
    TSpeedLimiter& operator=(const TSpeedLimiter&) = delete;

    // The second timer at once, the fast one whenever something moves.
    void Start();
    void Stop();
    bool FastTickArmed() const { return FFastTimer != 0; }
    void SetClock(TClock clock) { FClock = std::move(clock); }
    uint64_t Now() const { return FClock(); }

    void SecondTick();
    void FastTick();
    // Kilobytes per second of all sessions together, as of the last fast tick.
    double TotalSpeed() const { return FTotalSpeed; }
    // The status bar's text: "102.4 K/s".
    std::string TotalSpeedText() const;
    // Whether the session's downloads are paced: its account has a
    // "MaxSpeed" or the server a "GlobalMaxKS".
    bool Capped(const TAppClient& client) const;
    // The average speed of the session's last transfer, in K/s.
    double SessionSpeed(const TAppClient& client) const;
    // A data connection of the session starts moving bytes: the fast tick
    // watches it from now on, until its speed is back to 0 with no transfer
    // under way. Every other session shows 0 and has no block to release,
    // so thousands of idle sessions cost a tick nothing.
    void Track(int32_t id);

private:
    void ArmFastTick();

    TFtpController& FOwner;
    net::TEventLoop& FLoop;
    TClock FClock;
    net::TEventLoop::TTimerId FSecondTimer = 0;
    net::TEventLoop::TTimerId FFastTimer = 0;
    bool FRunning = false;
    double FTotalSpeed = 0;
    // The sessions the fast tick looks at, in the list's order (ids grow).
    std::set<int32_t> FMoving;
};

} // namespace vendrix::policy
