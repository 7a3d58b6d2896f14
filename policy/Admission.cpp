// Who may connect (the server-wide user limit and the IP access list) with
// which greeting, and what the end of a session leaves behind: the user list
// row, the counts and the account's totals.
#include "FtpController.h"

#include "CaseInsensitive.h"

#include "IpPattern.h"
#include "TextFile.h"
#include "Version.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vendrix::policy {

namespace {

// Whole seconds as "HH:MM:SS Min", hours counted modulo 24.
std::string ConnectedTime(uint64_t ms) {
    uint64_t s = ms / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u Min", unsigned(s / 3600 % 24), unsigned(s / 60 % 60),
                  unsigned(s % 60));
    return buf;
}
} // namespace

void TFtpController::ClientConnect(TAppClient& client) {
    std::string banner = FSettings.HideVersion ? "Connected to " + client.GetLocalAddrText() + " ready..."
                                               : std::string(config::kProductName) + " " +
                                                     config::kProgramVersion + " ready...";
    config::TSettings settings = FSettingsFile.Load();
    std::vector<std::string> lines =
        config::ReadTextLines(settings.ReadString(config::TSetting::EnterMessage));
    std::string greeting = (lines.empty() ? "220 " : "220-") + banner;
    for (size_t i = 0; i < lines.size(); ++i)
        greeting += (i + 1 < lines.size() ? "\r\n220-" : "\r\n220 ") + lines[i];
    client.Banner = greeting;

    // Only logged-in sessions count against the server-wide limit.
    if (FSettings.MaxUser != 0 && int(FUsers.size()) >= FSettings.MaxUser) {
        RefuseAndClose(client, "421 Too many users connected.");
        return;
    }
    const std::string& addr = client.PeerAddr();
    if (!IpAdmitted(settings.ReadIpList(config::TIpList::Deny), settings.ReadIpList(config::TIpList::Allow),
                    addr)) {
        RefuseAndClose(client, "421 Access Denied.");
        return;
    }
    // Until it logs in, a connection holds a place of its address and of the
    // server; a banned address gets none.
    const char* reply = nullptr;
    const char* key = nullptr;
    switch (FLoginGuard.Admit(client.ID, addr, FSpeedLimiter.Now())) {
    case TLoginGuard::TAdmit::Yes:
        break;
    case TLoginGuard::TAdmit::Banned:
        reply = "421 Too many failed logins, try again later.";
        key = "sBannedIP";
        break;
    case TLoginGuard::TAdmit::AddressFull:
        reply = "421 Too many connections from your address.";
        key = "sTooManyWaitIP";
        break;
    case TLoginGuard::TAdmit::AllFull:
        reply = "421 Too many connections waiting for login.";
        key = "sTooManyWait";
        break;
    }
    if (reply) {
        LogClient(client.ID, config::FormatText(Translate(key), {IpSegment(addr)}));
        RefuseAndClose(client, reply);
        return;
    }
    LogClient(client.ID, config::FormatText(Translate("sConnectTo"), {IpSegment(addr)}));
}

void TFtpController::EndLoginTimeOuts() {
    const uint64_t now = FSpeedLimiter.Now();
    FLoginGuard.Prune(now);
    const std::vector<int32_t> expired = FLoginGuard.Expired(now);
    if (expired.empty()) return;
    for (int i = 0; i < FServer.ClientCount(); ++i) {
        auto* client = static_cast<TAppClient*>(FServer.GetClient(i));
        if (!client || std::find(expired.begin(), expired.end(), client->ID) == expired.end()) continue;
        FLoginGuard.Leave(client->ID);
        LogClient(client->ID,
                  config::FormatText(Translate("sLoginTimeOut"), {IpSegment(client->PeerAddr())}));
        try {
            client->SendText("421 Login time-out.\r\n");
        } catch (...) {
        }
        // From the loop: the engine may be in the middle of this session.
        client->CloseLater();
    }
    // Sessions already gone hold no place.
    for (int32_t id : expired)
        FLoginGuard.Leave(id);
}

void TFtpController::ClientDisconnect(TAppClient& client) {
    FLoginGuard.Leave(client.ID);
    if (client.ID == 0 || !client.UserListed) return; // never logged in: no trace
    const std::string upper = config::UpperCase(client.UserName);
    const std::string& addr = client.PeerAddr();
    RemoveUserRow(client.ID);
    FClientIDList.erase(client.ID);
    FClientSpeed.erase(client.ID);
    RefreshStatus();
    LogClient(client.ID,
              config::FormatText(Translate("sDisconnect"), {ClientSegment(upper), IpSegment(addr)}) + " (" +
                  TimeSegment(ConnectedTime(net::TEventLoop::Tick() - client.SessionStartTick)) + ")");
    AddToTotals(client);
    PlayEventSound(TSoundEvent::Disconnect);
    ChangeCount(FUserCountList, client.CountedName, -1);
    ChangeCount(FUserIPCountList, client.CountedName + "-" + addr, -1);
}

} // namespace vendrix::policy
