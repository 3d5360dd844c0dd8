#include "workbench/plaintextbox.h"

#include <QKeyEvent>
#include <QMimeData>

PlainTextBox::PlainTextBox(QWidget* parent) : QPlainTextEdit(parent) {}

QString PlainTextBox::plainLineBreaks(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar& c : out)
        if (c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) c = u'\n';
    return out;
}

void PlainTextBox::keyPressEvent(QKeyEvent* event) {
    if (tabChangesFocus() && event->key() == Qt::Key_Tab &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier && !isReadOnly()) {
        insertPlainText(QStringLiteral("\t"));
        event->accept();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ShiftModifier) && !isReadOnly()) {
        // Shift+Enter is Enter: a new line like any other.
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                        event->text(), event->isAutoRepeat(), ushort(event->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void PlainTextBox::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText() || isReadOnly()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QMimeData plain;
    plain.setText(plainLineBreaks(source->text()));
    QPlainTextEdit::insertFromMimeData(&plain);
}
