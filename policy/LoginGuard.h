// Limits on connections that have not logged in yet: how long one may wait
// for its login, how many may wait from one address and in all, and how many
// failed passwords an address may send in a minute before it is banned for a
// while. A silent client, a trickling one and a flood of parallel guessers
// are thus each held to a bound, while clients that open a dozen connections
// at once stay well under it.
//
// Pure bookkeeping on a millisecond clock the caller passes in: the
// controller decides what to reply and when to close.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace vendrix::policy {

struct TLoginLimits {
    uint32_t TimeOutSeconds = 60; // 0: no time-out
    int MaxPerAddress = 32;       // waiting connections from one address, 0: no cap
    int MaxTotal = 256;           // waiting connections in all, 0: no cap
    int MaxFailures = 10;         // failed logins per address per minute, 0: no ban
    uint32_t BanMinutes = 15;
};

class TLoginGuard {
public:
    enum class TAdmit { Yes, Banned, AddressFull, AllFull };
    struct TBan {
        std::string Address;
        uint64_t Until = 0; // on the caller's clock
    };

    void SetLimits(const TLoginLimits& limits) { FLimits = limits; }
    const TLoginLimits& Limits() const { return FLimits; }

    // A new connection from `address`: admitted, it waits for its login under
    // the key `session` until Leave.
    TAdmit Admit(int32_t session, const std::string& address, uint64_t now);
    // The session logged in or ended.
    void Leave(int32_t session);
    bool IsWaiting(int32_t session) const { return FWaiting.count(session) != 0; }
    int Waiting() const { return int(FWaiting.size()); }
    int Waiting(const std::string& address) const;

    // A failed login from the address; true when this one bans it.
    bool NoteFailure(const std::string& address, uint64_t now);
    bool IsBanned(const std::string& address, uint64_t now) const;
    // The bans in force, by address.
    std::vector<TBan> Bans(uint64_t now) const;
    // Lifts a ban (and forgets the address's failures); false when none.
    bool Lift(const std::string& address);

    // The waiting sessions whose login time is up.
    std::vector<int32_t> Expired(uint64_t now) const;
    // Forgets bans and failures that no longer count.
    void Prune(uint64_t now);

private:
    struct TWaiter {
        std::string Address;
        uint64_t Since = 0;
    };
    TLoginLimits FLimits;
    std::map<int32_t, TWaiter> FWaiting;
    std::map<std::string, int> FWaitingByAddress;
    std::map<std::string, std::deque<uint64_t>> FFailures; // times within the last minute
    std::map<std::string, uint64_t> FBans;                 // address -> end of the ban
};

} // namespace vendrix::policy
