#include "FtpController.h"

#include "CaseInsensitive.h"

#include "Account.h"
#include "AsciiText.h"
#include "EventSounds.h"
#include "LogAppearance.h"
#include "LogFrame.h"
#include "TaggedText.h"
#include "TlsPolicy.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>
#include <utility>

namespace vendrix::policy {

TFtpController::TFtpController(const std::string& base, config::TTranslate translate, net::TEventLoop& loop,
                               log::TLogClock clock)
    : FLoop(loop), FPaths(base), FTranslate(std::move(translate)), FSettingsFile(FPaths.ConfigFile()),
      FAccountFile(FPaths.UsersFile()), FLog(FPaths.LogFolder(), std::move(clock)), FServer(loop) {
    FServer.ClientClass = [this](ftp::TFtpServer& owner) {
        return std::make_unique<TAppClient>(&owner, FLoop);
    };
    WireEvents();
    ReloadSettings();
    RefreshStatus();
}

TFtpController::~TFtpController() {
    SaveDueTotals();
    // Sessions end without events: the bookkeeping goes with the controller.
    FServer.OnClientDisconnect = nullptr;
    FServer.OnStop = nullptr;
    FServer.DisconnectAll();
}

void TFtpController::WireEvents() {
    auto app = [](ftp::TFtpCtrlSocket& c) -> TAppClient& { return static_cast<TAppClient&>(c); };
    FServer.OnStart = [this](ftp::TFtpServer&) {
        LogText(Translate("sSerStart"));
        LogText(Translate("sFTPPort") + " " + MiscSegment(FServer.ServerSocket().GetLocalPortText()));
        for (auto* o : FObservers)
            o->ServerStateChanged(true);
    };
    FServer.OnStop = [this](ftp::TFtpServer&) {
        LogText(Translate("sSerStop"));
        for (auto* o : FObservers)
            o->ServerStateChanged(false);
    };
    FServer.OnClientConnect = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, uint16_t) {
        ClientConnect(app(c));
    };
    FServer.OnClientDisconnect = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, uint16_t) {
        ClientDisconnect(app(c));
    };
    FServer.OnClientCommand = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, ftp::TFtpString& k,
                                          ftp::TFtpString& p,
                                          ftp::TFtpString& a) { ClientCommand(app(c), k, p, a); };
    FServer.OnTlsHandshakeDone = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket* data,
                                             uint16_t err,
                                             bool refused) { LogTlsHandshake(app(c), data, err, refused); };
    FServer.OnAuthenticate = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c,
                                         const ftp::TFtpString& user, const ftp::TFtpString& pass,
                                         bool& ok) { Authenticate(app(c), user, pass, ok); };

    // Paths and rights.
    using TValidate = TPathPolicy::TValidate;
    FServer.OnChangeDirectory = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, std::string& dir,
                                            bool& allowed, bool& exists) {
        FPathPolicy.ChangeDirectory(app(c), dir, allowed, exists);
    };
    FServer.OnMakeDirectory = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, std::string& dir,
                                          bool& allowed,
                                          bool&) { FPathPolicy.MakeDirectory(app(c), dir, allowed); };
    FServer.OnBuildDirectory = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, ftp::TFtpString& dir,
                                           bool detailed) {
        FPathPolicy.BuildDirectory(app(c), dir, detailed);
    };
    FServer.OnAlterDirectory = [](ftp::TFtpServer&, ftp::TFtpCtrlSocket&, ftp::TFtpString&, bool) {};
    auto validate = [this, app](TValidate kind) {
        return [this, app, kind](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, ftp::TFtpString& path,
                                 bool& allowed) { FPathPolicy.Validate(kind, app(c), path, allowed); };
    };
    FServer.OnValidateGet = validate(TValidate::Get);
    // The quota is checked before the rights.
    FServer.OnValidatePut = [this, app,
                             put = validate(TValidate::Put)](ftp::TFtpServer& s, ftp::TFtpCtrlSocket& c,
                                                             ftp::TFtpString& path, bool& allowed) {
        // Measured on the path the upload really writes to, not as typed.
        FTransferPolicy.ValidatePut(app(c), FPathPolicy.LocalPath(app(c), path), allowed);
        if (allowed) put(s, c, path, allowed);
    };
    FServer.OnValidateDele = validate(TValidate::Dele);
    FServer.OnValidateRmd = validate(TValidate::Rmd);
    FServer.OnValidateRnFr = validate(TValidate::RnFr);
    FServer.OnValidateRnTo = validate(TValidate::RnTo);
    FServer.OnValidateSize = validate(TValidate::Size);
    FServer.OnValidateMfmt = validate(TValidate::Mfmt);
    FServer.OnValidateHash = validate(TValidate::Hash);
    FServer.OnGetPermissions = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, const std::string& path,
                                           bool directory, std::string& perm) {
        FPathPolicy.Permissions(app(c), path, directory, perm);
    };
    FServer.OnAnswerToClient = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c,
                                           ftp::TFtpString& answer) {
        TAppClient& client = app(c);
        FPathPolicy.FinishAction(client, answer);
        if (answer.rfind("226", 0) == 0 || answer.rfind("221", 0) == 0)
            FTransferPolicy.DecorateAnswer(client, answer);
        else
            FPathPolicy.RewriteAnswer(client, answer);
    };

    // Transfers.
    FServer.OnStorSessionConnected = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket& d,
                                                 uint16_t e) {
        FTransferPolicy.StorSessionConnected(app(c), d, e);
    };
    FServer.OnStorDataAvailable = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket& d,
                                              const char* buf, int len, uint16_t e) {
        FTransferPolicy.StorDataAvailable(app(c), d, buf, len, e);
    };
    FServer.OnStorSessionClosed = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket& d,
                                              uint16_t e) {
        FTransferPolicy.StorSessionClosed(app(c), d, e);
    };
    FServer.OnRetrSessionConnected = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket& d,
                                                 uint16_t e) {
        FTransferPolicy.RetrSessionConnected(app(c), d, e);
    };
    FServer.OnRetrDataSent = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket& d,
                                         uint16_t e) { FTransferPolicy.RetrDataSent(app(c), d, e); };
    FServer.OnRetrSessionClosed = [this, app](ftp::TFtpServer&, ftp::TFtpCtrlSocket& c, net::TWSocket& d,
                                              uint16_t e) {
        FTransferPolicy.RetrSessionClosed(app(c), d, e);
    };
}

