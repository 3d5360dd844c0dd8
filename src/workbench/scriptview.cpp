#include "workbench/scriptview.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// What the clipboard carries besides the plain text: the script text as the view holds it.
const QString kScriptMime = QStringLiteral("application/x-velmora-script");
// The mark of a symbol that stands for a lone CR. Text typed or pasted into a view never
// carries an object type: the text cursor drops it from the format it inserts with.
constexpr int kLoneCrObject = QTextFormat::UserObject + 1;

QTextCharFormat markFormat() {
    QTextCharFormat format;
    format.setObjectType(kLoneCrObject);
    return format;
}

bool isMark(const QTextCharFormat& format) {
    return format.objectType() == kLoneCrObject;
}

// The text shown for a script, and the places of the symbols that stand for a lone CR. One
// pass into a text of the right size: a long script is put into a view whole.
QString shown(const QString& text, QList<int>* loneCrs) {
    const char16_t* const begin = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = begin + text.size();
    if (std::find(begin, end, u'\r') == end) return text;
    QString out(text.size(), Qt::Uninitialized);
    char16_t* const start = reinterpret_cast<char16_t*>(out.data());
    char16_t* o = start;
    for (const char16_t* p = begin; p != end; ++p) {
        if (*p != u'\r') {
            *o++ = *p;
        } else if (p + 1 != end && p[1] == u'\n') {
            *o++ = u'\n';
            ++p;
        } else {
            if (loneCrs) loneCrs->append(int(o - start));
            *o++ = ScriptView::kLoneCrMark.unicode();
        }
    }
    out.truncate(o - start);
    return out;
}

// Line and paragraph separators inside a line, and LF, are line ends of the script.
void separatorsToLineEnds(QString& text) {
    const char16_t* const begin = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = begin + text.size();
    auto isBreak = [](char16_t c) {
        return c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    };
    const qsizetype breaks = std::count_if(begin, end, isBreak);
    if (breaks == 0) return;
    QString out(text.size() + breaks, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (const char16_t* p = begin; p != end; ++p) {
        if (isBreak(*p)) {
            *o++ = u'\r';
            *o++ = u'\n';
        } else {
            *o++ = *p;
        }
    }
    text = std::move(out);
}

// The script text of the part of a line from..to (document positions).
QString linePart(const QTextBlock& block, int from, int to) {
    QString out;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid()) continue;
        const int start = std::max(from, fragment.position());
        const int end = std::min(to, fragment.position() + fragment.length());
        if (start >= end) continue;
        QString text = fragment.text().mid(start - fragment.position(), end - start);
        if (isMark(fragment.charFormat())) text.replace(ScriptView::kLoneCrMark, QLatin1Char('\r'));
        out += text;
    }
    separatorsToLineEnds(out);
    return out;
}

}  // namespace

ScriptView::ScriptView(QWidget* parent) : PlainTextBox(parent) {}

QString ScriptView::shownText(const QString& text) {
    return shown(text, nullptr);
}

QString ScriptView::setScriptText(const QString& text) {
    QList<int> loneCrs;
    const QString view = shown(text, &loneCrs);
    setPlainText(view);
    if (loneCrs.isEmpty()) return view;
    // Marking is part of putting the text in, not an edit to undo.
    QTextDocument* doc = document();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    for (const int at : loneCrs) {
        cursor.setPosition(at);
        cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
        cursor.setCharFormat(markFormat());
    }
    doc->setUndoRedoEnabled(true);
    return view;
}

void ScriptView::insertScriptText(QTextCursor& cursor, const QString& text) {
    cursor.beginEditBlock();
    // The selection goes even when nothing takes its place.
    cursor.removeSelectedText();
    QList<int> loneCrs;
    const QString view = shown(text, &loneCrs);
    int from = 0;
    for (const int at : loneCrs) {
        if (at > from) cursor.insertText(view.mid(from, at - from));
        cursor.insertText(QString(kLoneCrMark), markFormat());
        from = at + 1;
    }
    if (from < view.size()) cursor.insertText(view.mid(from));
    cursor.endEditBlock();
}

QString ScriptView::lineText(const QTextBlock& block) {
    return linePart(block, block.position(), block.position() + block.length() - 1);
}

QString ScriptView::scriptText(const QTextDocument* document) {
    const QString raw = document->toRawText();
    if (!raw.contains(kLoneCrMark)) {
        QString out = raw;
        separatorsToLineEnds(out);
        return out;
    }
    return scriptText(document, 0, document->characterCount() - 1);
}

QString ScriptView::scriptText(const QTextDocument* document, int from, int to) {
    QString out;
    for (QTextBlock block = document->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from) out += kCrLf;
        out += linePart(block, from, to);
    }
    return out;
}

QMimeData* ScriptView::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    const QString text = scriptText(document(), cursor.selectionStart(), cursor.selectionEnd());
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(kScriptMime, text.toUtf8());
    return data;
}

void ScriptView::insertFromMimeData(const QMimeData* source) {
    if (!source || isReadOnly() || (!source->hasFormat(kScriptMime) && !source->hasText())) {
        PlainTextBox::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    if (source->hasFormat(kScriptMime)) {
        insertScriptText(cursor, QString::fromUtf8(source->data(kScriptMime)));
    } else {
        // Text from elsewhere goes in as typed: every line break a plain one, no marks.
        cursor.insertText(plainLineBreaks(source->text()));
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}
