// Tests that edit a file behind the program's back wait this long before the
// next read: the file is checked at most once per TIniFile::kRecheckInterval.
#pragma once

#include <thread>

#include "IniFile.h"

namespace vendrix::testing {

inline void WaitForRecheck() {
    std::this_thread::sleep_for(2 * config::TIniFile::kRecheckInterval);
}

} // namespace vendrix::testing
