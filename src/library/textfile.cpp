#include "library/textfile.h"

#include <QFile>
#include <QFileInfo>

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Writes all of bytes to fd, going on after short writes and interruptions.
bool writeAll(int fd, QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

}  // namespace

int (*fileSyncCall)(int) = ::fdatasync;
int (*fileCloseCall)(int) = ::close;

FileReplacement::FileReplacement(const QString& path) {
    if (path.isEmpty()) return;
    QFileInfo info(path);
    if (info.isDir()) return;
    // A file that may not be written stays as it is, even though its folder would let a
    // rename replace it.
    if (info.exists() && !info.isWritable()) return;
    // A link is followed: the file it names is replaced, the link stays.
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
    info = QFileInfo(target);

    finalName_ = QFile::encodeName(target);
    tempName_ = QFile::encodeName(info.absolutePath()) + "/." + QFile::encodeName(info.fileName()) +
                ".XXXXXX";
    fd_ = ::mkstemp(tempName_.data());
    if (fd_ < 0) {
        tempName_.clear();
        return;
    }

    struct stat old {};
    const mode_t mode = ::stat(finalName_.constData(), &old) == 0 ? (old.st_mode & 07777)
                                                                  : (0666 & ~currentUmask());
    // The new file is the old one renewed: it keeps its permissions.
    ok_ = ::fchmod(fd_, mode) == 0;
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0) ::close(fd_);
    if (!tempName_.isEmpty() && !committed_) ::unlink(tempName_.constData());
}

bool FileReplacement::write(QByteArrayView bytes) {
    ok_ = ok_ && writeAll(fd_, bytes);
    return ok_;
}

bool FileReplacement::commit() {
    // Nothing counts as written until the data is on the disk and the file is closed without
    // an error; only then does it take the old file's place.
    if (!ok_ || fileSyncCall(fd_) != 0) return false;
    const int fd = fd_;
    fd_ = -1;
    if (fileCloseCall(fd) != 0) return false;
    committed_ = ::rename(tempName_.constData(), finalName_.constData()) == 0;
    return committed_;
}

bool replaceFileBytes(const QString& path, const QByteArray& bytes) {
    FileReplacement file(path);
    return file.write(bytes) && file.commit();
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