// --- start and stop ---------------------------------------------------------------

void TFtpController::ReloadSettings() {
    ApplySettings(FSettingsFile.Load());
}

void TFtpController::ApplySettings(const config::TSettings& settings) {
    FSettings = config::ReadServerSettings(settings);
    FLoginGuard.SetLimits({uint32_t(FSettings.LoginTimeOut), FSettings.MaxWaitPerIP, FSettings.MaxWait,
                           FSettings.MaxLoginFail, uint32_t(FSettings.BanMinutes)});
    FLog.SetOptions({FSettings.Log, FSettings.AddDate});
    FLog.SetColors(config::ReadLogColors(settings));
    config::TEventSounds sounds = config::ReadEventSounds(settings);
    FSounds = {{TSoundEvent::Connect, sounds.Connect},         {TSoundEvent::Disconnect, sounds.Disconnect},
               {TSoundEvent::DownStart, sounds.DownStart},     {TSoundEvent::DownEnd, sounds.DownEnd},
               {TSoundEvent::UploadStart, sounds.UploadStart}, {TSoundEvent::UploadEnd, sounds.UploadEnd}};
}

bool TFtpController::StartServer() {
    const config::TSettings settings = FSettingsFile.Load();
    ApplySettings(settings);
    // TLS is taken at a start only, with the certificate it needs: a mode
    // changed while running waits for the next start like the certificate.
    FTlsSettings = config::ReadTlsSettings(settings);
    // Files that are there but cannot be read run as empty; say so at once.
    for (const std::string& error : {FSettingsFile.ReadError(), FAccountFile.ReadError()})
        if (!error.empty()) LogText(error);
    if (!StartTls()) return false;
    std::string port = PortOverride.value_or(FSettings.Port);
    try {
        FServer.Addr = ListenAddr;
        FServer.ExtraAddrs = ExtraListenAddrs;
        FServer.Port = port;
        FServer.PasvIpAddr = FSettings.PasvIP;
        // The range can change only while no port of it is in use; a
        // restart has ended every session, so only a live change can fail.
        FServer.SetPasvPortRangeSize(0);
        FServer.SetPasvPortRangeStart(FSettings.PasvPortRangeStart);
        FServer.SetPasvPortRangeSize(FSettings.PasvPortRangeSize);
        FServer.TlsRequireReuse = FTlsSettings.RequireReuse;
        FServer.ImplicitTlsPort = FTlsSettings.ImplicitPort ? std::to_string(FTlsSettings.ImplicitPort) : "";
        RefreshStatus();
        FServer.Start();
    } catch (const std::exception&) {
        const std::string implicit = FServer.ImplicitTlsPort;
        LogText(config::FormatText(Translate("sNoPort"), {implicit.empty() ? port : port + ", " + implicit}));
        LogText(Translate("sNotStart"));
        RefreshStatus();
        return false;
    }
    if (!FServer.ImplicitSockets().empty())
        LogText("Implicit FTPS port " + MiscSegment(FServer.ImplicitSockets()[0]->GetLocalPortText()));
    RefreshStatus();
    return true;
}

void TFtpController::StopServer() {
    FServer.DisconnectAll();
    FServer.Stop();
    RefreshStatus();
}

