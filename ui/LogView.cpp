#include "LogView.h"

#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <algorithm>
#include <memory>

namespace vendrix::ui {

namespace {
// Set once the view holds a line, even an empty one.
const char* const kHasLines = "vendrixHasLines";

// The colours of a line that came in a batch. Giving each run its colour
// as the document's own format costs four times what inserting the text
// does, for lines that mostly scroll away unseen; so a batch goes in as
// plain text, each line keeps its runs beside it, and a line takes its
// colours (as its layout's formats) once it is on screen.
class TLineColours : public QTextBlockUserData {
public:
    std::vector<std::pair<int, QRgb>> Runs; // length in UTF-16 units, colour
};

// Colours the lines on screen that have not had their colours yet.
void ColourShownLines(QPlainTextEdit& view) {
    QTextBlock block = view.cursorForPosition(QPoint(0, 0)).block();
    const int last = view.cursorForPosition(QPoint(0, view.viewport()->height())).block().blockNumber();
    for (; block.isValid() && block.blockNumber() <= last; block = block.next()) {
        auto* colours = static_cast<TLineColours*>(block.userData());
        QTextLayout* layout = block.layout();
        if (!colours || !layout || !layout->formats().isEmpty()) continue;
        QList<QTextLayout::FormatRange> ranges;
        ranges.reserve(qsizetype(colours->Runs.size()));
        int start = 0;
        for (const auto& [length, rgb] : colours->Runs) {
            QTextLayout::FormatRange range;
            range.start = start;
            range.length = length;
            range.format.setForeground(QColor(rgb));
            ranges.append(range);
            start += length;
        }
        layout->setFormats(ranges);
        view.document()->markContentsDirty(block.position(), block.length());
    }
}

// Colours what is about to be painted, whatever brought it on screen
// (scrolling, resizing, new lines, the window shown again).
class TColourOnPaint : public QObject {
public:
    explicit TColourOnPaint(QPlainTextEdit& view) : QObject(&view), FView(view) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ColourShownLines(FView);
        return false;
    }

private:
    QPlainTextEdit& FView;
};

// A log line is one block: a line break inside a run would split it.
void OnOneLine(QString& text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            text[i] = u' ';
    }
}
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
    view.viewport()->installEventFilter(new TColourOnPaint(view));
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
    const size_t skip = taggedLines.size() - std::min(taggedLines.size(), size_t(kMaxLogLines));
    QString text;
    std::vector<std::unique_ptr<TLineColours>> lines;
    lines.reserve(taggedLines.size() - skip);
    bool first = !view.property(kHasLines).toBool();
    for (size_t i = skip; i < taggedLines.size(); ++i, first = false) {
        if (!first) text += QChar(QChar::ParagraphSeparator);
        auto& colours = lines.emplace_back(std::make_unique<TLineColours>());
        for (const log::TColoredRun& run : log::RenderTagged(taggedLines[i], textColor)) {
            const qsizetype from = text.size();
            text += QString::fromStdString(run.Text);
            OnOneLine(text, from);
            colours->Runs.emplace_back(int(text.size() - from), ToQColor(run.Color).rgb());
        }
    }
    QTextCursor cursor(view.document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    // A format of its own: the cursor would carry on the last line's (bold,
    // coloured) otherwise.
    cursor.insertText(text, QTextCharFormat());
    cursor.endEditBlock();
    // The batch's lines are the document's last blocks (the view drops its
    // first ones, never these).
    QTextBlock block = view.document()->lastBlock();
    for (auto it = lines.rbegin(); it != lines.rend() && block.isValid(); ++it, block = block.previous())
        block.setUserData(it->release());
    view.setProperty(kHasLines, true);
    ScrollToEnd(view);
}

} // namespace vendrix::ui
