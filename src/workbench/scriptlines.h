#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

class QTextDocument;

// A code view's text kept line by line as the script it stands for: each line of the view
// with its function headers and, for the explain view, its English form. It follows the
// document's changes, so a keystroke costs the lines it touched however long the script is;
// the whole text is joined only when someone asks for it.
class ScriptLines : public QObject {
  public:
    // translated: the view shows Chinese keywords, and each line is translated back.
    ScriptLines(QTextDocument* document, bool translated, QObject* parent = nullptr);

    // While paused, changes are not followed; rebuild reads every line afresh.
    void setPaused(bool paused) { paused_ = paused; }
    void rebuild();
    // The same, from the text just given to the document (setPlainText), which holds it as
    // given with each of its line breaks made a block separator.
    void rebuild(QStringView given);

    // The script with English keywords: what translating the view's whole text back gives
    // (for a view that is not translated, nothing is kept and this is empty).
    QString englishText() const;
    // The function list of the script with English keywords.
    QStringList functionCalls() const;

  private:
    // A line read with the others keeps its English form in bulk_ (at, size), one read on
    // its own in english: a long script is not held as one small text per line.
    struct Line {
        QString english;
        qsizetype at = -1;
        qsizetype size = 0;
        QStringList calls;
        bool headerWithoutBrace = false;
    };
    QStringView englishOf(const Line& line) const {
        return line.at < 0 ? QStringView(line.english)
                           : QStringView(bulk_).sliced(line.at, line.size);
    }

    // viewLine is the text of line blockNumber of the view.
    Line readLine(QStringView viewLine, int blockNumber) const;
    // plain: the line holds no line break nor the symbol of a lone CR. With bulk, the English
    // form is appended to it.
    Line readLine(QStringView viewLine, int blockNumber, bool plain, QString* bulk) const;
    // Reads the lines of text, whose blocks the document separates where text holds a
    // character that starts a new one.
    void readLines(QStringView text);
    // Adds a line to the running totals (sign 1) or takes it out of them (sign -1).
    void count(const Line& line, int sign);
    void contentsChange(int position, int removed, int added);
    void replaceLines(int first, int oldLast, int newLast);

    QTextDocument* document_;
    bool translated_;
    bool paused_ = false;
    QList<Line> lines_;
    QString bulk_;
    qsizetype linesWithCalls_ = 0;
    qsizetype headersWithoutBrace_ = 0;
    qsizetype englishSize_ = 0;
    mutable QStringList calls_;
    mutable bool callsStale_ = true;
};
