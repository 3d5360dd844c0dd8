#include "workbench/scriptlines.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "library/scriptfunctions.h"
#include "library/translate.h"
#include "workbench/scripteditpanel.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}  // namespace

ScriptLines::ScriptLines(QTextDocument* document, bool translated, QObject* parent)
    : QObject(parent), document_(document), translated_(translated) {
    connect(document_, &QTextDocument::contentsChange, this, &ScriptLines::contentsChange);
    rebuild();
}

ScriptLines::Line ScriptLines::readLine(QStringView viewLine) const {
    Line line;
    // Most lines read as they are shown; the others stand for a script line with a lone CR
    // or for several script lines (a line separator pasted in).
    const bool plain = std::none_of(viewLine.begin(), viewLine.end(), [](QChar c) {
        return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator || c == ScriptEditPanel::kLoneCrMark;
    });
    if (!translated_) {
        line.headerWithoutBrace =
            plain ? !ScriptModule::scanScriptFunctions(viewLine, line.calls)
                  : !ScriptModule::scanScriptFunctions(
                        ScriptEditPanel::textFromView(viewLine.toString()), line.calls);
        return line;
    }
    if (plain) {
        line.english.reserve(viewLine.size() + viewLine.size() / 2 + 2);
        TranslateModule::appendLineCn2En(line.english, viewLine);
        line.english += kCrLf;
    } else {
        const QString text = ScriptEditPanel::textFromView(viewLine.toString());
        line.english = TranslateModule::translateScript(text, "cn2en");
    }
    line.headerWithoutBrace = !ScriptModule::scanScriptFunctions(line.english, line.calls);
    return line;
}

void ScriptLines::rebuild() {
    lines_.clear();
    linesWithCalls_ = headersWithoutBrace_ = englishSize_ = 0;
    callsStale_ = true;
    // Read from the whole text at once: going block by block costs several times as much
    // when a long script is put in.
    const QString raw = document_->toRawText();
    const QList<QStringView> viewLines = QStringView(raw).split(QChar::ParagraphSeparator);
    if (viewLines.size() != document_->blockCount()) {
        replaceLines(0, -1, document_->blockCount() - 1);
        return;
    }
    lines_.reserve(viewLines.size());
    for (const QStringView viewLine : viewLines) {
        Line line = readLine(viewLine);
        count(line, 1);
        lines_.append(std::move(line));
    }
}

void ScriptLines::count(const Line& line, int sign) {
    linesWithCalls_ += sign * !line.calls.isEmpty();
    headersWithoutBrace_ += sign * line.headerWithoutBrace;
    englishSize_ += sign * line.english.size();
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
        Line line = readLine(block.text());
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
    for (const Line& line : lines_) out += line.english;
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