void TFtpController::RestartServer() {
    StopServer();
    StartServer();
}

// --- status ------------------------------------------------------------------------------

void TFtpController::RefreshStatus() {
    TServerStatus s;
    s.Running = FServer.Listening();
    s.Users = int(FUsers.size());
    if (FServer.ClientCount() > 0) {
        s.UserCountText = std::to_string(s.Users) + " " + Translate("sUser");
        s.Tray = TTrayState::ClientsConnected;
    } else {
        s.UserCountText = Translate("sNoUser");
        s.Tray = TTrayState::Listening;
    }
    if (!s.Running) s.Tray = TTrayState::Stopped;
    s.TipText = (Translate("sFTP") + " Client: " + std::to_string(s.Users)).substr(0, 63);
    FStatus = s;
    NotifyStatus();
}

void TFtpController::NotifyStatus() {
    for (auto* o : FObservers)
        o->StatusChanged(FStatus);
}

void TFtpController::AddObserver(TControllerObserver* observer) {
    FObservers.push_back(observer);
}

void TFtpController::RemoveObserver(TControllerObserver* observer) {
    FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), observer), FObservers.end());
}

void TFtpController::NotifySecondTick() {
    for (auto* o : FObservers)
        o->SecondTick();
}

void TFtpController::PlayEventSound(TSoundEvent event) {
    auto it = FSounds.find(event);
    if (it != FSounds.end() && !it->second.empty() && OnPlaySound) OnPlaySound(event, it->second);
}

// --- log pieces ----------------------------------------------------------------------------

void TFtpController::LogClient(int32_t id, const std::string& message) {
    FLog.Log(log::ClientPrefix(FLog.Colors(), id) + message);
}

std::string TFtpController::ClientSegment(const std::string& text) const {
    return log::Segment(FLog.Colors().Client, text);
}
std::string TFtpController::IpSegment(const std::string& text) const {
    return log::Segment(FLog.Colors().IP, text);
}
std::string TFtpController::FileSegment(const std::string& text) const {
    return log::Segment(FLog.Colors().File, text);
}
std::string TFtpController::TimeSegment(const std::string& text) const {
    return log::Segment(FLog.Colors().Time, text);
}
std::string TFtpController::MiscSegment(const std::string& text) const {
    return log::Segment(FLog.Colors().Misc, text);
}

void TFtpController::ClientCommand(TAppClient& client, std::string& keyword, std::string& params,
                                   std::string& answer) {
    if (FSettings.ShowCommand) FLog.Log(log::CommandLine(FLog.Colors(), client.ID, keyword, params));
    if (!answer.empty()) return;
    // USER is judged by the account it names, as the engine will take the
    // name; anything later by the account logged in.
    const bool accountTls = keyword == "USER" ? AccountRequiresTls(std::string(net::TrimControl(params)))
                                              : client.AccountRequiresTls;
    answer = TlsRefusal(FTlsSettings.Mode, accountTls, client, keyword);
}

bool TFtpController::AccountRequiresTls(const std::string& name) {
    if (name.empty()) return false;
    return FAccountFile.Account(name).ReadBool(config::TAccountKey::RequireTLS);
}

TSessionSecurity TFtpController::SessionSecurity(int32_t id) const {
    const TAppClient* client = FindClient(id);
    return client ? SecurityOf(*client) : TSessionSecurity();
}

void TFtpController::LogTlsHandshake(TAppClient& client, net::TWSocket* data, uint16_t err, bool refused) {
    if (refused) {
        LogClient(client.ID,
                  "Data connection refused: it did not resume the control connection's TLS session");
    } else if (err != 0) {
        LogClient(client.ID, std::string(data ? "TLS handshake of a data connection failed: "
                                              : "TLS handshake failed: ") +
                                 (data ? data->TlsError() : client.TlsError()));
    } else if (!data) {
        LogClient(client.ID, std::string(client.ImplicitTls ? "Implicit TLS" : "AUTH TLS") +
                                 " done: " + MiscSegment(client.TlsVersion() + ", " + client.TlsCipher()));
    }
}

