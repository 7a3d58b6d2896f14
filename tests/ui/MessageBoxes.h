// Scripted answers to the modal windows a test makes the program open:
// message boxes are answered and what they said is kept.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace vendrix::testing {

// Runs `answer` on the next modal window that opens.
inline void WhenModal(std::function<void(QWidget*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// Answers the next message box with `button` and keeps its name and text.
// The script ends when it has answered one or when the test drops the
// result, so a box that never comes leaves nothing running.
struct TMessageSeen {
    QString Name;
    QString Text;
};
inline std::shared_ptr<TMessageSeen> AnswerMessage(QMessageBox::StandardButton button = QMessageBox::Ok) {
    auto seen = std::make_shared<TMessageSeen>();
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, button, weak = std::weak_ptr<TMessageSeen>(seen)] {
        std::shared_ptr<TMessageSeen> result = weak.lock();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (result && !box) return;
        timer->stop();
        timer->deleteLater();
        if (!result) return;
        result->Name = box->objectName();
        result->Text = box->text();
        box->button(button)->click();
    });
    timer->start();
    return seen;
}

} // namespace vendrix::testing
