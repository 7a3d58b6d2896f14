// Downloads straight from the file: sendfile(2) on the loop's writability,
// beside the copying send queue.
#include "WSocket.h"

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

namespace vendrix::net {

namespace {
// One call hands the system at most this much; it takes what fits in the
// socket's buffer anyway, and OnSendData counts in int.
constexpr int64_t kSendFileChunk = int64_t(1) << 30;

// Unsent bytes the connection keeps queued during a file range. Measured
// on loopback, 1 GiB read by a client that takes 1 MiB per call: with 16 KiB
// the file went at 3.4-3.6 GB/s against 3.0-3.2 GB/s with the system's
// unlimited default, with less processor time on both ends; marks from 8 to
// 128 KiB did about as well, 512 KiB no better than none.
constexpr int kUnsentLowWater = 16 * 1024;
} // namespace

void TCustomWSocket::DropQueued() {
    FQueue.clear();
    FFileLeft = 0;
    FFileFd = -1;
    FFileCorked = false;
    FUncorkQueued = false;
    FFileLowWater = false;
}

void TCustomWSocket::CorkFileRange(bool on) {
    if (FFileCorked == on || !FHandle.Valid()) return;
    int value = on ? 1 : 0;
    // A refusal only costs speed: the bytes go either way.
    ::setsockopt(FHandle.Fd(), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
    FFileCorked = on;
}

bool TCustomWSocket::CanSendFile() const {
    return FState == wsConnected && FHandle.Valid() && !FTls && FFileLeft == 0 && BufferedBytes() == 0;
}

bool TCustomWSocket::SendFile(int fd, int64_t count) {
    if (fd < 0 || count <= 0 || !CanSendFile()) return false;
    FFileShort = 0;
    FFileError = 0;
    if (FSendFailed) return true; // the connection is ending; its close is on the way
    FQueue.clear();
    FAllSent = false;
    FFileFd = fd;
    FFileLeft = count;
    if (!FFileLowWater) {
        FFileLowWater = true;
        ::setsockopt(FHandle.Fd(), IPPROTO_TCP, TCP_NOTSENT_LOWAT, &kUnsentLowWater, sizeof kUnsentLowWater);
    }
    CorkFileRange(true);
    TLifeRef ref = FLife;
    TryToSend();
    if (ref.expired() || !FHandle.Valid() || FSendFailed) return true;
    if (FAllSent) {
        PostWriteNotification();
    } else if (!FWantWrite) {
        FWantWrite = true;
        UpdateMask();
    }
    return true;
}

bool TCustomWSocket::SendFileRange() {
    TLifeRef ref = FLife;
    while (FFileLeft > 0) {
        ssize_t n = ::sendfile(FHandle.Fd(), FFileFd, nullptr, size_t(std::min(FFileLeft, kSendFileChunk)));
        if (n > 0) {
            FFileLeft -= n;
            if (OnSendData) OnSendData(*this, int(n));
            if (ref.expired() || !FHandle.Valid()) return false;
            continue;
        }
        if (n == 0) {
            // The file is shorter than it was when the range was asked for.
            FFileShort = FFileLeft;
            break;
        }
        const int err = errno;
        if (err == EINTR) continue;
        if (err == EAGAIN) return false;
        if (FatalSendError(err)) return false; // the peer is gone: closes from the loop
        // Neither end of the connection failed: the file could not be read.
        FFileError = err;
        FFileShort = FFileLeft;
        break;
    }
    FFileLeft = 0;
    FFileFd = -1;
    UncorkAtRoundEnd();
    return true;
}

// The range's last, partial segment waits for the end of the loop round: a
// range handed over next (an uncapped download's next block) fills it out,
// so that a download in blocks of 1 MiB does not send a segment of a few
// hundred bytes after each of them. The next range comes through a chain
// of posted notifications that may run into the following round, so while
// tasks are still queued the decision waits a round more, twice at most: a
// download that pauses (a capped one, or one at its end) gets its last
// segment within a round or three.
void TCustomWSocket::UncorkAtRoundEnd() {
    FUncorkRounds = 3; // counted afresh from every range's end
    if (!FFileCorked || FUncorkQueued) return;
    FUncorkQueued = true;
    QueueUncorkCheck();
}

void TCustomWSocket::QueueUncorkCheck() {
    TLifeRef ref = FLife;
    uint64_t gen = FHandle.Generation();
    FLoop.PostRoundEnd([this, ref, gen] {
        // A check made for an earlier connection of this socket leaves the
        // flag to the current one.
        if (ref.expired() || gen != FHandle.Generation()) return;
        if (!FFileCorked) {
            FUncorkQueued = false;
            return;
        }
        if (FFileLeft > 0) {
            FUncorkQueued = false; // the next range is on its way and checks again at its end
            return;
        }
        if (--FUncorkRounds > 0 && FLoop.PendingTasks() > 0) return QueueUncorkCheck();
        FUncorkQueued = false;
        CorkFileRange(false);
    });
}

} // namespace vendrix::net
