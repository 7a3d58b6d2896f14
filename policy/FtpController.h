// The controller: owns the one FTP server, answers its events with the
// policy (login, admission, session end; later paths, rights, accounting and
// limits), keeps the bookkeeping of logged-in sessions and runs its timers on
// the event loop. It touches no widget: a window or the daemon observes it
// (user list, status, log lines through the session log's sinks) and calls
// its operations (start, stop, kick, ban, abort).
#pragma once

#include "AccountFile.h"
#include "AppClient.h"
#include "FtpSrv.h"
#include "LogClock.h"
#include "LoginGuard.h"
#include "PathPolicy.h"
#include "Paths.h"
#include "PolicyContext.h"
#include "ServerSettings.h"
#include "SessionLog.h"
#include "SettingsFile.h"
#include "SpeedLimiter.h"
#include "TlsPolicy.h"
#include "TlsSettings.h"
#include "TransferPolicy.h"
#include "Translate.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vendrix::policy {

// One row of the user list: a logged-in session.
struct TUserRow {
    int32_t ID = 0;
    std::string UserName; // the account name in upper case
    std::string Address;
};

enum class TTrayState { Stopped, Listening, ClientsConnected };

struct TServerStatus {
    bool Running = false;
    int Users = 0;             // rows of the user list
    std::string UserCountText; // "2 Users" or the no-user text
    TTrayState Tray = TTrayState::Stopped;
    std::string TipText; // at most 63 characters
};

enum class TSoundEvent { Connect, Disconnect, DownStart, DownEnd, UploadStart, UploadEnd };

// What a view of the controller is told. Every call comes from the event
// loop's thread, after the controller's own state has changed.
class TControllerObserver {
public:
    virtual ~TControllerObserver() = default;
    virtual void UserAdded(const TUserRow&) {}
    virtual void UserChanged(const TUserRow&) {}
    virtual void UserRemoved(int32_t /*id*/) {}
    virtual void StatusChanged(const TServerStatus&) {}
    virtual void ServerStateChanged(bool /*running*/) {}
    // Once a second: the total speed (SpeedLimiter().TotalSpeed()) and the
    // selected user's information are due for a refresh.
    virtual void SecondTick() {}
};

class TFtpController : public TPolicyContext {
public:
    // `base` is the program folder holding conf/, lng/ and log/.
    TFtpController(const std::string& base, config::TTranslate translate,
                   net::TEventLoop& loop = net::TEventLoop::Instance(),
                   log::TLogClock clock = log::SystemLocalTime);
    ~TFtpController();
    TFtpController(const TFtpController&) = delete;
    TFtpController& operator=(const TFtpController&) = delete;

    const config::TPaths& Paths() const { return FPaths; }
    ftp::TFtpServer& Server() { return FServer; }
    const ftp::TPathStyle& PathStyle() const override { return *FServer.PathStyle; }
    log::TSessionLog& SessionLog() { return FLog; }
    config::TSettingsFile& SettingsFile() { return FSettingsFile; }
    config::TAccountFile& AccountFile() override { return FAccountFile; }
    const config::TServerSettings& Settings() const { return FSettings; }
    const config::TTlsSettings& TlsSettings() const { return FTlsSettings; }
    TPathPolicy& PathPolicy() { return FPathPolicy; }
    TTransferPolicy& TransferPolicy() { return FTransferPolicy; }
    TSpeedLimiter& SpeedLimiter() { return FSpeedLimiter; }
    // Connections not logged in yet and the addresses banned for failed
    // logins; its clock is the speed limiter's.
    TLoginGuard& LoginGuard() { return FLoginGuard; }
    // Ends the waiting sessions whose login time is up (once a second).
    void EndLoginTimeOuts();

    // Where to listen: the address, and a port that overrides the settings.
    // "::" listens on every address of both families (every IPv4 address
    // alone where the host has no IPv6).
    std::string ListenAddr = "::";
    std::vector<std::string> ExtraListenAddrs;
    std::optional<std::string> PortOverride;

    // Start re-reads the settings and listens; false when it could not
    // (logged). Stop ends every session and closes the listener.
    bool StartServer();
    // Loads or makes the certificate of a start with TLS on and logs its
    // fingerprint; false (logged) when TLS is on but cannot be used.
    bool StartTls();
    void StopServer();
    void RestartServer();
    bool Running() const { return FServer.Listening(); }

    // Re-reads the settings that apply at once (after a settings dialog):
    // log options, colours, sounds, limits; TLS waits for the next start.
    void ReloadSettings();

