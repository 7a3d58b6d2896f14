// The process's one event loop: fd readiness (epoll), a FIFO of posted tasks,
// millisecond timers and a monotonic millisecond tick counter.
//
// Everything runs on the thread that calls Run/RunOnce; no call here is
// thread-safe, and none needs to be: sockets, the FTP engine, the policy layer
// and the GUI all live on that one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace vendrix::net {

// A liveness token: an object that posts work on the loop hands out weak
// references to its token, and the posted work checks it before touching the
// object, so a task never runs on a destroyed object.
using TLifeToken = std::shared_ptr<char>;
using TLifeRef = std::weak_ptr<char>;
inline TLifeToken NewLifeToken() {
    return std::make_shared<char>(0);
}

class TEventLoop {
public:
    using TFdCallback = std::function<void(uint32_t events)>;
    using TTask = std::function<void()>;
    using TTimerId = uint64_t;

    TEventLoop();
    ~TEventLoop();
    TEventLoop(const TEventLoop&) = delete;
    TEventLoop& operator=(const TEventLoop&) = delete;

    // The loop of this process. Created on first use.
    static TEventLoop& Instance();

    // Monotonic milliseconds since an arbitrary origin (the "tick count").
    static uint64_t Tick();

    // Watches fd for the epoll event mask `events` (EPOLLIN, EPOLLOUT, ...).
    // The callback fires from Run/RunOnce with the ready mask, never from
    // inside Watch. Watching an fd already watched replaces mask and callback.
    // Returns false (and fires nothing, ever) when epoll refuses the fd.
    bool Watch(int fd, uint32_t events, TFdCallback callback);
    // Changes the mask of a watched fd; false when the fd is not watched.
    bool Modify(int fd, uint32_t events);
    // Stops watching. Safe from inside any callback, including the fd's own:
    // no callback of a removed fd fires afterwards, even one already reported
    // ready in the current round. False when epoll refused the removal (the
    // fd is forgotten all the same).
    bool Unwatch(int fd);

    // Appends a task to the FIFO. Posted tasks run only after the handler
    // that is running now has returned, in posting order. Callable from any
    // handler of this loop's thread.
    void Post(TTask task);
    // Queues a task for the end of the current round, after every ready fd
    // and posted task of the round: for work that is cheaper once per round
    // than once per event (writing out buffered log lines). Called between
    // rounds, it runs at the end of the next one, which comes at once. Tasks
    // queued by a round-end task run at the end of the round after.
    void PostRoundEnd(TTask task);

    // A timer that fires every `intervalMs` (or once, when !repeat) from the
    // loop. Returns 0, and never fires, when the system refuses a timer.
    // Cancelling from inside the timer's own callback is allowed.
    TTimerId AddTimer(uint32_t intervalMs, bool repeat, TTask callback);
    void CancelTimer(TTimerId id);
    // A timer made now and armed later: it holds its handle until cancelled,
    // so StartTimer never needs a new one (a listener out of file handles
    // still can). Returns 0 when the system refuses a timer.
    TTimerId AddIdleTimer(TTask callback);
    // Arms an idle timer to fire once after intervalMs (re-arming moves the
    // time); false for an unknown timer or a refused arming.
    bool StartTimer(TTimerId id, uint32_t intervalMs);

    // Runs one round: waits up to timeoutMs (-1 forever, 0 not at all) for
    // readiness, dispatches it, then runs the tasks posted before the round's
    // drain began. Returns the number of callbacks and tasks run.
    int RunOnce(int timeoutMs);
    // Runs rounds until Quit is called.
    void Run();
    void Quit() { FQuit = true; }
    bool Quitting() const { return FQuit; }

    // An fd that is readable whenever the loop has work (ready fds, due
    // timers or posted tasks): a GUI toolkit watches it and calls RunOnce(0).
    int PollFd() const { return FEpollFd; }

    size_t PendingTasks() const { return FTasks.size(); }

    // Receives an exception that escaped a callback, task or timer; the loop
    // carries on with the next one. Unassigned, the text goes to stderr.
    std::function<void(const std::exception& e)> OnException;

private:
    struct TWatch {
        uint32_t Events;
        TFdCallback Callback;
        uint64_t Generation;
    };
    struct TTimer {
        int Fd;
        bool Repeat;
        bool Kept; // an idle timer: stays after firing
        TTask Callback;
    };
    void SignalTasks();
    void Guarded(const std::function<void()>& run);
    int RunTasks();
    int RunRoundEnd();

    int FEpollFd = -1;
    int FWakeFd = -1;
    bool FWakeSignalled = false;
    int FRoundDepth = 0; // RunOnce calls in progress
    bool FQuit = false;
    uint64_t FGeneration = 0;
    std::unordered_map<int, TWatch> FWatches;
    std::deque<TTask> FTasks;
    std::vector<TTask> FRoundEnd;
    TTimerId FNextTimer = 1;
    std::unordered_map<TTimerId, TTimer> FTimers;
};

} // namespace vendrix::net
