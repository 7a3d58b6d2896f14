#include "LoginGuard.h"

namespace vendrix::policy {

namespace {
constexpr uint64_t kFailureWindowMs = 60'000;
// A flood of addresses cannot grow the failure table without end.
constexpr size_t kMaxTrackedAddresses = 10'000;
} // namespace

TLoginGuard::TAdmit TLoginGuard::Admit(int32_t session, const std::string& address, uint64_t now) {
    if (IsBanned(address, now)) return TAdmit::Banned;
    if (FLimits.MaxPerAddress > 0 && Waiting(address) >= FLimits.MaxPerAddress) return TAdmit::AddressFull;
    if (FLimits.MaxTotal > 0 && Waiting() >= FLimits.MaxTotal) return TAdmit::AllFull;
    Leave(session);
    FWaiting[session] = {address, now};
    ++FWaitingByAddress[address];
    return TAdmit::Yes;
}

void TLoginGuard::Leave(int32_t session) {
    auto it = FWaiting.find(session);
    if (it == FWaiting.end()) return;
    auto count = FWaitingByAddress.find(it->second.Address);
    if (count != FWaitingByAddress.end() && --count->second <= 0) FWaitingByAddress.erase(count);
    FWaiting.erase(it);
}

int TLoginGuard::Waiting(const std::string& address) const {
    auto it = FWaitingByAddress.find(address);
    return it == FWaitingByAddress.end() ? 0 : it->second;
}

bool TLoginGuard::NoteFailure(const std::string& address, uint64_t now) {
    if (FLimits.MaxFailures <= 0) return false;
    if (FFailures.size() >= kMaxTrackedAddresses && !FFailures.count(address)) Prune(now);
    if (FFailures.size() >= kMaxTrackedAddresses && !FFailures.count(address)) return false;
    std::deque<uint64_t>& times = FFailures[address];
    while (!times.empty() && times.front() + kFailureWindowMs <= now)
        times.pop_front();
    times.push_back(now);
    if (int(times.size()) < FLimits.MaxFailures || IsBanned(address, now)) return false;
    FBans[address] = now + uint64_t(FLimits.BanMinutes) * 60'000;
    times.clear();
    return true;
}

bool TLoginGuard::IsBanned(const std::string& address, uint64_t now) const {
    auto it = FBans.find(address);
    return it != FBans.end() && now < it->second;
}

std::vector<TLoginGuard::TBan> TLoginGuard::Bans(uint64_t now) const {
    std::vector<TBan> result;
    for (const auto& [address, until] : FBans)
        if (now < until) result.push_back({address, until});
    return result;
}

bool TLoginGuard::Lift(const std::string& address) {
    FFailures.erase(address);
    return FBans.erase(address) != 0;
}

std::vector<int32_t> TLoginGuard::Expired(uint64_t now) const {
    std::vector<int32_t> result;
    if (FLimits.TimeOutSeconds == 0) return result;
    const uint64_t limit = uint64_t(FLimits.TimeOutSeconds) * 1000;
    for (const auto& [session, waiter] : FWaiting)
        if (now >= waiter.Since + limit) result.push_back(session);
    return result;
}

void TLoginGuard::Prune(uint64_t now) {
    std::erase_if(FBans, [&](const auto& ban) { return now >= ban.second; });
    std::erase_if(FFailures, [&](const auto& entry) {
        return entry.second.empty() || entry.second.back() + kFailureWindowMs <= now;
    });
}

} // namespace vendrix::policy
