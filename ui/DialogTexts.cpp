#include "DialogTexts.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QKeyEvent>

namespace vendrix::ui {

QString LanguageText(const config::TLanguage& language, std::string_view key) {
    return QString::fromStdString(language.Translate(key));
}

namespace {

class TKeyFilter : public QObject {
public:
    TKeyFilter(QObject* parent, QString chars, bool refuse)
        : QObject(parent), FChars(std::move(chars)), FRefuse(refuse) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            if (key->key() != Qt::Key_Backspace && !text.isEmpty() && text.at(0).isPrint()) {
                for (QChar c : text)
                    if (FChars.contains(c) == FRefuse) return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString FChars;
    bool FRefuse;
};

class TFocusWatch : public QObject {
public:
    TFocusWatch(QObject* parent, QEvent::Type type, std::function<void()> run)
        : QObject(parent), FType(type), FRun(std::move(run)) {
        setObjectName(QStringLiteral("focusWatch"));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == FType) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            auto* widget = qobject_cast<QWidget*>(watched);
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && widget &&
                widget->window()->isVisible())
                FRun();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type FType;
    std::function<void()> FRun;
};

} // namespace

void FilterKeys(QLineEdit& field, const QString& chars, bool refuse) {
    field.installEventFilter(new TKeyFilter(&field, chars, refuse));
}

void OnFocusLeave(QWidget& widget, std::function<void()> left) {
    widget.installEventFilter(new TFocusWatch(&widget, QEvent::FocusOut, std::move(left)));
}

void OnFocusEnter(QWidget& widget, std::function<void()> entered) {
    widget.installEventFilter(new TFocusWatch(&widget, QEvent::FocusIn, std::move(entered)));
}

void StopFocusWatches(QWidget& window) {
    for (QObject* watch : window.findChildren<QObject*>(QStringLiteral("focusWatch")))
        delete watch;
}

void ShowMessage(QWidget* parent, const QString& text, const QString& name, QMessageBox::Icon icon) {
    QMessageBox box(icon, parent ? parent->window()->windowTitle() : QString(), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(name.isEmpty() ? QStringLiteral("msgError") : name);
    box.exec();
}

QString InvalidNumberText(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

bool ReadInteger(QWidget* parent, const QString& text, int64_t& value) {
    bool ok = false;
    const int result = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        ShowMessage(parent, InvalidNumberText(text), QStringLiteral("msgInvalidNumber"));
        return false;
    }
    value = result;
    return true;
}

std::string WithoutQuotes(const QString& text) {
    if (!text.startsWith(u'"')) return text.toStdString();
    return text.size() < 2 ? std::string() : text.mid(1, text.size() - 2).toStdString();
}

QString PickFolder(QWidget* parent, const QString& start) {
    QFileDialog picker(parent, QStringLiteral("Select a directory"), start);
    picker.setObjectName("dlgSelectDirectory");
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly);
    picker.setOption(QFileDialog::DontUseNativeDialog);
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return {};
    QString folder = picker.selectedFiles().constFirst();
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString PickFile(QWidget* parent, const QString& filter, const QString& start) {
    QFileDialog picker(parent, QString(), start, filter);
    picker.setObjectName("dlgSelectFile");
    picker.setFileMode(QFileDialog::ExistingFile);
    picker.setOption(QFileDialog::DontUseNativeDialog);
    if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return {};
    return picker.selectedFiles().constFirst();
}

} // namespace vendrix::ui
