#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Keyword substitution between the written form of a script (English keywords) and the
// explain view (Chinese keywords). Plain text substitution: nothing parses JavaScript.
namespace TranslateModule {

// The pair lines of keyword.db ("Chinese=English"), whole and in file order; empty until
// loadKeywords runs.
QStringList& keywordPairs();

// Rebuilds keywordPairs from keyword.db in the program folder; a missing file gives no pairs.
void loadKeywords();

// direction "en2cn" (written form to explain view) or "cn2en" (back). Every line of the
// result ends in CR LF, the last one included; the empty text stays empty. Any other
// direction leaves the lines as they are (still each followed by CR LF).
QString translateScript(const QString& text, const QString& direction);

QString translateLineEn2Cn(const QString& line);
QString translateLineCn2En(const QString& line);
// The same, the translation appended to out: for callers that build a text line by line.
void appendLineEn2Cn(QString& out, QStringView line);
void appendLineCn2En(QString& out, QStringView line);

}  // namespace TranslateModule