bool TFtpController::StartTls() {
    FServer.TlsContext = nullptr;
    config::TTlsMode mode;
    const bool off = config::ParseTlsMode(FTlsSettings.ModeText, mode) && mode == config::TTlsMode::Off;
    // An implicit FTPS port without TLS could only serve plain text where
    // clients expect encryption: that is a start error, never a fallback.
    std::string error;
    if (FTlsSettings.ImplicitPort < 0 || FTlsSettings.ImplicitPort > 65535)
        error = "The implicit FTPS port must be a number from 1 to 65535, or 0 for none: " +
                std::to_string(FTlsSettings.ImplicitPort);
    else if (off && FTlsSettings.ImplicitPort != 0)
        error = "The implicit FTPS port is set but the TLS mode is off: set the mode to allowed or required, "
                "or the port to 0";
    if (!error.empty()) {
        LogText(error);
        LogText(Translate("sNotStart"));
        RefreshStatus();
        return false;
    }
    if (off) return true;
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) host[0] = 0;
    try {
        config::TTlsCertificate cert = config::LoadTlsCertificate(FTlsSettings, FPaths, host);
        FTlsContext = std::move(cert.Context);
        FServer.TlsContext = FTlsContext;
        if (cert.Created) LogText("Made a self-signed TLS certificate: " + cert.CertificateFile);
        LogText("TLS certificate SHA-256 fingerprint: " + cert.Fingerprint);
    } catch (const std::exception& e) {
        LogText(e.what());
        LogText(Translate("sNotStart"));
        RefreshStatus();
        return false;
    }
    return true;
}

// --- the user list ---------------------------------------------------------------------------

TAppClient* TFtpController::FindClient(int32_t id) const {
    auto it = FClientIDList.find(id);
    return it == FClientIDList.end() ? nullptr : it->second;
}

double TFtpController::ClientSpeed(int32_t id) const {
    auto it = FClientSpeed.find(id);
    return it == FClientSpeed.end() ? 0.0 : it->second;
}

void TFtpController::SetClientSpeed(int32_t id, double speed) {
    auto it = FClientSpeed.find(id);
    if (it != FClientSpeed.end()) it->second = speed;
}

int TFtpController::UserCount(const std::string& account) const {
    auto it = FUserCountList.find(config::UpperCase(account));
    return it == FUserCountList.end() ? 0 : it->second;
}

int TFtpController::UserIPCount(const std::string& account, const std::string& address) const {
    auto it = FUserIPCountList.find(config::UpperCase(account + "-" + address));
    return it == FUserIPCountList.end() ? 0 : it->second;
}

void TFtpController::ChangeCount(std::map<std::string, int>& table, const std::string& key, int delta) {
    std::string k = config::UpperCase(key);
    int value = (table.count(k) ? table[k] : 0) + delta;
    if (value > 0)
        table[k] = value;
    else
        table.erase(k);
}

void TFtpController::AddUserRow(const TUserRow& row) {
    FUsers.push_back(row);
    for (auto* o : FObservers)
        o->UserAdded(row);
}

void TFtpController::RemoveUserRow(int32_t id) {
    auto it = std::find_if(FUsers.begin(), FUsers.end(), [id](const TUserRow& r) { return r.ID == id; });
    if (it == FUsers.end()) return;
    FUsers.erase(it);
    for (auto* o : FObservers)
        o->UserRemoved(id);
}

void TFtpController::AddToTotals(TAppClient& client) {
    try {
        config::TAccount account = FAccountFile.Account(client.UserName);
        client.TotalDownload =
            account.ReadInt64(config::TAccountKey::TotalDownload) + client.UnsavedDownloadKB;
        client.TotalUpload = account.ReadInt64(config::TAccountKey::TotalUpload) + client.UnsavedUploadKB;
        FAccountFile.WriteTotals(client.UserName, client.TotalDownload, client.TotalUpload);
        client.UnsavedDownloadKB = 0;
        client.UnsavedUploadKB = 0;
    } catch (const std::exception& e) {
        // Kept as unsaved: the next write tries again. The reason is logged.
        LogText(e.what());
    }
}

void TFtpController::AddToTotalsAfterReply(TAppClient& client) {
    if (!FTotalsDue.insert(client.ID).second || FTotalsDue.size() > 1) return;
    FLoop.PostRoundEnd([this, life = net::TLifeRef(FLife)] {
        if (!life.expired()) SaveDueTotals();
    });
}

void TFtpController::SaveDueTotals() {
    for (int32_t id : std::exchange(FTotalsDue, {}))
        if (TAppClient* client = FindClient(id)) AddToTotals(*client);
}

// --- operations on a session ------------------------------------------------------------------

bool TFtpController::Kick(int32_t id) {
    TAppClient* client = FindClient(id);
    if (!client) return false;
    client->CloseLater();
    return true;
}

bool TFtpController::Ban(int32_t id) {
    TAppClient* client = FindClient(id);
    if (!client) return false;
    FSettingsFile.AppendIp(config::TIpList::Deny, client->PeerAddr());
    return Kick(id);
}

bool TFtpController::Abort(int32_t id) {
    TAppClient* client = FindClient(id);
    if (!client) return false;
    // The transfer ends now, reported to the client as aborted; a flag alone
    // would leave a download waiting for blocks that never come.
    client->SetAbortingTransfer(true);
    if (client->DataSocket->State() == net::wsConnected) {
        client->TransferError = "Transfer aborted by the administrator";
        FServer.PostAbortTransfer(*client);
    }
    return true;
}

} // namespace vendrix::policy
