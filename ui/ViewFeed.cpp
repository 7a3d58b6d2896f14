#include "ViewFeed.h"

#include "LogView.h"

#include <algorithm>

namespace vendrix::ui {

TViewFeed::TViewFeed(policy::TFtpController& controller, std::function<void(TViewBatch&)> show,
                     QObject* parent)
    : QObject(parent), FController(controller), FShow(std::move(show)) {
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TViewFeed::Flush);
    FController.AddObserver(this);
    FLogSink = FController.SessionLog().AddSink([this](const std::string& line) {
        FBatch.LogLines.push_back(line);
        if (FBatch.LogLines.size() > size_t(kMaxLogLines)) FBatch.LogLines.pop_front();
        Schedule();
    });
}

TViewFeed::~TViewFeed() {
    FController.SessionLog().RemoveSink(FLogSink);
    FController.RemoveObserver(this);
}

bool TViewFeed::Pending() const {
    return !FBatch.LogLines.empty() || !FBatch.Users.empty() || FBatch.Status;
}

void TViewFeed::Schedule() {
    if (FTimer.isActive()) return;
    const qint64 since = FSinceFlush.isValid() ? FSinceFlush.elapsed() : FGapMs;
    FTimer.start(int(std::max<qint64>(0, FGapMs - since)));
}

void TViewFeed::Flush() {
    FTimer.stop();
    if (!Pending()) return;
    TViewBatch batch;
    std::swap(batch, FBatch);
    QElapsedTimer took;
    took.start();
    FShow(batch);
    // A batch that is slow to show spaces out the next ones: the window
    // takes a twentieth of the thread at most, however busy the server is
    // (a flood of 5,000 lines is then shown two or three times a second).
    FGapMs = std::max<qint64>(kMinGapMs, 19 * took.elapsed());
    FSinceFlush.start();
}

void TViewFeed::UserAdded(const policy::TUserRow& row) {
    FBatch.Users.push_back({TUserChange::Added, row});
    Schedule();
}

void TViewFeed::UserChanged(const policy::TUserRow& row) {
    FBatch.Users.push_back({TUserChange::Changed, row});
    Schedule();
}

void TViewFeed::UserRemoved(int32_t id) {
    FBatch.Users.push_back({TUserChange::Removed, {id, {}, {}}});
    Schedule();
}

void TViewFeed::StatusChanged(const policy::TServerStatus& status) {
    FBatch.Status = status;
    Schedule();
}

} // namespace vendrix::ui
