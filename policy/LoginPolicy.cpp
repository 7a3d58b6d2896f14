// Who may log in: the account's disabled flag, its session limits, the
// password digest and the home directory; on success the session is listed,
// counted, placed in its home and greeted with the account's welcome text.
#include "FtpController.h"

#include "CaseInsensitive.h"

#include "Account.h"
#include "FtpSrvT.h"
#include "Md5.h"
#include "TextFile.h"

#include <cctype>

namespace vendrix::policy {

uint32_t TFtpController::LoginFailureDelayMs(int failures) {
    if (failures <= 0) return 0;
    return failures >= 4 ? 8000u : 1000u << (failures - 1);
}

void TFtpController::RefuseAndClose(TAppClient& client, const std::string& reply) {
    try {
        client.SendText(reply + "\r\n");
    } catch (...) {
    }
    client.Close();
}

void TFtpController::NoteLoginFailure(TAppClient& client) {
    // Remembered per address; the table is bounded so a flood of addresses
    // cannot grow it without end.
    if (FLoginFailures.size() > 10000) FLoginFailures.clear();
    int failures = ++FLoginFailures[client.PeerAddr()];
    FServer.DelayReplies(client, LoginFailureDelayMs(failures));
}

void TFtpController::Authenticate(TAppClient& client, const std::string& userName,
                                  const std::string& password, bool& ok) {
    ok = false;
    const std::string& name = client.UserName;
    const std::string upper = config::UpperCase(name);
    const std::string& addr = client.PeerAddr();
    config::TAccount account = FAccountFile.Account(name);
    // An account file that is there but unreadable reads as empty: the
    // refusal that follows says why.
    if (const std::string error = FAccountFile.ReadError(); !error.empty()) LogText(error);

    // Connections opened before the ban guess no further.
    if (FLoginGuard.IsBanned(addr, FSpeedLimiter.Now())) {
        LogClient(client.ID, config::FormatText(Translate("sBannedIP"), {IpSegment(addr)}));
        RefuseAndClose(client, "421 Too many failed logins, try again later.");
        return;
    }

    if (account.ReadBool(config::TAccountKey::UserDisable)) return;

    const int count = UserCount(name);
    const int32_t maxUser = account.ReadInteger(config::TAccountKey::MaxUser);
    const int ipCount = UserIPCount(name, addr);
    const int32_t maxUserIP = account.ReadInteger(config::TAccountKey::MaxUserIP);
    if ((maxUser != 0 && count >= maxUser) || (maxUserIP != 0 && ipCount >= maxUserIP)) {
        RefuseAndClose(client, "530 Too Many Users Connected.");
        LogClient(client.ID,
                  config::FormatText(Translate("sTooManyUser"), {ClientSegment(upper), IpSegment(addr)}));
        return;
    }

    // The anonymous account takes any password, the empty one too.
    bool passwordOk = config::IsAnonymousName(userName) || account.PasswordMatches(password);
    if (!passwordOk) {
        LogClient(client.ID,
                  config::FormatText(Translate("sAuthFail"), {ClientSegment(upper), IpSegment(addr)}));
        NoteLoginFailure(client);
        if (FLoginGuard.NoteFailure(addr, FSpeedLimiter.Now()))
            LogClient(client.ID,
                      config::FormatText(Translate("sBanAdded"),
                                         {IpSegment(addr), std::to_string(FLoginGuard.Limits().BanMinutes)}));
        return;
    }

    std::string home = account.ReadString(config::TAccountKey::HomePath);
    if (!home.empty() && home.back() != '/') home += '/';
    if (home.empty() || !ftp::DirectoryExists(home)) {
        LogClient(client.ID,
                  config::FormatText(Translate("sConnected"), {ClientSegment(upper), IpSegment(addr)}));
        RefuseAndClose(client, "530 Not logged in, cannot find home directory.");
        LogClient(client.ID,
                  config::FormatText(Translate("sAuthFailP"), {ClientSegment(upper), IpSegment(addr)}));
        return;
    }
    FLoginFailures.erase(addr);
    FLoginGuard.Leave(client.ID);

    if (client.UserListed) {
        // A change of user relabels the row; the counts stay the first login's.
        for (TUserRow& row : FUsers) {
            if (row.ID != client.ID) continue;
            LogClient(client.ID, Translate("sChangeUser") + " " + ClientSegment(upper));
            row.UserName = upper;
            row.Address = addr;
            for (auto* o : FObservers)
                o->UserChanged(row);
        }
    } else {
        AddUserRow({client.ID, upper, addr});
        FClientIDList[client.ID] = &client;
        FClientSpeed[client.ID] = 0.0;
        // The login line says whether the session is encrypted.
        const std::string tls = client.TlsState() == net::tlsEstablished
                                    ? " " + MiscSegment("[" + client.TlsVersion() + "]")
                                    : "";
        LogClient(client.ID,
                  config::FormatText(Translate("sConnected"), {ClientSegment(upper), IpSegment(addr)}) + tls);
        client.UserListed = true;
        client.CountedName = name;
        ChangeCount(FUserCountList, name, +1);
        ChangeCount(FUserIPCountList, name + "-" + addr, +1);
    }

    client.HomeDir = home;
    client.AccountRequiresTls = account.ReadBool(config::TAccountKey::RequireTLS);
    LogClient(client.ID, config::FormatText(Translate("sRepNow"), {ClientSegment(upper), FileSegment(home)}));
    RefreshStatus();
    ok = true;
    client.SetDirectory(client.HomeDir);
    client.TotalDownload = account.ReadInt64(config::TAccountKey::TotalDownload);
    client.TotalUpload = account.ReadInt64(config::TAccountKey::TotalUpload);
    PlayEventSound(TSoundEvent::Connect);

    // The welcome text goes ahead of the engine's final "230" line.
    std::vector<std::string> lines =
        config::ReadTextLines(account.ReadString(config::TAccountKey::EnterMessage));
    if (!lines.empty()) {
        std::string text;
        for (const std::string& line : lines)
            text += "230-" + line + "\r\n";
        client.SendText(text);
    }
}

} // namespace vendrix::policy