    // --- the user list and the bookkeeping tables ---------------------------
    const std::vector<TUserRow>& Users() const { return FUsers; }
    // The session of a user-list row (the ClientIDList lookup); null when gone.
    TAppClient* FindClient(int32_t id) const;
    // The encryption of a user-list row's session (all off when gone), for
    // the information panel.
    TSessionSecurity SessionSecurity(int32_t id) const;
    // Current speed of a logged-in session in kilobytes per second.
    double ClientSpeed(int32_t id) const;
    // Whether the session has a row (a speed) in the list.
    bool HasSpeed(int32_t id) const { return FClientSpeed.count(id) != 0; }
    void SetClientSpeed(int32_t id, double speed);
    int UserCount(const std::string& account) const;
    int UserIPCount(const std::string& account, const std::string& address) const;

    // --- operations on a user-list row ----------------------------------------
    bool Kick(int32_t id);
    bool Ban(int32_t id);
    bool Abort(int32_t id);

    // --- status and hooks ---------------------------------------------------------
    const TServerStatus& Status() const { return FStatus; }
    void RefreshStatus();
    void AddObserver(TControllerObserver* observer);
    void RemoveObserver(TControllerObserver* observer);
    // Plays a configured sound; the GUI fills the player, the daemon leaves it
    // empty. Receives the event and the wave file's path.
    std::function<void(TSoundEvent, const std::string& path)> OnPlaySound;
    void PlayEventSound(TSoundEvent event);
    // Tells every observer that a second has passed.
    void NotifySecondTick();
    // Adds the session's unsaved kilobytes to the account's totals in the file.
    void AddToTotals(TAppClient& client);
    // The same at the end of this loop round, once the reply that ends the
    // transfer has gone out: the file is flushed to disk, and the client need
    // not wait for that. A session that ends first saves its totals as it ends.
    void AddToTotalsAfterReply(TAppClient& client);

    // Writes one message (tagged text) for a client, prefixed with its number.
    void LogClient(int32_t id, const std::string& message) override;
    void LogText(const std::string& message) { FLog.Log(message); }
    std::string Translate(std::string_view key) const override {
        return FTranslate ? FTranslate(key) : std::string();
    }
    // Coloured pieces of a message.
    std::string ClientSegment(const std::string& text) const override;
    std::string IpSegment(const std::string& text) const;
    std::string FileSegment(const std::string& text) const override;
    std::string TimeSegment(const std::string& text) const;
    std::string MiscSegment(const std::string& text) const;

    // The pause before the reply to a failed login from `address`, after
    // `failures` consecutive failures (1 s, 2 s, 4 s, then 8 s).
    static uint32_t LoginFailureDelayMs(int failures);

private:
    void ApplySettings(const config::TSettings& settings);
    void WireEvents();
    // Login and admission.
    void Authenticate(TAppClient& client, const std::string& userName, const std::string& password, bool& ok);
    void RefuseAndClose(TAppClient& client, const std::string& reply);
    void ClientConnect(TAppClient& client);
    void ClientDisconnect(TAppClient& client);
    void ClientCommand(TAppClient& client, std::string& keyword, std::string& params, std::string& answer);
    void NoteLoginFailure(TAppClient& client);
    // Whether the account `name` requires TLS (false for no such account).
    bool AccountRequiresTls(const std::string& name);
    // The log lines of the TLS handshakes of a session.
    void LogTlsHandshake(TAppClient& client, net::TWSocket* data, uint16_t err, bool refused);
    // Bookkeeping.
    void AddUserRow(const TUserRow& row);
    void RemoveUserRow(int32_t id);
    void ChangeCount(std::map<std::string, int>& table, const std::string& key, int delta);
    void NotifyStatus();
    void SaveDueTotals();

    net::TEventLoop& FLoop;
    config::TPaths FPaths;
    config::TTranslate FTranslate;
    config::TSettingsFile FSettingsFile;
    config::TAccountFile FAccountFile;
    log::TSessionLog FLog;
    config::TServerSettings FSettings;
    config::TTlsSettings FTlsSettings;
    // The context of the running server's TLS; sessions' TLS connections
    // keep what they use alive on their own, so a restart may replace it.
    std::shared_ptr<net::TTlsContext> FTlsContext;
    std::map<TSoundEvent, std::string> FSounds;
    ftp::TFtpServer FServer;
    TPathPolicy FPathPolicy{*this};
    TTransferPolicy FTransferPolicy{*this};
    TSpeedLimiter FSpeedLimiter{*this, FLoop};
    TLoginGuard FLoginGuard;

    std::vector<TUserRow> FUsers;
    std::map<int32_t, TAppClient*> FClientIDList;
    std::map<int32_t, double> FClientSpeed;
    // Keys compared without regard to case: they are stored in upper case.
    std::map<std::string, int> FUserCountList;
    std::map<std::string, int> FUserIPCountList;
    std::map<std::string, int> FLoginFailures; // by client address

    TServerStatus FStatus;
    std::vector<TControllerObserver*> FObservers;
    // Sessions whose totals AddToTotalsAfterReply queued for the round's end.
    std::set<int32_t> FTotalsDue;
    // Expires with the controller, so a queued save cannot outlive it.
    net::TLifeToken FLife = net::NewLifeToken();
};

} // namespace vendrix::policy
