#include "EventLoop.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace vendrix::net {

namespace {
constexpr uint64_t kWakeKey = ~uint64_t(0);

uint64_t Key(int fd, uint64_t generation) {
    return (generation << 32) | uint32_t(fd);
}
} // namespace

TEventLoop::TEventLoop() {
    FEpollFd = epoll_create1(EPOLL_CLOEXEC);
    FWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeKey;
    if (FEpollFd < 0 || FWakeFd < 0 || epoll_ctl(FEpollFd, EPOLL_CTL_ADD, FWakeFd, &ev) != 0) {
        // A loop that could never wake for posted tasks is no loop at all.
        if (FWakeFd >= 0) close(FWakeFd);
        if (FEpollFd >= 0) close(FEpollFd);
        throw std::runtime_error("event loop: cannot create epoll or eventfd");
    }
}

TEventLoop::~TEventLoop() {
    for (auto& [id, timer] : FTimers)
        close(timer.Fd);
    close(FWakeFd);
    close(FEpollFd);
}

TEventLoop& TEventLoop::Instance() {
    static TEventLoop loop;
    return loop;
}

uint64_t TEventLoop::Tick() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000;
}

bool TEventLoop::Watch(int fd, uint32_t events, TFdCallback callback) {
    auto it = FWatches.find(fd);
    uint64_t generation = ++FGeneration & 0xffffffffu;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = Key(fd, generation);
    if (epoll_ctl(FEpollFd, it == FWatches.end() ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &ev) != 0) return false;
    FWatches[fd] = TWatch{events, std::move(callback), generation};
    return true;
}

bool TEventLoop::Modify(int fd, uint32_t events) {
    auto it = FWatches.find(fd);
    if (it == FWatches.end()) return false;
    if (it->second.Events == events) return true;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = Key(fd, it->second.Generation);
    if (epoll_ctl(FEpollFd, EPOLL_CTL_MOD, fd, &ev) != 0) return false;
    it->second.Events = events;
    return true;
}

bool TEventLoop::Unwatch(int fd) {
    auto it = FWatches.find(fd);
    if (it == FWatches.end()) return true;
    // The entry goes either way: a callback must never fire for an fd its
    // owner has given up, and a stale epoll registration is filtered by the
    // generation in its key.
    FWatches.erase(it);
    return epoll_ctl(FEpollFd, EPOLL_CTL_DEL, fd, nullptr) == 0;
}

void TEventLoop::SignalTasks() {
    if (FWakeSignalled) return;
    uint64_t one = 1;
    if (write(FWakeFd, &one, sizeof one) == sizeof one) FWakeSignalled = true;
}

void TEventLoop::Post(TTask task) {
    FTasks.push_back(std::move(task));
    // Posted from a handler, the task runs in this round, which signals the
    // eventfd at its end if work is left over: nothing waits on the loop's
    // fd meanwhile (a toolkit's notifier does not run the loop inside one
    // of its handlers). Every reply posts its "sent" notification, so this
    // spares a write and a read of the eventfd per command. Posted between
    // rounds, the loop may be asleep in a toolkit's poll and must wake.
    if (FRoundDepth == 0) SignalTasks();
}

void TEventLoop::PostRoundEnd(TTask task) {
    FRoundEnd.push_back(std::move(task));
    if (FRoundDepth == 0) SignalTasks();
}

TEventLoop::TTimerId TEventLoop::AddTimer(uint32_t intervalMs, bool repeat, TTask callback) {
    int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0) return 0;
    itimerspec spec{};
    if (intervalMs == 0) intervalMs = 1;
    spec.it_value.tv_sec = intervalMs / 1000;
    spec.it_value.tv_nsec = long(intervalMs % 1000) * 1000000;
    if (repeat) spec.it_interval = spec.it_value;
    TTimerId id = FNextTimer++;
    auto fire = [this, id, fd](uint32_t) {
        uint64_t expirations = 0;
        if (read(fd, &expirations, sizeof expirations) != sizeof expirations || expirations == 0) return;
        auto it = FTimers.find(id);
        if (it == FTimers.end()) return;
        // A late round may hold several expirations: the callback runs once,
        // as a window message timer would, so work never piles up.
        if (!it->second.Repeat && !it->second.Kept) {
            TTask cb = std::move(it->second.Callback);
            CancelTimer(id);
            cb();
        } else {
            TTask cb = it->second.Callback; // the callback may cancel its own timer
            cb();
        }
    };
    if (timerfd_settime(fd, 0, &spec, nullptr) != 0 || !Watch(fd, EPOLLIN, fire)) {
        close(fd);
        return 0;
    }
    FTimers[id] = TTimer{fd, repeat, false, std::move(callback)};
    return id;
}

