// Every key of an account's section in the account file "conf/users.ini",
// with its kind and default, in one table. The section is named after the
// account.
#pragma once

#include <cstddef>

#include "KeyDef.h"

namespace vendrix::config {

enum class TAccountKey {
    Password, // MD5 digest, 32 upper-case hexadecimal digits
    HomePath,
    TimeOut,    // idle minutes, 0: none
    MaxUser,    // sessions at once, 0: no limit
    MaxUserIP,  // sessions at once from one address, 0: no limit
    MaxSpeed,   // K/s per session, 0: no cap
    VirtualDir, // confined to the home directory
    UserDisable,
    Ratio, // absent when the ratio is off
    Up,
    Down,
    TypeRatio, // 0 files per session, 1 bytes per session, 2 files overall, 3 bytes overall
    Credit,
    Quota,         // kilobytes, 0: none
    EnterMessage,  // text file sent after login
    ExitMessage,   // text file sent at QUIT
    TotalDownload, // kilobytes over all sessions
    TotalUpload,
    RequireTLS, // this account logs in only over an encrypted control connection

    Count
};

const TKeyDef& AccountKeyDef(TAccountKey key);

// The access entries: "Dir0", "Dir1", ... (see AccessEntry.h).
const TListDef& AccessListDef();

// The keys the ratio dialog removes when the ratio is switched off.
inline constexpr TAccountKey kRatioKeys[] = {TAccountKey::Ratio, TAccountKey::Up, TAccountKey::Down,
                                             TAccountKey::TypeRatio, TAccountKey::Credit};

} // namespace vendrix::config
