#include "SettingsTable.h"

#include <array>

namespace vendrix::config {

namespace {

using enum TValueType;

// Indexed by TSetting; the order must match the enumeration.
constexpr std::array<TKeyDef, static_cast<std::size_t>(TSetting::Count)> kSettings{{
    {"Setup", "Port", Text, ""},
    {"Setup", "MaxUser", Integer, "0"},
    {"Setup", "GlobalMaxKS", Integer, "0"},
    {"Setup", "PASVIP", Text, ""},
    {"Setup", "LowPASV", Integer, "0"},
    {"Setup", "HighPASV", Integer, "0"},
    {"Setup", "HideVersion", Boolean, "0"},
    {"Setup", "EnterMessage", Text, ""},
    {"Setup", "ExitMessage", Text, ""},
    {"Setup", "DisableNOOP", Boolean, "0"},
    {"Setup", "DisableExitMessage", Boolean, "0"},
    {"Setup", "TrayIcon", Boolean, "0"},
    {"Setup", "LangFile", Text, ""}, // empty reads as "english"
    {"Setup", "Log", Boolean, "0"},
    {"Setup", "AddDate", Boolean, "0"},
    {"Setup", "ShowCommand", Boolean, "0"},
    // Limits on connections not logged in yet, 0 for none: seconds to log
    // in, waiting connections per address and in all, failed logins per
    // address per minute before a ban of "BanMinutes".
    {"Setup", "LoginTimeOut", Integer, "60"},
    {"Setup", "MaxWaitPerIP", Integer, "32"},
    {"Setup", "MaxWait", Integer, "256"},
    {"Setup", "MaxLoginFail", Integer, "10"},
    {"Setup", "BanMinutes", Integer, "15"},
    // The window's design placement; a 422 by 368 client area.
    {"Window", "Top", Integer, "326"},
    {"Window", "Left", Integer, "594"},
    {"Window", "Width", Integer, "430"},
    {"Window", "Height", Integer, "415"},
    {"Color", "SepTag", Text, "#000000"},
    {"Color", "TextTag", Text, "#000000"},
    {"Color", "IDTag", Text, "#000000"},
    {"Color", "ClientTag", Text, "#000000"},
    {"Color", "IPTag", Text, "#000000"},
    {"Color", "DateTag", Text, "#000000"},
    {"Color", "TimeTag", Text, "#000000"},
    {"Color", "MiscTag", Text, "#000000"},
    {"Color", "FileTag", Text, "#000000"},
    {"Color", "BackTag", Text, "#FFFFFF"},
    {"Font", "Name", Text, "MS Sans Serif"},
    {"Font", "CharSet", Integer, "1"}, // the default character set
    {"Font", "Size", Integer, "8"},
    {"Font", "Style", Integer, "0"}, // 1 bold, 2 italic, 4 underline, 8 strike-out
    {"Sound", "SndConnect", Text, ""},
    {"Sound", "SndDisconnect", Text, ""},
    {"Sound", "SndUploadStart", Text, ""},
    {"Sound", "SndUploadEnd", Text, ""},
    {"Sound", "SndDownStart", Text, ""},
    {"Sound", "SndDownEnd", Text, ""},
    // "off", "allowed" or "required"; empty certificate and key paths mean
    // the self-signed pair the server makes in "conf".
    {"TLS", "Mode", Text, "allowed"},
    {"TLS", "Certificate", Text, ""},
    {"TLS", "Key", Text, ""},
    {"TLS", "ImplicitPort", Integer, "0"}, // 0: no implicit FTPS listener
    {"TLS", "RequireReuse", Boolean, "1"}, // PROT P data connections resume the control session
}};

constexpr std::array<TListDef, 2> kIpLists{{
    {"IP Deny", "IP"},
    {"IP Allow", "IP"},
}};

} // namespace

const TKeyDef& SettingDef(TSetting setting) {
    return kSettings.at(static_cast<std::size_t>(setting));
}

const TListDef& IpListDef(TIpList list) {
    return kIpLists.at(static_cast<std::size_t>(list));
}

} // namespace vendrix::config
