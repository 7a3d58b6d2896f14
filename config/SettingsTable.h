// Every section and key of the settings file "conf/config.ini", with its kind
// and default, in one table.
#pragma once

#include <cstddef>

#include "KeyDef.h"

namespace vendrix::config {

enum class TSetting {
    // "Setup"
    Port,
    MaxUser,
    GlobalMaxKS,
    PasvIP,
    LowPasv,
    HighPasv,
    HideVersion,
    EnterMessage,
    ExitMessage,
    DisableNoop,
    DisableExitMessage,
    TrayIcon,
    LangFile,
    Log,
    AddDate,
    ShowCommand,
    LoginTimeOut,
    MaxWaitPerIP,
    MaxWait,
    MaxLoginFail,
    BanMinutes,
    // "Window"
    WindowTop,
    WindowLeft,
    WindowWidth,
    WindowHeight,
    // "Color"
    SepTag,
    TextTag,
    IDTag,
    ClientTag,
    IPTag,
    DateTag,
    TimeTag,
    MiscTag,
    FileTag,
    BackTag,
    // "Font"
    FontName,
    FontCharSet,
    FontSize,
    FontStyle,
    // "Sound"
    SndConnect,
    SndDisconnect,
    SndUploadStart,
    SndUploadEnd,
    SndDownStart,
    SndDownEnd,
    // "TLS"
    TlsMode,
    TlsCertificate,
    TlsKey,
    TlsImplicitPort,
    TlsRequireReuse,

    Count
};

const TKeyDef& SettingDef(TSetting setting);

// The client address lists: "IP0", "IP1", ... in "IP Deny" and "IP Allow".
enum class TIpList { Deny, Allow };
const TListDef& IpListDef(TIpList list);

} // namespace vendrix::config
