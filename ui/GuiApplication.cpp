#include "GuiApplication.h"

#include <QMessageBox>
#include <exception>

namespace vendrix::ui {

bool TGuiApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Critical, applicationDisplayName(), QString::fromUtf8(e.what()),
                        QMessageBox::Ok, activeWindow());
        box.setObjectName("msgError");
        box.exec();
    } catch (...) {
        QMessageBox box(QMessageBox::Critical, applicationDisplayName(), QStringLiteral("Unknown error"),
                        QMessageBox::Ok, activeWindow());
        box.setObjectName("msgError");
        box.exec();
    }
    return false;
}

} // namespace vendrix::ui
