#include "library/ini.h"

#include <QFile>
#include <QFileInfo>

#include "library/textfile.h"
#include "platform/core/ansi.h"

namespace {

// Creates a missing file empty and makes it writable by its owner, the counterpart of
// clearing the read-only, hidden and system attributes.
void prepareIniFile(const QString& path) {
    if (path.isEmpty()) return;
    QFileInfo info(path);
    if (!info.exists()) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.close();
        info.refresh();
    }
    if (!info.isFile()) return;
    const QFile::Permissions perms = QFile::permissions(path);
    if (!(perms & QFile::WriteOwner)) QFile::setPermissions(path, perms | QFile::WriteOwner);
}

// The part of line after a lower-case prefix that the lower-cased line begins with.
QString afterLowerPrefix(const QString& line, const QString& lowerLine, qsizetype prefixLen) {
    if (lowerLine.size() == line.size()) return line.mid(prefixLen);
    // Lower-casing changed the length (a few letters map to two characters): find where the
    // prefix ends in the line as read.
    for (qsizetype k = 0; k <= line.size(); ++k)
        if (line.left(k).toLower().size() >= prefixLen) return line.mid(k);
    return {};
}

}  // namespace

namespace INIread {

QString readIniValue(const QString& file, const QString& section, const QString& key) {
    prepareIniFile(file);
    const QString header = "[" + section.toLower() + "]";
    const QString prefix = key.toLower() + "=";
    const QString text = ScriptModule::readTextFile(file);
    bool inSection = false;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1String("\r\n"), start);
        if (end < 0) end = text.size();
        const QString line = text.mid(start, end - start);
        start = end + 2;
        const QString lower = line.toLower();
        const bool bracket = lower.contains(u'[');
        if (bracket) inSection = false;
        if (lower == header) inSection = true;
        if (!bracket && inSection && lower.startsWith(prefix))
            return afterLowerPrefix(line, lower, prefix.size());
    }
    return {};
}

}  // namespace INIread

namespace INIwrite {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

void tidy(QString& t) {
    const QString triple = kCrLf + kCrLf + kCrLf;
    const QString pair = kCrLf + kCrLf;
    while (t.contains(triple)) t.replace(triple, pair);
    qsizetype end = t.size();
    while (end > 0 && t.at(end - 1).unicode() <= 13) --end;
    qsizetype begin = 0;
    while (begin < end && t.at(begin).unicode() <= 13) ++begin;
    t = t.mid(begin, end - begin);
}

}  // namespace

void writeIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value) {
    prepareIniFile(file);
    QByteArray bytes;
    if (!ScriptModule::detail::readFileBytes(file, bytes)) {
        // A file that exists but cannot be read is not rewritten from nothing.
        if (QFileInfo(file).size() != 0) return;
    }
    // Lines end where the reader ends them (CR LF or a lone CR), or a key line the reader
    // sees would not be found here, and every later value would go to a line never read.
    QString t = platform::fromAnsi(ScriptModule::detail::terminateLines(bytes));
    // The tidy at the end drops the control characters before the first line, and a header
    // behind them becomes the first line, the section the reader finds first: the header is
    // looked for where that line will stand. Nothing else is tidied before the key is in: a
    // header on the last line would lose the line end that makes it a header line, and a
    // last line of control characters that the key may still follow would go.
    qsizetype lead = 0;
    while (lead < t.size() && t.at(lead).unicode() <= 13) ++lead;
    t.remove(0, lead);
    t.prepend(kCrLf);
    const QString keyLine = key + "=" + value;

    const QString headerPattern = "\r\n[" + section + "]\r";
    const qsizetype header = t.indexOf(headerPattern, 0, Qt::CaseInsensitive);
    if (header >= 0) {
        // The header line's own line end: its CR and an LF that follows.
        qsizetype body = header + headerPattern.size();
        if (body < t.size() && t.at(body) == u'\n') ++body;
        qsizetype sectionEnd = t.indexOf(u'[', body);
        if (sectionEnd < 0) sectionEnd = t.size();
        // A key line begins after a CR LF, where the reader begins its lines: after a lone LF
        // it would be the middle of a line that the reader never takes for a key line. From
        // the header's own line end on, so the header line itself never counts.
        const qsizetype found = t.indexOf("\r\n" + key + "=", header + 1, Qt::CaseInsensitive);
        if (found >= 0 && found + 2 < sectionEnd) {
            const qsizetype lineStart = found + 2;
            qsizetype lineEnd = t.indexOf(u'\r', lineStart);
            if (lineEnd < 0) lineEnd = t.size();  // the file's last line, without a line end
            t.replace(lineStart, lineEnd - lineStart, keyLine);
        } else {
            t.insert(body, keyLine + kCrLf);
        }
    } else {
        t += kCrLf + kCrLf + "[" + section + "]" + kCrLf + keyLine;
    }

    tidy(t);
    ScriptModule::detail::replaceFileBytes(file, platform::toAnsi(t + kCrLf));
}

}  // namespace INIwrite
