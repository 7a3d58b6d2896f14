// The two timers of the controller: every second the idle time-out and the
// total speed; every 5 ms the per-session speeds and the pacing of downloads
// within "MaxSpeed" and "GlobalMaxKS".
#pragma once

#include "EventLoop.h"

#include <cstdint>
#include <functional>

namespace vendrix::policy {

class TFtpController;

class TSpeedLimiter {
public:
    // The clock gives milliseconds like the event loop's tick counter; tests
    // inject a later one to see time-outs without waiting.
    using TClock = std::function<uint64_t()>;

    TSpeedLimiter(TFtpController& owner, net::TEventLoop& loop, TClock clock = net::TEventLoop::Tick);
    ~TSpeedLimiter();
    TSpeedLimiter(const TSpeedLimiter&) = delete;
    TSpeedLimiter& operator=(const TSpeedLimiter&) = delete;

    void SetClock(TClock clock) { FClock = std::move(clock); }
    void SecondTick();
    void FastTick();
    // Kilobytes per second of all sessions together, as of the last fast tick.
    double TotalSpeed() const { return FTotalSpeed; }

private:
    TFtpController& FOwner;
    net::TEventLoop& FLoop;
    TClock FClock;
    net::TEventLoop::TTimerId FSecondTimer = 0;
    net::TEventLoop::TTimerId FFastTimer = 0;
    double FTotalSpeed = 0;
};

} // namespace vendrix::policy
