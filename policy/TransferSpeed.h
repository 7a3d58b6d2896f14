// Time and speed of a transfer, measured on the millisecond tick counter.
#pragma once

#include <cstdint>

namespace vendrix::policy {

// Whole seconds as the clock's second changed: (now div 1000) - (start div
// 1000); 0 when now is before start.
int64_t ElapsedSeconds(uint64_t startTick, uint64_t nowTick);
// Less than one second has passed since start.
inline bool UnderOneSecond(uint64_t startTick, uint64_t nowTick) {
    return nowTick < startTick || (nowTick - startTick) / 1000 == 0;
}
// Kilobytes (1024 bytes) per second over the elapsed seconds; 0 while no
// second has passed, so a new transfer is never held back by its own cap.
double KBPerSecond(int64_t bytes, uint64_t startTick, uint64_t nowTick);

} // namespace vendrix::policy
