// The log view: lines of coloured runs appended at the end, at most
// kMaxLogLines lines (the oldest goes first), drawn with the "Color" and
// "Font" settings.
#pragma once

#include <QPlainTextEdit>
#include <deque>
#include <string>
#include <vector>

#include "LogAppearance.h"
#include "TaggedText.h"

namespace vendrix::ui {

inline constexpr int kMaxLogLines = 5000;

// Read-only, no wrap, both scroll bars, bounded.
void SetUpLogView(QPlainTextEdit& view);
void ApplyLogAppearance(QPlainTextEdit& view, const config::TLogColors& colors, const config::TLogFont& font);
void ClearLogView(QPlainTextEdit& view);
// One line made of runs; the caret and the view move to the end.
void AppendLogLine(QPlainTextEdit& view, const std::vector<log::TColoredRun>& runs, bool bold = false);
// Lines tagged as the session log frames them, in one edit of the document:
// the view is laid out and scrolled once for all of them.
void AppendLogLines(QPlainTextEdit& view, const std::deque<std::string>& taggedLines,
                    config::TColor textColor);
QColor ToQColor(const config::TColor& color);

} // namespace vendrix::ui
