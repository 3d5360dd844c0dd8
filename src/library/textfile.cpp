#include "library/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/core/ansi.h"

namespace ScriptModule {
namespace detail {

bool readFileBytes(const QString& path, QByteArray& bytes) {
    bytes.clear();
    if (path.isEmpty()) return false;
    // Devices and pipes are refused before opening: they can block or never end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxReadBytes) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QByteArray data;
    data.reserve(qsizetype(info.size()));
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = file.read(buffer, sizeof buffer);
        if (got < 0) return false;
        if (got == 0) break;
        if (data.size() + got > kMaxReadBytes) return false;
        data.append(buffer, qsizetype(got));
    }
    bytes = std::move(data);
    return true;
}

bool replaceFileBytes(const QString& path, const QByteArray& bytes) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    if (info.isDir()) return false;
    // A file that may not be written stays as it is, even though its folder would let a
    // rename replace it.
    if (info.exists() && !info.isWritable()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray terminateLines(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    if (n == 0) return {};
    const char* s = bytes.constData();
    qsizetype loneCr = 0;
    for (qsizetype i = 0; i < n; ++i)
        if (s[i] == '\r' && (i + 1 == n || s[i + 1] != '\n')) ++loneCr;
    const bool open = s[n - 1] != '\r' && s[n - 1] != '\n';
    const bool endsInLf = s[n - 1] == '\n' && (n < 2 || s[n - 2] != '\r');
    const bool addEnd = open || endsInLf;
    if (loneCr == 0 && !addEnd) return bytes;

    QByteArray out(n + loneCr + (addEnd ? 2 : 0), Qt::Uninitialized);
    char* o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        *o++ = s[i];
        if (s[i] == '\r' && (i + 1 == n || s[i + 1] != '\n')) *o++ = '\n';
    }
    if (addEnd) {
        *o++ = '\r';
        *o++ = '\n';
    }
    return out;
}

}  // namespace detail

QString readTextFile(const QString& path) {
    QByteArray bytes;
    if (!detail::readFileBytes(path, bytes)) return {};
    // CR and LF are never part of a GBK double-byte character, so line ends can be settled
    // on the bytes before the conversion.
    return platform::fromAnsi(detail::terminateLines(bytes));
}

bool writeTextFile(const QString& path, const QString& text) {
    QByteArray bytes = platform::toAnsi(text);
    bytes.append("\r\n", 2);
    return detail::replaceFileBytes(path, bytes);
}

}  // namespace ScriptModule
