#pragma once

// writeIniValue spelled out step by step, apart from the writer, for the tests and the INI
// fuzz target to hold it to: what the file holds after the write, from the old file's text
// as readTextFile gives it (every line followed by CR LF).

#include <QByteArray>
#include <QString>

#include "platform/core/ansi.h"

namespace IniModel {

inline QByteArray written(const QString& oldText, const QString& section, const QString& key,
                          const QString& value) {
    const QString crlf = QStringLiteral("\r\n");
    auto isControl = [](QChar c) { return c.unicode() <= 13; };

    // The control characters before the first line go, as the tidy below drops them anyway:
    // the line they led becomes the first.
    qsizetype lead = 0;
    while (lead < oldText.size() && isControl(oldText.at(lead))) ++lead;
    QString t = crlf + oldText.mid(lead);
    const QString keyLine = key + QLatin1Char('=') + value;

    // The header: a whole line "[section]", whatever the letter case.
    const QString headerLine = crlf + QLatin1Char('[') + section + QStringLiteral("]\r");
    const qsizetype header = t.indexOf(headerLine, 0, Qt::CaseInsensitive);
    if (header < 0) {
        // No such section: a new one at the end.
        t += crlf + crlf + QLatin1Char('[') + section + QLatin1Char(']') + crlf + keyLine;
    } else {
        // Past the header line and its LF; the section ends at the next "[".
        const qsizetype body = header + headerLine.size() + 1;
        qsizetype sectionEnd = t.indexOf(QLatin1Char('['), body);
        if (sectionEnd < 0) sectionEnd = t.size();
        // A key line begins after a CR LF, from the header's line end on.
        const qsizetype at =
            t.indexOf(crlf + key + QLatin1Char('='), header + 1, Qt::CaseInsensitive);
        if (at >= 0 && at + 2 < sectionEnd) {
            // The key line, up to its CR, becomes the new one.
            qsizetype lineEnd = t.indexOf(QLatin1Char('\r'), at + 2);
            if (lineEnd < 0) lineEnd = t.size();
            t = t.left(at + 2) + keyLine + t.mid(lineEnd);
        } else {
            // The section's first line.
            t = t.left(body) + keyLine + crlf + t.mid(body);
        }
    }

    // The tidy: at most one empty line in a row, no control characters at either end.
    const QString three = crlf + crlf + crlf;
    while (t.contains(three)) t.replace(three, crlf + crlf);
    while (!t.isEmpty() && isControl(t.back())) t.chop(1);
    while (!t.isEmpty() && isControl(t.front())) t.remove(0, 1);
    return platform::toAnsi(t + crlf);
}

}  // namespace IniModel
