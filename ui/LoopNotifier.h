// Runs the controller's event loop inside Qt's: the loop's pollable fd is
// readable whenever it has work (ready sockets, due timers, posted tasks),
// so one socket notifier on it and a non-blocking round per activation keep
// the server going, also while a modal dialog or message box runs.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "EventLoop.h"

namespace vendrix::ui {

class TLoopNotifier : public QObject {
    Q_OBJECT
public:
    explicit TLoopNotifier(net::TEventLoop& loop, QObject* parent = nullptr);
    ~TLoopNotifier() override;

private:
    void Run();

    net::TEventLoop& FLoop;
    QSocketNotifier* FNotifier;
    bool FRunning = false;
};

} // namespace vendrix::ui
