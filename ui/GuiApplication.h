// The application object of the window: an exception that leaves a slot or
// an event handler is shown in a message box and the program carries on,
// instead of taking the server and every session down with it.
#pragma once

#include <QApplication>

namespace vendrix::ui {

class TGuiApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace vendrix::ui
