#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace ScriptModule {

// The whole text of an ANSI (GBK) file, every line followed by CR LF. A line ends at CR LF
// or at a lone CR; a lone LF stays inside its line. Any failure gives the empty text.
QString readTextFile(const QString& path);

// Replaces the file with the text and one CR LF, in ANSI. The old file stays whole unless
// the new one was written completely; false when the file could not be written.
bool writeTextFile(const QString& path, const QString& text);

// Removes from the folder (not its sub-folders) what saves cut short by a crash or a power
// cut left behind: the temporary files of FileReplacement that nothing has written to for a
// minute, so that a save under way in another running program is left alone. Also those of
// earlier versions, named "." + the target's name + "." + six letters and digits, for
// targets ending in ".txt", ".ini", ".htm", ".tmp" or ".tvb". Returns how many went.
int removeStaleTemporaryFiles(const QString& folder);

namespace detail {

// Files larger than this are not read: no file of the system comes near it, and reading
// one whole would only exhaust memory.
constexpr qint64 kMaxReadBytes = qint64(256) * 1024 * 1024;

// The file's bytes exactly as stored; false for a missing or unreadable file, anything
// other than a regular file, or one larger than kMaxReadBytes.
bool readFileBytes(const QString& path, QByteArray& bytes);

// Writes the bytes to a temporary file beside the target and renames it over the target,
// then flushes the folder, so that the new name is on the disk too. A failure to write, to
// flush the data to the disk or to close the file is a failure: the target stays as it was
// and the temporary file is removed. The temporary file's name, ".tolvar-save-" and six
// letters and digits, holds no extension, so that no list of scripts, skins or boxes shows it.
bool replaceFileBytes(const QString& path, const QByteArray& bytes);

// The same, for content written a piece at a time: the pieces go to the temporary file, and
// commit puts it in the target's place. Without a successful commit the target stays as it
// was and the temporary file is removed.
class FileReplacement {
  public:
    explicit FileReplacement(const QString& path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False once any step has failed.
    bool write(QByteArrayView bytes);
    bool commit();

  private:
    QByteArray finalName_;
    QByteArray tempName_;
    int fd_ = -1;
    bool ok_ = false;
    bool committed_ = false;
};

// The calls that flush and close the new file (fdatasync and close) and flush its folder
// after the rename (fsync). Tests put calls in their place that fail the way a full or
// failing disk makes them fail, or that note when they run.
extern int (*fileSyncCall)(int fd);
extern int (*fileCloseCall)(int fd);
extern int (*folderSyncCall)(int fd);

// Whether a file name is one that FileReplacement gives its temporary files.
bool isTemporaryFileName(const QString& name);

// Every lone CR becomes CR LF and a missing final line end is added.
QByteArray terminateLines(const QByteArray& bytes);

}  // namespace detail

}  // namespace ScriptModule
