// Who may connect (the server-wide user limit and the IP access list) with
// which greeting, and what the end of a session leaves behind: the user list
// row, the counts and the account's totals.
#include "FtpController.h"

#include "CaseInsensitive.h"

#include "IpPattern.h"
#include "TextFile.h"
#include "Version.h"

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
    LogClient(client.ID, config::FormatText(Translate("sConnectTo"), {IpSegment(addr)}));
}

void TFtpController::ClientDisconnect(TAppClient& client) {
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
