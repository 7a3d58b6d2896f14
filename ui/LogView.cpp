#include "LogView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

namespace vendrix::ui {

namespace {
// Set once the view holds a line, even an empty one.
const char* const kHasLines = "vendrixHasLines";
} // namespace

QColor ToQColor(const config::TColor& c) {
    return QColor(c.Red, c.Green, c.Blue);
}

void SetUpLogView(QPlainTextEdit& view) {
    view.setReadOnly(true);
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Each line is one block; the document drops the first when full.
    view.setMaximumBlockCount(kMaxLogLines);
    view.setUndoRedoEnabled(false);
}

void ApplyLogAppearance(QPlainTextEdit& view, const config::TLogColors& colors,
                        const config::TLogFont& font) {
    QPalette palette = view.palette();
    QColor back = ToQColor(config::ParseColorText(colors.Back).value_or(config::TColor{255, 255, 255}));
    QColor text = ToQColor(config::ParseColorText(colors.Text).value_or(config::TColor{}));
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, back);
        palette.setColor(group, QPalette::Text, text);
    }
    view.setPalette(palette);
    QFont f(QString::fromStdString(font.Name));
    if (font.Size > 0) f.setPointSize(font.Size);
    f.setBold(font.Style & 1);
    f.setItalic(font.Style & 2);
    f.setUnderline(font.Style & 4);
    f.setStrikeOut(font.Style & 8);
    view.setFont(f);
}

void ClearLogView(QPlainTextEdit& view) {
    view.clear();
    view.setProperty(kHasLines, false);
}

namespace {

// The formats of a batch's runs: a log uses a handful of colours, and a
// format made once per colour spares building one for every run.
class TRunFormats {
public:
    explicit TRunFormats(bool bold) : FBold(bold) {}
    const QTextCharFormat& For(const config::TColor& color) {
        for (const auto& [c, format] : FMade)
            if (c == color) return format;
        QTextCharFormat format;
        format.setForeground(ToQColor(color));
        if (FBold) format.setFontWeight(QFont::Bold);
        return FMade.emplace_back(color, format).second;
    }

private:
    bool FBold;
    std::vector<std::pair<config::TColor, QTextCharFormat>> FMade;
};

// The empty document already has the block the first line goes into.
void InsertLine(QTextCursor& cursor, bool first, const std::vector<log::TColoredRun>& runs,
                TRunFormats& formats) {
    if (!first) cursor.insertBlock();
    for (const log::TColoredRun& run : runs)
        cursor.insertText(QString::fromStdString(run.Text), formats.For(run.Color));
}

void ScrollToEnd(QPlainTextEdit& view) {
    view.moveCursor(QTextCursor::End);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
}

} // namespace

void AppendLogLine(QPlainTextEdit& view, const std::vector<log::TColoredRun>& runs, bool bold) {
    QTextCursor cursor(view.document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    TRunFormats formats(bold);
    InsertLine(cursor, !view.property(kHasLines).toBool(), runs, formats);
    view.setProperty(kHasLines, true);
    cursor.endEditBlock();
    ScrollToEnd(view);
}

void AppendLogLines(QPlainTextEdit& view, const std::deque<std::string>& taggedLines,
                    config::TColor textColor) {
    if (taggedLines.empty()) return;
    // As many new lines as the view holds push every old one out: clearing
    // first spares inserting what would be trimmed again.
    if (taggedLines.size() >= size_t(kMaxLogLines)) ClearLogView(view);
    QTextCursor cursor(view.document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    const size_t skip = taggedLines.size() - std::min(taggedLines.size(), size_t(kMaxLogLines));
    bool first = !view.property(kHasLines).toBool();
    TRunFormats formats(false);
    for (size_t i = skip; i < taggedLines.size(); ++i, first = false)
        InsertLine(cursor, first, log::RenderTagged(taggedLines[i], textColor), formats);
    view.setProperty(kHasLines, true);
    cursor.endEditBlock();
    ScrollToEnd(view);
}

} // namespace vendrix::ui
