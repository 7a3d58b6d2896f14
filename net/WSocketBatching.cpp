// Bulk receiving: SO_RCVLOWAT raised while a peer sends fast, lowered again
// when the stream slows down.
#include "WSocket.h"

#include <sys/socket.h>

namespace vendrix::net {

void TCustomWSocket::SetReceiveBatching(bool on) {
    if (!on) {
        StopBatching();
        return;
    }
    FBatching = FHandle.Valid() && !FTls;
}

void TCustomWSocket::NoteBatchRead(int bytes) {
    FReadSinceTick = true;
    if (FLowWater || bytes < kBatchTrigger) return;
    SetLowWater(kBatchBytes);
    if (!FBatchTimer) FBatchTimer = FLoop.AddTimer(kBatchIdleMs, true, [this] { BatchTick(); });
}

void TCustomWSocket::BatchTick() {
    if (!FReadSinceTick) {
        // Nothing read for a whole tick: what waits is read now, and the
        // timer rests until the stream is fast again.
        SetLowWater(1);
        if (FBatchTimer) FLoop.CancelTimer(FBatchTimer);
        FBatchTimer = 0;
    }
    FReadSinceTick = false;
}

void TCustomWSocket::SetLowWater(int bytes) {
    // A refused option only costs the batching, never the connection.
    const bool set = ::setsockopt(FHandle.Fd(), SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes) == 0;
    FLowWater = bytes > 1 && set;
}

void TCustomWSocket::StopBatching() {
    if (FBatchTimer) FLoop.CancelTimer(FBatchTimer);
    FBatchTimer = 0;
    if (FLowWater && FHandle.Valid()) SetLowWater(1);
    FBatching = FLowWater = FReadSinceTick = false;
}

} // namespace vendrix::net
