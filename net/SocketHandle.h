// The one owner of a socket's OS handle and of its registration with the
// event loop. Stopping the watch, closing the handle and moving the
// generation on happen together in Close, so a handle is never closed twice
// and work posted for an old handle can tell that it is stale.
//
// Loop thread only, like the socket that holds it.
#pragma once

#include "EventLoop.h"

#include <cstdint>

namespace vendrix::net {

class TSocketHandle {
public:
    explicit TSocketHandle(TEventLoop& loop) : FLoop(loop) {}
    ~TSocketHandle() { Close(); }
    TSocketHandle(const TSocketHandle&) = delete;
    TSocketHandle& operator=(const TSocketHandle&) = delete;

    int Fd() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    bool Watched() const { return FWatched; }
    // Changes whenever the handle is taken, closed or handed back.
    uint64_t Generation() const { return FGeneration; }

    // Owns fd from now on; a handle held before is closed first.
    void Reset(int fd);
    // Takes over other's handle and watch; other is left empty.
    void Take(TSocketHandle& other);
    // Stops watching and hands the handle back unclosed: a call that failed
    // returns a handle it was given to its caller.
    int Release();
    // Registers the handle with the loop; false (errno set) when refused.
    bool Watch(uint32_t mask, TEventLoop::TFdCallback callback);
    // Changes the mask of a watched handle; false (errno set) when refused.
    bool Modify(uint32_t mask);
    // Stops watching and closes. Returns 0, or the errno of a failed close;
    // the handle is forgotten either way (the system has freed its number),
    // so nothing ever closes it again.
    int Close();

private:
    void Unwatch();

    TEventLoop& FLoop;
    int FFd = -1;
    bool FWatched = false;
    uint64_t FGeneration = 0;
};

} // namespace vendrix::net
