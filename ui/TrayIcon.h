// The icon in the notification area: one image per server state, the tip,
// a left click that brings the window up and a right click that opens the
// Start/Stop/Exit menu. Created only where the desktop has a notification
// area; elsewhere every call does nothing.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include "FtpController.h"

namespace vendrix::ui {

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    TTrayIcon(QMenu* menu, QObject* parent = nullptr);

    bool Available() const { return FIcon != nullptr; }
    // Shown: added to the notification area.
    bool Shown() const { return FIcon && FIcon->isVisible(); }
    void Show();
    void Hide();
    void SetState(policy::TTrayState state);
    policy::TTrayState State() const { return FState; }
    void SetTip(const QString& tip);

    static QIcon StateIcon(policy::TTrayState state);

signals:
    void Activated(); // left click

private:
    QSystemTrayIcon* FIcon = nullptr;
    policy::TTrayState FState = policy::TTrayState::ClientsConnected;
};

} // namespace vendrix::ui
