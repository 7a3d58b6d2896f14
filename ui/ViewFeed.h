// What the window shows of the controller, gathered between repaints: log
// lines, user-list changes and the status. The window runs on the server's
// thread, and a widget updated for every logged command would cost the
// server more than the command itself; so the feed only queues what it is
// told and hands it all over in one batch: on the next pass of Qt's loop
// when the last batch is a while back, otherwise once kMinGapMs (or 19
// times what the last batch took to show, whichever is longer) has passed.
// Nothing is left out and the order is kept; of the log lines only the
// newest kMaxLogLines are kept, as the view would drop the others anyway.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FtpController.h"

namespace vendrix::ui {

enum class TUserChange { Added, Changed, Removed };

struct TUserEvent {
    TUserChange Change;
    policy::TUserRow Row; // only the ID for Removed
};

// Everything since the previous batch, oldest first.
struct TViewBatch {
    std::deque<std::string> LogLines; // framed lines, as the session log's sinks get them
    std::vector<TUserEvent> Users;
    std::optional<policy::TServerStatus> Status; // the latest, if it changed
};

class TViewFeed : public QObject, public policy::TControllerObserver {
    Q_OBJECT
public:
    static constexpr int kMinGapMs = 50;

    // Observes `controller` and takes its log lines until destroyed; `show`
    // receives each batch, from Qt's loop or from Flush.
    TViewFeed(policy::TFtpController& controller, std::function<void(TViewBatch&)> show,
              QObject* parent = nullptr);
    ~TViewFeed() override;

    // Hands over what is queued now: for a caller about to write into a
    // widget itself, after what the feed holds.
    void Flush();
    // Something is queued and not shown yet.
    bool Pending() const;
    // Forgets the queued log lines (the view was cleared).
    void DropLogLines() { FBatch.LogLines.clear(); }

    // policy::TControllerObserver
    void UserAdded(const policy::TUserRow& row) override;
    void UserChanged(const policy::TUserRow& row) override;
    void UserRemoved(int32_t id) override;
    void StatusChanged(const policy::TServerStatus& status) override;

private:
    void Schedule();

    policy::TFtpController& FController;
    std::function<void(TViewBatch&)> FShow;
    TViewBatch FBatch;
    int FLogSink = 0;
    QTimer FTimer;
    QElapsedTimer FSinceFlush;
    qint64 FGapMs = kMinGapMs;
};

} // namespace vendrix::ui
