#include "platform/dialogs.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QQueue>
#include <QTimer>

namespace platform {

namespace {

struct DialogState {
    bool automatic = false;
    int answerDelayMs = 0;
    QQueue<MsgAnswer> messageAnswers;
    QQueue<QString> inputAnswers;
    QQueue<QString> fileAnswers;
    QQueue<QString> printAnswers;
    QList<ShownDialog> shown;
};

DialogState& state() {
    static DialogState s;
    return s;
}

// An automatic dialog that takes its time is up as long as a shown one would be: the event
// loop runs meanwhile.
void takeTime(const DialogState& s) {
    if (s.answerDelayMs <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(s.answerDelayMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// Qt's file dialog writes a file's date in the form of the session's locale, which may not be
// Chinese, and its kind in English ("Folder", or the system's name of the file type); the
// dialog shows both in the program's own Chinese instead: "文件夹", "TVB 文件".
class ChineseColumns : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole && (index.column() == 2 || index.column() == 3)) {
            if (auto* files = qobject_cast<QFileSystemModel*>(sourceModel())) {
                const QModelIndex source = mapToSource(index);
                if (index.column() == 3) {
                    const QDateTime when = files->lastModified(source);
                    if (when.isValid()) return QLocale().toString(when, QLocale::ShortFormat);
                } else {
                    const QFileInfo info = files->fileInfo(source);
                    if (info.isDir()) return QStringLiteral("文件夹");
                    const QString suffix = info.suffix();
                    return suffix.isEmpty() ? QStringLiteral("文件")
                                            : suffix.toUpper() + QStringLiteral(" 文件");
                }
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QString runFileDialog(QWidget* parent, const QString& title, const QString& start,
                      const QString& filter, bool save) {
    QFileDialog dialog(parent, title, start, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ChineseColumns(&dialog));
    // Each filter shows its description as the caller wrote it, which names its patterns
    // already ("Zandrel文件(*.tvb)"): the patterns Qt needs after it stay unseen.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}

QList<MsgAnswer> buttonsOf(MsgButtons b) {
    switch (b) {
        case MsgButtons::Ok:
            return {MsgAnswer::Ok};
        case MsgButtons::OkCancel:
            return {MsgAnswer::Ok, MsgAnswer::Cancel};
        case MsgButtons::YesNo:
            return {MsgAnswer::Yes, MsgAnswer::No};
        case MsgButtons::YesNoCancel:
            return {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel};
        case MsgButtons::RetryCancel:
            return {MsgAnswer::Retry, MsgAnswer::Cancel};
        case MsgButtons::AbortRetryIgnore:
            return {MsgAnswer::Abort, MsgAnswer::Retry, MsgAnswer::Ignore};
    }
    return {MsgAnswer::Ok};
}

QMessageBox::StandardButton standardButton(MsgAnswer a) {
    switch (a) {
        case MsgAnswer::Ok:
            return QMessageBox::Ok;
        case MsgAnswer::Cancel:
            return QMessageBox::Cancel;
        case MsgAnswer::Yes:
            return QMessageBox::Yes;
        case MsgAnswer::No:
            return QMessageBox::No;
        case MsgAnswer::Retry:
            return QMessageBox::Retry;
        case MsgAnswer::Abort:
            return QMessageBox::Abort;
        case MsgAnswer::Ignore:
            return QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

// "描述|*.a;*.b|描述2|*.c" -> "描述 (*.a *.b);;描述2 (*.c)"
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace

QString answerName(MsgAnswer a) {
    switch (a) {
        case MsgAnswer::Ok:
            return QStringLiteral("Ok");
        case MsgAnswer::Cancel:
            return QStringLiteral("Cancel");
        case MsgAnswer::Yes:
            return QStringLiteral("Yes");
        case MsgAnswer::No:
            return QStringLiteral("No");
        case MsgAnswer::Retry:
            return QStringLiteral("Retry");
        case MsgAnswer::Abort:
            return QStringLiteral("Abort");
        case MsgAnswer::Ignore:
            return QStringLiteral("Ignore");
    }
    return {};
}

MsgAnswer messageBox(const QString& text, MsgButtons buttons, const QString& title, MsgIcon icon,
                     QWidget* parent) {
    DialogState& s = state();
    const QList<MsgAnswer> allowed = buttonsOf(buttons);
    MsgAnswer answer = allowed.first();
    if (s.automatic) {
        takeTime(s);
        if (!s.messageAnswers.isEmpty()) answer = s.messageAnswers.dequeue();
    } else {
        QMessageBox box(parent);
        box.setWindowTitle(title);
        // Texts are shown as they are: markup in them (a page's alert of an element's
        // outerHTML, a name with "<") is text, never rendered.
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        switch (icon) {
            case MsgIcon::None:
                break;
            case MsgIcon::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case MsgIcon::Question:
                box.setIcon(QMessageBox::Question);
                break;
            case MsgIcon::Warning:
                box.setIcon(QMessageBox::Warning);
                break;
            case MsgIcon::Critical:
                box.setIcon(QMessageBox::Critical);
                break;
        }
        QMessageBox::StandardButtons std;
        for (MsgAnswer a : allowed) std |= standardButton(a);
        box.setStandardButtons(std);
        box.setDefaultButton(standardButton(allowed.first()));
        if (allowed.contains(MsgAnswer::Cancel)) box.setEscapeButton(QMessageBox::Cancel);
        const int pressed = box.exec();
        answer = allowed.contains(MsgAnswer::Cancel) ? MsgAnswer::Cancel : allowed.first();
        for (MsgAnswer a : allowed)
            if (pressed == standardButton(a)) answer = a;
    }
    s.shown.append({DialogKind::Message, title, text, buttons, {}, answerName(answer)});
    return answer;
}

QString inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                 QWidget* parent) {
    DialogState& s = state();
    QString answer = defaultText;
    if (s.automatic) {
        takeTime(s);
        if (!s.inputAnswers.isEmpty()) answer = s.inputAnswers.dequeue();
    } else {
        QInputDialog box(parent);
        box.setWindowTitle(title);
        box.setInputMode(QInputDialog::TextInput);
        box.setLabelText(prompt);
        box.setTextValue(defaultText);
        // The prompt is text, like a message box's.
        for (QLabel* label : box.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
        answer = box.exec() == QDialog::Accepted ? box.textValue() : QString();
    }
    s.shown.append({DialogKind::Input, title, prompt, MsgButtons::OkCancel, defaultText, answer});
    return answer;
}

QString openFileDialog(const QString& title, const QString& filter, const QString& initialFolder,
                       QWidget* parent) {
    DialogState& s = state();
    QString answer;
    if (s.automatic) {
        takeTime(s);
        if (!s.fileAnswers.isEmpty()) answer = s.fileAnswers.dequeue();
    } else {
        answer = runFileDialog(parent, title, initialFolder, qtFilter(filter), false);
    }
    s.shown.append({DialogKind::OpenFile, title, {}, MsgButtons::OkCancel, filter, answer});
    return answer;
}

QString saveFileDialog(const QString& title, const QString& filter, const QString& initialFolder,
                       const QString& initialName, QWidget* parent) {
    DialogState& s = state();
    QString answer;
    if (s.automatic) {
        takeTime(s);
        if (!s.fileAnswers.isEmpty()) answer = s.fileAnswers.dequeue();
    } else {
        QString start = initialFolder;
        if (!initialName.isEmpty())
            start = initialFolder.isEmpty() ? initialName : initialFolder + '/' + initialName;
        answer = runFileDialog(parent, title, start, qtFilter(filter), true);
    }
    s.shown.append({DialogKind::SaveFile, title, {}, MsgButtons::OkCancel, filter, answer});
    return answer;
}

bool printDialog(QPrinter* printer, QWidget* parent) {
    DialogState& s = state();
    const QString title = QStringLiteral("打印");
    bool accepted = false;
    QString answer;
    if (s.automatic) {
        if (!s.printAnswers.isEmpty()) answer = s.printAnswers.dequeue();
        accepted = !answer.isEmpty();
        if (accepted && printer) {
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(answer);
            // At screen resolution: what was printed is there to be seen, and quickly.
            printer->setResolution(96);
        }
    } else if (printer) {
        QPrintDialog dialog(printer, parent);
        dialog.setWindowTitle(title);
        accepted = dialog.exec() == QDialog::Accepted;
        answer = accepted ? printer->printerName() : QString();
        if (accepted && answer.isEmpty()) answer = printer->outputFileName();
    }
    s.shown.append({DialogKind::Print, title, {}, MsgButtons::OkCancel, {}, answer});
    return accepted;
}

void setDialogsAutomatic(bool automatic) {
    state().automatic = automatic;
}
void setDialogAnswerDelay(int ms) {
    state().answerDelayMs = ms;
}
void queueMessageAnswer(MsgAnswer answer) {
    state().messageAnswers.enqueue(answer);
}
void queueInputAnswer(const QString& text) {
    state().inputAnswers.enqueue(text);
}
void queueFileAnswer(const QString& path) {
    state().fileAnswers.enqueue(path);
}
void queuePrintAnswer(const QString& pdfPath) {
    state().printAnswers.enqueue(pdfPath);
}
QList<ShownDialog> shownDialogs() {
    return state().shown;
}

void clearShownDialogs() {
    DialogState& s = state();
    s.shown.clear();
    s.messageAnswers.clear();
    s.inputAnswers.clear();
    s.fileAnswers.clear();
    s.printAnswers.clear();
}

}  // namespace platform
