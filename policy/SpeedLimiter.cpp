#include "SpeedLimiter.h"

#include "FtpController.h"

namespace vendrix::policy {

TSpeedLimiter::TSpeedLimiter(TFtpController& owner, net::TEventLoop& loop, TClock clock)
    : FOwner(owner), FLoop(loop), FClock(std::move(clock)) {}

TSpeedLimiter::~TSpeedLimiter() {
    if (FSecondTimer) FLoop.CancelTimer(FSecondTimer);
    if (FFastTimer) FLoop.CancelTimer(FFastTimer);
}

void TSpeedLimiter::SecondTick() {}

void TSpeedLimiter::FastTick() {}

} // namespace vendrix::policy
