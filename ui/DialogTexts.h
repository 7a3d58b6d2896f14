// Small pieces the configuration dialogs share: language texts, key filters
// for fields that accept only some characters, the reaction to a field
// losing the focus, message boxes and the pickers.
#pragma once

#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "LanguageFile.h"

namespace vendrix::ui {

QString LanguageText(const config::TLanguage& language, std::string_view key);

// Lets a key through only when the character it types is in `allowed`
// (keys that type nothing, such as arrows, Delete and backspace, always
// pass). With `refuse` set the meaning turns round: the listed characters
// are the ones kept out.
void FilterKeys(QLineEdit& field, const QString& chars, bool refuse = false);
inline const QString kDigits = QStringLiteral("0123456789");

// Calls `left` when the focus moves from `widget` to another control of the
// same window; switching to another window or opening a popup does not
// count, so a message box raised by `left` does not raise it again.
void OnFocusLeave(QWidget& widget, std::function<void()> left);
// Ends the calls of OnFocusLeave and OnFocusEnter below `window`: a
// dialog's destructor runs this first, since destroying a focused field
// moves the focus while the dialog's members are already gone.
void StopFocusWatches(QWidget& window);
// Calls `entered` when `widget` gets the focus.
void OnFocusEnter(QWidget& widget, std::function<void()> entered);

// A modal message box over `parent`, named "msg" + key for scripted tests.
void ShowMessage(QWidget* parent, const QString& text, const QString& name = {},
                 QMessageBox::Icon icon = QMessageBox::Warning);
// The message a failed conversion of `text` to a whole number shows.
QString InvalidNumberText(const QString& text);
// The text as a decimal whole number of at most 32 bits, or a message box.
bool ReadInteger(QWidget* parent, const QString& text, int64_t& value);

// A file path typed in quotes loses its first and last characters.
std::string WithoutQuotes(const QString& text);

// The folder picker ("Select a directory"); empty when cancelled. Without a
// trailing "/".
QString PickFolder(QWidget* parent, const QString& start);
// A file picker for an existing file; empty when cancelled.
QString PickFile(QWidget* parent, const QString& filter, const QString& start);

} // namespace vendrix::ui
