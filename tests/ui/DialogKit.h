// What the dialog tests share: driving widgets as an administrator would
// (clicks, typing, moving the focus), a fresh base folder and the English
// texts for each test function, and the list of test classes that the one
// dialog_tests program runs (one class per dialog, each in its own file).
#pragma once

#include "BaseFolder.h"
#include "IniDocument.h"
#include "LanguageFile.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix::testing {

inline void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// After a message box the window manager would make the dialog active again
// (the offscreen platform does not); focus changes in an inactive window send
// no focus events.
inline void WaitActive(QWidget& widget) {
    if (!widget.window()->isActiveWindow()) widget.window()->activateWindow();
    QTRY_VERIFY(widget.window()->isActiveWindow());
}

// A check box reacts to a click on its box or its text, not on the empty
// room a layout may give it.
inline void ClickBox(QAbstractButton* box) {
    WaitActive(*box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

inline void Click(QWidget* button) {
    WaitActive(*button);
    QTest::mouseClick(button, Qt::LeftButton);
}

inline void ClickItem(QListWidget& list, int row) {
    WaitActive(list);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(row)).center());
}

// Clicks into a field, replaces its text by typing, and tabs out of it.
inline void TypeInto(QLineEdit& field, const QString& text, bool leave = true) {
    WaitActive(field);
    QTest::mouseClick(&field, Qt::LeftButton);
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClicks(&field, text);
    if (leave) QTest::keyClick(&field, Qt::Key_Tab);
}

inline config::TIniDocument ReadDoc(const std::string& path) {
    return config::TIniDocument::Parse(ReadText(path));
}

// A test class's init() opens it and cleanup() closes it.
class TDialogFixture {
protected:
    std::unique_ptr<TBaseFolder> FBase;
    std::unique_ptr<config::TLanguage> FLanguage;

    void Open() {
        FBase = std::make_unique<TBaseFolder>();
        FLanguage = std::make_unique<config::TLanguage>(VENDRIX_LANGUAGE_FOLDER);
        FLanguage->SetName("english");
    }
    void Close() {
        FLanguage.reset();
        FBase.reset();
    }

    std::string Users() const { return FBase->Users(); }
    std::string Config() const { return FBase->Config(); }
    QString LanguageText(std::string_view key) const {
        return QString::fromStdString(FLanguage->Translate(key));
    }
};

// Each test class registers itself with a TRegisterDialogTest at namespace
// scope; main() runs every registered class in turn.
inline std::vector<std::function<int(int, char**)>>& DialogTestClasses() {
    static std::vector<std::function<int(int, char**)>> classes;
    return classes;
}

template <class TTest> struct TRegisterDialogTest {
    TRegisterDialogTest() {
        DialogTestClasses().push_back([](int argc, char** argv) {
            TTest test;
            return QTest::qExec(&test, argc, argv);
        });
    }
};

} // namespace vendrix::testing
