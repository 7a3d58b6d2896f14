// Tests that edit a file behind the program's back call WaitForRecheck()
// before the next read. The file is checked at most once per
// TIniFile::kRecheckInterval; rather than sleeping through that interval, the
// settings cache is put on a clock that runs with the steady clock plus an
// offset, and the offset moves on by two intervals.
#pragma once

#include <chrono>
#include <cstdint>

#include "IniFile.h"

namespace vendrix::testing {

inline int64_t& RecheckClockOffset() {
    static int64_t offset = 0;
    return offset;
}

inline int64_t ShiftedSteadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() +
           RecheckClockOffset();
}

inline void WaitForRecheck() {
    config::TIniFile::SetClock(&ShiftedSteadyNanos);
    RecheckClockOffset() += std::chrono::nanoseconds(2 * config::TIniFile::kRecheckInterval).count();
}

} // namespace vendrix::testing
