#include "TransferSpeed.h"

namespace vendrix::policy {

int64_t ElapsedSeconds(uint64_t startTick, uint64_t nowTick) {
    return nowTick < startTick ? 0 : int64_t(nowTick / 1000) - int64_t(startTick / 1000);
}

double KBPerSecond(int64_t bytes, uint64_t startTick, uint64_t nowTick) {
    int64_t seconds = ElapsedSeconds(startTick, nowTick);
    return seconds <= 0 ? 0.0 : double(bytes) / double(seconds) / 1024.0;
}

} // namespace vendrix::policy
