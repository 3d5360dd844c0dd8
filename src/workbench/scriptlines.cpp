#include "workbench/scriptlines.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "library/scriptfunctions.h"
#include "library/translate.h"
#include "workbench/scriptview.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}  // namespace

ScriptLines::ScriptLines(QTextDocument* document, bool translated, QObject* parent)
    : QObject(parent), document_(document), translated_(translated) {
    connect(document_, &QTextDocument::contentsChange, this, &ScriptLines::contentsChange);
    rebuild();
}

namespace {

// Characters that end a script line or stand for a lone CR, and the document's block
// separators: below U+000E or at U+2028 and above, so most characters are passed over with
// two comparisons.
bool mayBreak(char16_t c) {
    return c < 0x0E || c >= 0x2028;
}
bool breaksLine(char16_t c) {
    return c == u'\r' || c == u'\n' || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator || c == ScriptView::kLoneCrMark.unicode();
}
// A plain text put in starts a block at a line feed and at the paragraph separator and frame
// marks, each of which the document holds as a paragraph separator.
bool startsBlock(char16_t c) {
    return c == u'\n' || c == QChar::ParagraphSeparator || c == 0xFDD0 || c == 0xFDD1;
}

}  // namespace

ScriptLines::Line ScriptLines::readLine(QStringView viewLine, int blockNumber) const {
    const char16_t* p = reinterpret_cast<const char16_t*>(viewLine.utf16());
    const bool plain = std::none_of(p, p + viewLine.size(),
                                    [](char16_t c) { return mayBreak(c) && breaksLine(c); });
    return readLine(viewLine, blockNumber, plain, nullptr);
}

ScriptLines::Line ScriptLines::readLine(QStringView viewLine, int blockNumber, bool plain,
                                        QString* bulk) const {
    Line line;
    // Most lines read as they are shown; the others may stand for a script line with a lone
    // CR or for several script lines (a line separator pasted in), and are read from the
    // document, which knows which symbols stand for a lone CR.
    if (!translated_) {
        line.headerWithoutBrace =
            plain
                ? !ScriptModule::scanScriptFunctions(viewLine, line.calls)
                : !ScriptModule::scanScriptFunctions(
                      ScriptView::lineText(document_->findBlockByNumber(blockNumber)), line.calls);
        return line;
    }
    QString& english = bulk ? *bulk : line.english;
    const qsizetype at = english.size();
    if (plain) {
        TranslateModule::appendLineCn2En(english, viewLine);
        english += kCrLf;
    } else {
        english += TranslateModule::translateScript(
            ScriptView::lineText(document_->findBlockByNumber(blockNumber)), "cn2en");
    }
    if (bulk) {
        line.at = at;
        line.size = english.size() - at;
    }
    line.headerWithoutBrace = !ScriptModule::scanScriptFunctions(englishOf(line), line.calls);
    return line;
}

void ScriptLines::rebuild() {
    // Read from the whole text at once: going block by block costs several times as much
    // when a long script is put in.
    readLines(document_->toRawText());
}

void ScriptLines::rebuild(QStringView given) {
    readLines(given);
}

void ScriptLines::readLines(QStringView text) {
    lines_.clear();
    linesWithCalls_ = headersWithoutBrace_ = englishSize_ = 0;
    callsStale_ = true;
    // The English forms take about the room of the text; more is made as it is needed.
    bulk_.clear();
    if (translated_) bulk_.reserve(text.size() + text.size() / 4 + 16);
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = p + text.size();
    lines_.reserve(document_->blockCount());
    for (;;) {
        // Where the block ends, and whether it holds a line break of its own on the way.
        const char16_t* lineEnd = p;
        bool plain = true;
        for (; lineEnd != end; ++lineEnd) {
            const char16_t c = *lineEnd;
            if (!mayBreak(c)) continue;
            if (startsBlock(c)) break;
            plain = plain && !breaksLine(c);
        }
        Line line = readLine(QStringView(p, lineEnd), int(lines_.size()), plain,
                             translated_ ? &bulk_ : nullptr);
        count(line, 1);
        lines_.append(std::move(line));
        if (lineEnd == end) break;
        p = lineEnd + 1;
    }
    if (lines_.size() != document_->blockCount()) {
        lines_.clear();
        linesWithCalls_ = headersWithoutBrace_ = englishSize_ = 0;
        replaceLines(0, -1, document_->blockCount() - 1);
    }
}

void ScriptLines::count(const Line& line, int sign) {
    linesWithCalls_ += sign * !line.calls.isEmpty();
    headersWithoutBrace_ += sign * line.headerWithoutBrace;
    englishSize_ += sign * englishOf(line).size();
}

void ScriptLines::replaceLines(int first, int oldLast, int newLast) {
    const int oldCount = oldLast - first + 1;
    const int newCount = newLast - first + 1;
    bool callsChanged = false;
    for (int i = first; i <= oldLast; ++i) {
        const Line& old = lines_.at(i);
        count(old, -1);
        callsChanged = callsChanged || !old.calls.isEmpty() || old.headerWithoutBrace;
    }
    // The line count changes in one move of the lines after the range: a cut or a paste
    // of many lines would otherwise move them once per line.
    if (newCount > oldCount)
        lines_.insert(first + oldCount, newCount - oldCount, Line());
    else if (newCount < oldCount)
        lines_.remove(first + newCount, oldCount - newCount);
    QTextBlock block = document_->findBlockByNumber(first);
    for (int i = first; i <= newLast; ++i, block = block.next()) {
        Line line = readLine(block.text(), i);
        count(line, 1);
        callsChanged = callsChanged || !line.calls.isEmpty() || line.headerWithoutBrace;
        lines_[i] = std::move(line);
    }
    if (callsChanged) callsStale_ = true;
}

void ScriptLines::contentsChange(int position, int /*removed*/, int added) {
    if (paused_) return;
    // Lines before the change keep their numbers and lines after it move by the change in
    // the line count; the document may report a wider range than it changed, never a
    // narrower one.
    const int count = document_->blockCount();
    const int shift = count - int(lines_.size());
    const int first = document_->findBlock(position).blockNumber();
    const QTextBlock lastBlock = document_->findBlock(position + added);
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : count - 1;
    const int oldLast = last - shift;
    if (first < 0 || last < first || oldLast < first - 1 || oldLast >= lines_.size()) {
        rebuild();
        return;
    }
    replaceLines(first, oldLast, last);
}

QString ScriptLines::englishText() const {
    // The empty text has no lines at all.
    if (lines_.size() == 1 && document_->firstBlock().length() <= 1) return QString();
    QString out;
    out.reserve(englishSize_);
    for (const Line& line : lines_) out += englishOf(line);
    return out;
}

QStringList ScriptLines::functionCalls() const {
    if (headersWithoutBrace_ > 0) return QStringList();
    if (callsStale_) {
        calls_.clear();
        if (linesWithCalls_ > 0)
            for (const Line& line : lines_) calls_ += line.calls;
        callsStale_ = false;
    }
    return calls_;
}
