// Answers the message boxes, input boxes and pickers a window or dialog opens
// while a test drives it: each helper arms a script before the click that
// opens the modal window, and the script answers it as a person would.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
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

// Clicks `which` on `box`, which must be a message box.
inline void ClickButton(QWidget* box, QMessageBox::StandardButton which) {
    auto* message = qobject_cast<QMessageBox*>(box);
    QVERIFY(message);
    message->button(which)->click();
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

// Types `text` into the next input box and accepts it.
inline void AnswerInput(const QString& text) {
    WhenModal([text](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        if (!input) return;
        input->setTextValue(text);
        input->accept();
    });
}

// Picks `folder` in the next folder picker.
inline void AnswerFolder(const QString& folder) {
    WhenModal([folder](QWidget* modal) {
        auto* picker = qobject_cast<QFileDialog*>(modal);
        if (!picker) return;
        QVERIFY(picker->windowTitle() == "Select a directory");
        picker->setDirectory(folder);
        picker->selectFile(folder);
        static_cast<QDialog*>(picker)->accept();
    });
}

// Picks the existing file `path` in the next file picker.
inline void AnswerFile(const QString& path) {
    WhenModal([path](QWidget* modal) {
        auto* picker = qobject_cast<QFileDialog*>(modal);
        if (!picker) return;
        picker->selectFile(path);
        static_cast<QDialog*>(picker)->accept();
    });
}

} // namespace vendrix::testing
