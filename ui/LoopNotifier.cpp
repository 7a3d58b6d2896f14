#include "LoopNotifier.h"

namespace vendrix::ui {

TLoopNotifier::TLoopNotifier(net::TEventLoop& loop, QObject* parent)
    : QObject(parent), FLoop(loop),
      FNotifier(new QSocketNotifier(loop.PollFd(), QSocketNotifier::Read, this)) {
    connect(FNotifier, &QSocketNotifier::activated, this, &TLoopNotifier::Run);
}

// The notifier goes before the loop's fd can be closed.
TLoopNotifier::~TLoopNotifier() {
    delete FNotifier;
}

void TLoopNotifier::Run() {
    // A handler of the loop that spun a nested Qt event loop would run the
    // loop inside itself; the round in progress finishes first instead.
    if (FRunning) return;
    FRunning = true;
    FLoop.RunOnce(0);
    FRunning = false;
}

} // namespace vendrix::ui
