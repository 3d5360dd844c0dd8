#pragma once

// What every fuzz target shares: the input as bytes or text, a scratch program folder for the
// file-based parsers, and a check that stops the run with a finding.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/core/programfolder.h"

namespace fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A folder of its own for the whole run, which is also the program folder; in memory where
// the system has a memory file system, since every input writes files.
inline QString scratch() {
    static QTemporaryDir dir(QFile::exists(QStringLiteral("/dev/shm"))
                                 ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    static const bool set = (platform::setProgramFolder(dir.path()), true);
    (void)set;
    return dir.path();
}

inline QString scratchFile(const QString& name) {
    return scratch() + QLatin1Char('/') + name;
}

inline void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(content);
}

// A finding: the message goes to stderr and libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "\n==== check failed: %s\n%s\n", what, detail.toUtf8().constData());
    std::fflush(stderr);
    std::abort();
}

// The input cut at NUL bytes into at most n parts; missing parts are empty.
inline QList<QByteArray> split(const QByteArray& input, int n) {
    QList<QByteArray> parts;
    qsizetype start = 0;
    while (parts.size() < n - 1) {
        const qsizetype nul = input.indexOf('\0', start);
        if (nul < 0) break;
        parts.append(input.mid(start, nul - start));
        start = nul + 1;
    }
    parts.append(input.mid(start));
    while (parts.size() < n) parts.append(QByteArray());
    return parts;
}

}  // namespace fuzz
