#include "library/textfile.h"

#include <QDateTime>
#include <QDir>
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
int (*folderSyncCall)(int) = ::fsync;

namespace {

const QString kTemporaryPrefix = QStringLiteral(".tolvar-save-");
constexpr int kTemporaryRandomChars = 6;  // what mkstemp puts in place of "XXXXXX"

bool isRandomPart(QStringView part) {
    if (part.size() != kTemporaryRandomChars) return false;
    for (QChar c : part)
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) return false;
    return true;
}

// ".<target>.XXXXXX", as the temporary files were named before they carried no extension.
bool isEarlierTemporaryFileName(const QString& name) {
    if (!name.startsWith(u'.') || name.size() < kTemporaryRandomChars + 3) return false;
    const qsizetype dot = name.size() - kTemporaryRandomChars - 1;
    if (name.at(dot) != u'.' || !isRandomPart(QStringView(name).mid(dot + 1))) return false;
    const QStringView target = QStringView(name).mid(1, dot - 1);
    for (const char* ext : {".txt", ".ini", ".htm", ".tmp", ".tvb"})
        if (target.size() > 4 && target.endsWith(QLatin1String(ext))) return true;
    return false;
}

// Makes a rename in the folder last: without it a power cut may bring back the old name.
void syncFolder(const QByteArray& file) {
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? file.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The file is in its place whatever the folder's flush says; a failure here cannot be
    // undone, only the next flush of the disk can still make it last.
    folderSyncCall(fd);
    ::close(fd);
}

}  // namespace

bool isTemporaryFileName(const QString& name) {
    return name.startsWith(kTemporaryPrefix) &&
           name.size() == kTemporaryPrefix.size() + kTemporaryRandomChars &&
           isRandomPart(QStringView(name).mid(kTemporaryPrefix.size()));
}

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
    tempName_ =
        QFile::encodeName(info.absolutePath() + QLatin1Char('/') + kTemporaryPrefix) + "XXXXXX";
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
    if (committed_) syncFolder(finalName_);
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

int removeStaleTemporaryFiles(const QString& folder) {
    if (folder.isEmpty()) return 0;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-60);
    int removed = 0;
    // Every such name begins with ".": a library of many scripts is not examined file by file.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        {QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& info : entries) {
        const QString name = info.fileName();
        if (!detail::isTemporaryFileName(name) && !detail::isEarlierTemporaryFileName(name))
            continue;
        if (info.isSymLink() || info.lastModified().toUTC() > before) continue;
        if (QFile::remove(info.filePath())) ++removed;
    }
    return removed;
}

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