TEventLoop::TTimerId TEventLoop::AddIdleTimer(TTask callback) {
    TTimerId id = AddTimer(1, false, std::move(callback));
    if (!id) return 0;
    TTimer& timer = FTimers[id];
    itimerspec disarm{};
    if (timerfd_settime(timer.Fd, 0, &disarm, nullptr) != 0) {
        CancelTimer(id);
        return 0;
    }
    timer.Kept = true;
    return id;
}

bool TEventLoop::StartTimer(TTimerId id, uint32_t intervalMs) {
    auto it = FTimers.find(id);
    if (it == FTimers.end()) return false;
    itimerspec spec{};
    if (intervalMs == 0) intervalMs = 1;
    spec.it_value.tv_sec = intervalMs / 1000;
    spec.it_value.tv_nsec = long(intervalMs % 1000) * 1000000;
    return timerfd_settime(it->second.Fd, 0, &spec, nullptr) == 0;
}

void TEventLoop::CancelTimer(TTimerId id) {
    auto it = FTimers.find(id);
    if (it == FTimers.end()) return;
    Unwatch(it->second.Fd);
    close(it->second.Fd);
    FTimers.erase(it);
}

int TEventLoop::RunTasks() {
    // Only the tasks queued now: a task that posts another (a download that
    // keeps feeding itself) must not starve the sockets.
    size_t n = FTasks.size();
    int ran = 0;
    while (n-- > 0 && !FTasks.empty()) {
        TTask task = std::move(FTasks.front());
        FTasks.pop_front();
        Guarded(task);
        ++ran;
    }
    return ran;
}

int TEventLoop::RunOnce(int timeoutMs) {
    constexpr int kMaxEvents = 256;
    epoll_event events[kMaxEvents];
    if (!FTasks.empty() || !FRoundEnd.empty()) timeoutMs = 0;
    int n = epoll_wait(FEpollFd, events, kMaxEvents, timeoutMs);
    if (n < 0 && errno != EINTR) throw std::runtime_error("event loop: epoll_wait failed");
    struct TRound {
        int& Depth;
        explicit TRound(int& depth) : Depth(++depth) {}
        ~TRound() { --Depth; }
    } round(FRoundDepth);
    int ran = 0;
    for (int i = 0; i < n; ++i) {
        uint64_t key = events[i].data.u64;
        if (key == kWakeKey) continue;
        int fd = int(uint32_t(key));
        auto it = FWatches.find(fd);
        if (it == FWatches.end() || it->second.Generation != (key >> 32)) continue;
        TFdCallback cb = it->second.Callback; // the callback may unwatch itself
        uint32_t ready = events[i].events;
        Guarded([&] { cb(ready); });
        ++ran;
        // Work posted by this handler runs now that it has returned.
        if (!FTasks.empty()) ran += RunTasks();
    }
    ran += RunTasks();
    ran += RunRoundEnd();
    // Work left for the next round keeps the poll fd readable, so a GUI
    // that waits on it comes back.
    if (!FTasks.empty() || !FRoundEnd.empty()) {
        SignalTasks();
    } else if (FWakeSignalled) {
        // One read takes an eventfd's whole count.
        uint64_t value;
        if (read(FWakeFd, &value, sizeof value) == sizeof value || errno == EAGAIN) FWakeSignalled = false;
    }
    return ran;
}

int TEventLoop::RunRoundEnd() {
    // Only those queued now; one queued by a round-end task waits a round.
    std::vector<TTask> due;
    due.swap(FRoundEnd);
    for (TTask& task : due)
        Guarded(task);
    return int(due.size());
}

void TEventLoop::Guarded(const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception& e) {
        if (OnException) {
            try {
                OnException(e);
            } catch (...) {
            }
        } else {
            std::fprintf(stderr, "event loop: %s\n", e.what());
        }
    }
}

void TEventLoop::Run() {
    FQuit = false;
    while (!FQuit)
        RunOnce(-1);
}

} // namespace vendrix::net
