#include "TrayIcon.h"

namespace vendrix::ui {

QIcon TTrayIcon::StateIcon(policy::TTrayState state) {
    switch (state) {
    case policy::TTrayState::Stopped:
        return QIcon(":/images/tray-stopped.svg");
    case policy::TTrayState::Listening:
        return QIcon(":/images/tray-listening.svg");
    case policy::TTrayState::ClientsConnected:
        break;
    }
    return QIcon(":/images/tray-clients.svg");
}

TTrayIcon::TTrayIcon(QMenu* menu, QObject* parent) : QObject(parent) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    FIcon = new QSystemTrayIcon(StateIcon(FState), this);
    // The right click opens the menu at the mouse.
    FIcon->setContextMenu(menu);
    connect(FIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) emit Activated();
    });
}

void TTrayIcon::Show() {
    if (FIcon) FIcon->show();
}

void TTrayIcon::Hide() {
    if (FIcon) FIcon->hide();
}

void TTrayIcon::SetState(policy::TTrayState state) {
    FState = state;
    if (FIcon) FIcon->setIcon(StateIcon(state));
}

void TTrayIcon::SetTip(const QString& tip) {
    if (FIcon) FIcon->setToolTip(tip);
}

} // namespace vendrix::ui
