#include "SocketHandle.h"

#include <cerrno>
#include <unistd.h>

namespace vendrix::net {

void TSocketHandle::Reset(int fd) {
    Close();
    FFd = fd;
    ++FGeneration;
}

void TSocketHandle::Take(TSocketHandle& other) {
    Close();
    FFd = other.FFd;
    FWatched = other.FWatched;
    ++FGeneration;
    other.FFd = -1;
    other.FWatched = false;
    ++other.FGeneration;
}

int TSocketHandle::Release() {
    Unwatch();
    int fd = FFd;
    FFd = -1;
    ++FGeneration;
    return fd;
}

bool TSocketHandle::Watch(uint32_t mask, TEventLoop::TFdCallback callback) {
    if (FFd < 0) {
        errno = EBADF;
        return false;
    }
    FWatched = FLoop.Watch(FFd, mask, std::move(callback));
    return FWatched;
}

bool TSocketHandle::Modify(uint32_t mask) {
    if (!FWatched) {
        errno = EBADF;
        return false;
    }
    return FLoop.Modify(FFd, mask);
}

void TSocketHandle::Unwatch() {
    if (FWatched) FLoop.Unwatch(FFd);
    FWatched = false;
}

int TSocketHandle::Close() {
    if (FFd < 0) return 0;
    int fd = Release();
    return ::close(fd) == 0 ? 0 : errno;
}

} // namespace vendrix::net
