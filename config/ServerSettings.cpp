#include "ServerSettings.h"

#include <algorithm>

namespace vendrix::config {

void DerivePasvRange(int32_t low, int32_t high, int32_t& start, int32_t& size) {
    start = 0;
    size = 0;
    if (low < 1 || low > 65535 || high <= low || high > 65535) return;
    start = low;
    size = high - low + 1; // both ends are ports of the range
}

TServerSettings ReadServerSettings(const TSettings& settings) {
    TServerSettings result;
    result.Port = settings.ReadString(TSetting::Port);
    result.MaxUser = settings.ReadInteger(TSetting::MaxUser);
    result.GlobalMaxKS = settings.ReadInteger(TSetting::GlobalMaxKS);
    result.PasvIP = settings.ReadString(TSetting::PasvIP);
    DerivePasvRange(settings.ReadInteger(TSetting::LowPasv), settings.ReadInteger(TSetting::HighPasv),
                    result.PasvPortRangeStart, result.PasvPortRangeSize);
    result.HideVersion = settings.ReadBool(TSetting::HideVersion);
    result.Log = settings.ReadBool(TSetting::Log);
    result.AddDate = settings.ReadBool(TSetting::AddDate);
    result.ShowCommand = settings.ReadBool(TSetting::ShowCommand);
    // A negative value would mean nothing sensible: it counts as no limit.
    auto limit = [&](TSetting setting) { return std::max(settings.ReadInteger(setting), 0); };
    result.LoginTimeOut = limit(TSetting::LoginTimeOut);
    result.MaxWaitPerIP = limit(TSetting::MaxWaitPerIP);
    result.MaxWait = limit(TSetting::MaxWait);
    result.MaxLoginFail = limit(TSetting::MaxLoginFail);
    result.BanMinutes = limit(TSetting::BanMinutes);
    return result;
}

} // namespace vendrix::config
