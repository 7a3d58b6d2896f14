#include "SpeedLimiter.h"

#include "FtpController.h"

#include "CaseInsensitive.h"
#include "NumberFormat.h"
#include "TransferSpeed.h"

#include <cmath>

namespace vendrix::policy {

namespace {
std::vector<int32_t> RowIds(const TFtpController& owner) {
    std::vector<int32_t> ids;
    for (const TUserRow& row : owner.Users())
        ids.push_back(row.ID);
    return ids;
}
} // namespace

TSpeedLimiter::TSpeedLimiter(TFtpController& owner, net::TEventLoop& loop, TClock clock)
    : FOwner(owner), FLoop(loop), FClock(std::move(clock)) {
    Start();
}

TSpeedLimiter::~TSpeedLimiter() {
    Stop();
}

void TSpeedLimiter::Start() {
    FRunning = true;
    if (!FSecondTimer) FSecondTimer = FLoop.AddTimer(kSecondIntervalMs, true, [this] { SecondTick(); });
    ArmFastTick();
}

void TSpeedLimiter::Stop() {
    FRunning = false;
    if (FSecondTimer) FLoop.CancelTimer(FSecondTimer);
    if (FFastTimer) FLoop.CancelTimer(FFastTimer);
    FSecondTimer = FFastTimer = 0;
}

void TSpeedLimiter::Track(int32_t id) {
    FMoving.insert(id);
    ArmFastTick();
}

void TSpeedLimiter::ArmFastTick() {
    if (FRunning && !FFastTimer && !FMoving.empty())
        FFastTimer = FLoop.AddTimer(kFastIntervalMs, true, [this] { FastTick(); });
}

std::string TSpeedLimiter::TotalSpeedText() const {
    return log::FormatDecimal(FTotalSpeed) + " K/s";
}

bool TSpeedLimiter::Capped(const TAppClient& client) const {
    return FOwner.Settings().GlobalMaxKS != 0 ||
           FOwner.AccountFile().Account(client.UserName).ReadInteger(config::TAccountKey::MaxSpeed) != 0;
}

double TSpeedLimiter::SessionSpeed(const TAppClient& client) const {
    return KBPerSecond(client.ByteCount - client.XferStartBytes, client.XferStartTick, Now());
}

void TSpeedLimiter::SecondTick() {
    const uint64_t now = Now();
    for (int32_t id : RowIds(FOwner)) {
        TAppClient* client = FOwner.FindClient(id);
        if (!client) continue;
        const int64_t minutes =
            FOwner.AccountFile().Account(client->UserName).ReadInteger(config::TAccountKey::TimeOut);
        if (minutes == 0) continue;
        const int64_t idleSeconds =
            now > client->LastCommandTick ? int64_t((now - client->LastCommandTick) / 1000) : 0;
        if (idleSeconds <= minutes * 60) continue;
        // The session ends from the loop; its end removes it from the list.
        client->CloseLater();
        FOwner.LogClient(id, FOwner.Translate("sTimeOutDisc") + " " +
                                 FOwner.ClientSegment(config::UpperCase(client->UserName)));
    }
    FOwner.EndLoginTimeOuts();
    FOwner.NotifySecondTick();
}

void TSpeedLimiter::FastTick() {
    // Sessions outside FMoving show 0, so the total is theirs alone. With
    // nobody logged in nothing moves: the status shows no speed.
    double total = 0;
    for (int32_t id : FMoving)
        total += FOwner.ClientSpeed(id);
    FTotalSpeed = total;
    if (FOwner.Users().empty()) FMoving.clear(); // nobody there, nothing moves
    const int32_t globalCap = FOwner.Settings().GlobalMaxKS;
    for (auto it = FMoving.begin(); it != FMoving.end();) {
        const int32_t id = *it;
        TAppClient* client = FOwner.FindClient(id);
        if (!client || !FOwner.HasSpeed(id)) {
            it = FMoving.erase(it);
            continue;
        }
        // A download that reached its end moves nothing more; a running
        // upload is measured even when an earlier download left the mark.
        double shown = 0;
        if (client->DataSent && !client->UploadFlag) {
            FOwner.SetClientSpeed(id, 0);
        } else {
            const double speed = float(SessionSpeed(*client));
            shown = std::round(speed * 1000.0) / 1000.0;
            FOwner.SetClientSpeed(id, shown);
            if (client->ReadyForNextBlock && !client->ReleasePending) {
                const int32_t cap =
                    FOwner.AccountFile().Account(client->UserName).ReadInteger(config::TAccountKey::MaxSpeed);
                if ((cap == 0 || speed < cap) && (globalCap == 0 || globalCap > total))
                    FOwner.Server().SendNextDataBlock(*client, *client->DataSocket);
            }
        }
        const bool settled = shown == 0 && !client->DataSessionActive && !client->ReadyForNextBlock;
        it = settled ? FMoving.erase(it) : std::next(it);
    }
    if (FMoving.empty() && FFastTimer) {
        // Every session shows 0 now; the next transfer arms the tick again.
        FLoop.CancelTimer(FFastTimer);
        FFastTimer = 0;
        FTotalSpeed = 0;
    }
}

} // namespace vendrix::policy
