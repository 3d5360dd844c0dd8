#pragma once

#include <QList>
#include <QString>

class QPrinter;
class QWidget;

namespace platform {

// Message boxes, input boxes and file dialogs. Every one the programs show goes through
// here, so a test can answer it beforehand and read back what was shown.

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// Modal; returns the button pressed (closing the box counts as Cancel where there is one,
// else as the only or first button).
MsgAnswer messageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                     const QString& title = QStringLiteral("提示"), MsgIcon icon = MsgIcon::None,
                     QWidget* parent = nullptr);

// Returns the typed text, or the empty text when the user cancels.
QString inputBox(const QString& prompt, const QString& title = QString(),
                 const QString& defaultText = QString(), QWidget* parent = nullptr);

// A filter is "描述|*.a;*.b|描述|*.c" (pairs of description and patterns).
// Both return the chosen full path, or the empty text when the user cancels.
QString openFileDialog(const QString& title, const QString& filter,
                       const QString& initialFolder = QString(), QWidget* parent = nullptr);
QString saveFileDialog(const QString& title, const QString& filter,
                       const QString& initialFolder = QString(),
                       const QString& initialName = QString(), QWidget* parent = nullptr);

// The toolkit's print dialog, in Chinese, for printer: false when the user cancels.
bool printDialog(QPrinter* printer, QWidget* parent = nullptr);

// ---- for tests ----
enum class DialogKind { Message, Input, OpenFile, SaveFile, Print };

struct ShownDialog {
    DialogKind kind;
    QString title;
    QString text;  // message or prompt
    MsgButtons buttons = MsgButtons::Ok;
    QString defaultText;  // input box default, dialog filter for file dialogs
    QString answer;       // what the dialog gave back, as text ("Ok", "Yes", a path, ...)
};

// While automatic, no dialog is shown on screen: queued answers are used in order, and a
// dialog with no answer queued gives the neutral answer (the first button, the default
// input text, no file, no printing).
void setDialogsAutomatic(bool automatic);
// While automatic, each dialog answers only after this long (0, the default: at once), as a
// user who reads it first would; the event loop runs meanwhile, as under a shown dialog.
void setDialogAnswerDelay(int ms);
void queueMessageAnswer(MsgAnswer answer);
void queueInputAnswer(const QString& text);  // the empty text means cancel
void queueFileAnswer(const QString& path);   // the empty text means cancel
// A print dialog answered with a path prints into that PDF file; the empty text means cancel.
void queuePrintAnswer(const QString& pdfPath);
QList<ShownDialog> shownDialogs();
void clearShownDialogs();  // also drops unused queued answers

QString answerName(MsgAnswer answer);

}  // namespace platform
