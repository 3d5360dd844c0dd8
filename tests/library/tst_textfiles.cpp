#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <iterator>
#include <random>

#include "library/ini.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"
#include "support/diskfaults.h"
#include "support/inimodel.h"
#include "support/testenv.h"

using INIread::readIniValue;
using INIwrite::writeIniValue;
using ScriptModule::readTextFile;
using ScriptModule::writeTextFile;

namespace {

QByteArray gbk(const QString& text) {
    return platform::toAnsi(text);
}

QStringList folderEntries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class TextFilesTest : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

  private Q_SLOTS:
    void init() {
        for (const QString& entry : folderEntries(dir_.path())) {
            QFile::setPermissions(path(entry), QFile::ReadOwner | QFile::WriteOwner);
            QFileInfo(path(entry)).isDir() ? (void)QDir(path(entry)).removeRecursively()
                                           : (void)QFile::remove(path(entry));
        }
    }

    void readsLinesWithCrLf_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << "a\r\nb\r\n";
        QTest::newRow("lone LF stays in line") << QByteArray("a\nb") << "a\nb\r\n";
        QTest::newRow("lone CR ends line") << QByteArray("a\rb") << "a\r\nb\r\n";
        QTest::newRow("final CR LF kept") << QByteArray("a\r\n") << "a\r\n";
        QTest::newRow("final lone CR") << QByteArray("a\r") << "a\r\n";
        QTest::newRow("final lone LF") << QByteArray("a\n") << "a\n\r\n";
        QTest::newRow("only LF") << QByteArray("\n") << "\n\r\n";
        QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << "\r\n\r\n";
        QTest::newRow("CR before CR LF") << QByteArray("\r\r\n") << "\r\n\r\n";
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << "a\n\r\nb\r\n";
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("gbk") << gbk(QStringLiteral("中文\r\n第二行"))
                             << QStringLiteral("中文\r\n第二行\r\n");
        QTest::newRow("nul bytes") << QByteArray("a\0b\r", 4) << QString::fromLatin1("a\0b\r\n", 5);
    }
    void readsLinesWithCrLf() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QVERIFY(writeBytes(path("in.txt"), bytes));
        QCOMPARE(readTextFile(path("in.txt")), text);
    }

    // Bytes that are no valid GBK still give text, line ends settled, and nothing hangs.
    void readsBinaryAndTruncatedFiles() {
        QByteArray binary;
        for (int i = 0; i < 256; ++i) binary.append(char(i)).append(char(255 - i));
        binary += "\xd6";  // a lead byte cut off by the end of the file
        QVERIFY(writeBytes(path("bin"), binary));
        const QString text = readTextFile(path("bin"));
        QVERIFY(!text.isEmpty());
        QVERIFY(text.endsWith("\r\n"));
        QVERIFY(!text.contains(QRegularExpression("\r(?!\n)")));

        QVERIFY(writeBytes(path("cut"), QByteArray("ab\xd6\r\ncd")));
        const QString cut = readTextFile(path("cut"));
        QVERIFY(cut.startsWith("ab"));
        QVERIFY(cut.endsWith("\r\ncd\r\n"));
    }

    void readFailuresGiveEmptyText() {
        QCOMPARE(readTextFile(path("missing.txt")), QString());
        QCOMPARE(readTextFile(QString()), QString());
        QCOMPARE(readTextFile(dir_.path()), QString());
        QCOMPARE(readTextFile("/dev/zero"), QString());  // never ends
        QVERIFY(mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
        QCOMPARE(readTextFile(path("fifo")), QString());  // would block on open
    }

    void writesTextAndOneCrLf_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "a\r\nb" << QByteArray("a\r\nb\r\n") << "a\r\nb\r\n";
        QTest::newRow("ends in line end") << "a\r\n" << QByteArray("a\r\n\r\n") << "a\r\n\r\n";
        QTest::newRow("empty") << QString() << QByteArray("\r\n") << "\r\n";
        QTest::newRow("gbk") << QStringLiteral("中") << QByteArray("\xd6\xd0\r\n")
                             << QStringLiteral("中\r\n");
        QTest::newRow("outside GBK")
            << QString::fromUtf8("x\xf0\x9f\x98\x80") << QByteArray("x?\r\n") << "x?\r\n";
    }
    void writesTextAndOneCrLf() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, readBack);
        QVERIFY(writeBytes(path("out.txt"), "much longer old content that must go entirely"));
        QVERIFY(writeTextFile(path("out.txt"), text));
        QCOMPARE(readBytes(path("out.txt")), bytes);
        QCOMPARE(readTextFile(path("out.txt")), readBack);
        QCOMPARE(folderEntries(dir_.path()), QStringList{"out.txt"});
    }

    void writeKeepsPermissions() {
        QVERIFY(writeBytes(path("p.txt"), "old"));
        const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(path("p.txt"), perms));
        QVERIFY(writeTextFile(path("p.txt"), "new"));
        QCOMPARE(QFile::permissions(path("p.txt")) & ~(QFile::ReadUser | QFile::WriteUser), perms);
    }

    void writeFailuresReturnFalse() {
        QVERIFY(!writeTextFile(path("no/such/folder/x.txt"), "x"));
        QVERIFY(!QDir(path("no")).exists());
        QVERIFY(writeBytes(path("plain"), "keep"));
        QVERIFY(!writeTextFile(path("plain/x.txt"), "x"));  // parent is a file
        QCOMPARE(readBytes(path("plain")), QByteArray("keep"));
        QVERIFY(QDir().mkdir(path("folder")));
        QVERIFY(!writeTextFile(path("folder"), "x"));
        QVERIFY(QFileInfo(path("folder")).isDir());
        QVERIFY(!writeTextFile(QString(), "x"));
    }

    // A write that fails half-way leaves the old file exactly as it was and no stray file.
    void failedWriteKeepsOldFile() {
        const QByteArray old = "old content\r\n";
        QVERIFY(writeBytes(path("keep.txt"), old));
        {
            FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            QVERIFY(!writeTextFile(path("keep.txt"), QString(100000, 'x')));
        }
        QCOMPARE(readBytes(path("keep.txt")), old);
        QCOMPARE(folderEntries(dir_.path()), QStringList{"keep.txt"});
    }

    // A write whose data cannot be flushed to the disk, or whose file fails to close, is a
    // failed write: the old file stays, no stray file is left, and the caller is told.
    void failedFlushKeepsOldFile_data() {
        QTest::addColumn<int>("step");
        QTest::newRow("fdatasync fails") << int(FailingFlush::Sync);
        QTest::newRow("close fails") << int(FailingFlush::Close);
    }
    void failedFlushKeepsOldFile() {
        QFETCH(int, step);
        const QByteArray old = "old content\r\n";
        QVERIFY(writeBytes(path("keep.txt"), old));
        QVERIFY(writeBytes(path("config.ini"), "[s]\r\nk=1\r\n"));
        {
            FailingFlush failing{FailingFlush::Step(step)};
            QVERIFY(!writeTextFile(path("keep.txt"), "new"));
            QVERIFY(!writeTextFile(path("fresh.txt"), "new"));
            writeIniValue(path("config.ini"), "s", "k", "2");
        }
        QCOMPARE(readBytes(path("keep.txt")), old);
        QCOMPARE(readBytes(path("config.ini")), QByteArray("[s]\r\nk=1\r\n"));
        QCOMPARE(folderEntries(dir_.path()), QStringList({"config.ini", "keep.txt"}));
        // And once the disk behaves, the same writes go through.
        QVERIFY(writeTextFile(path("keep.txt"), "new"));
        QCOMPARE(readBytes(path("keep.txt")), QByteArray("new\r\n"));
    }

    // While a save is under way its temporary file lies beside the target under a name that
    // no list of scripts, skins or boxes takes; once the new file has its name, the folder
    // is flushed, so that the name lasts through a power cut.
    void saveGoesThroughAnUnlistedFileAndFlushesTheFolder() {
        static QString folder;
        static QStringList duringFlush;
        static QByteArray targetAtFolderFlush;
        static bool folderFlushedIsTheTargetsFolder = false;
        folder = dir_.path();
        duringFlush.clear();
        targetAtFolderFlush.clear();
        folderFlushedIsTheTargetsFolder = false;
        QVERIFY(writeBytes(path("a.txt"), "old"));
        ScriptModule::detail::fileSyncCall = [](int fd) {
            duringFlush = folderEntries(folder);
            return ::fdatasync(fd);
        };
        ScriptModule::detail::folderSyncCall = [](int fd) {
            struct stat flushed {
            }, wanted{};
            folderFlushedIsTheTargetsFolder =
                ::fstat(fd, &flushed) == 0 &&
                ::stat(QFile::encodeName(folder).constData(), &wanted) == 0 &&
                flushed.st_ino == wanted.st_ino && flushed.st_dev == wanted.st_dev;
            targetAtFolderFlush = readBytes(folder + "/a.txt");
            return ::fsync(fd);
        };
        const bool written = writeTextFile(path("a.txt"), "new");
        ScriptModule::detail::fileSyncCall = ::fdatasync;
        ScriptModule::detail::folderSyncCall = ::fsync;
        QVERIFY(written);

        QCOMPARE(duringFlush.size(), 2);
        const QString temporary = duringFlush.at(duringFlush.at(0) == "a.txt" ? 1 : 0);
        QVERIFY2(ScriptModule::detail::isTemporaryFileName(temporary), qPrintable(temporary));
        for (const char* ext : {".txt", ".skin", ".tvb", ".ini"})
            QVERIFY2(!temporary.contains(QLatin1String(ext)), qPrintable(temporary));
        QVERIFY(folderFlushedIsTheTargetsFolder);
        QCOMPARE(targetAtFolderFlush, QByteArray("new\r\n"));
        QCOMPARE(folderEntries(dir_.path()), QStringList{"a.txt"});
    }

    // What saves cut short left behind goes at the next start; a save under way, and every
    // file that only looks alike, stays.
    void staleTemporaryFilesAreRemoved() {
        const QStringList stale = {".tolvar-save-Ab12Cd",
                                   ".a.txt.Xy12Zw",
                                   ".config.ini.000000",
                                   ".skin.htm.qwErty",
                                   ".upload.tmp.AAAAAA",
                                   ".b.tvb.z9z9z9",
                                   QStringLiteral(".中文.txt.k2k2k2")};
        const QStringList kept = {
            ".tolvar-save-Fresh1", "a.txt",         ".a.txt",      ".a.txt.Xy12Z",
            ".a.txt.Xy12Zw7",      ".a.doc.Xy12Zw", ".txt.Xy12Zw", ".tolvar-save-Ab-2Cd",
            "tolvar-save-Ab12Cd"};
        const QDateTime old = QDateTime::currentDateTime().addSecs(-120);
        for (const QString& name : stale + kept) {
            QVERIFY(writeBytes(path(name), "x"));
            if (name == ".tolvar-save-Fresh1") continue;
            QFile f(path(name));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QVERIFY(QDir().mkpath(path("sub")));
        QVERIFY(writeBytes(path("sub/.tolvar-save-Ab12Cd"), "x"));

        QCOMPARE(ScriptModule::removeStaleTemporaryFiles(dir_.path()), int(stale.size()));
        QStringList left = kept;
        left << "sub";
        left.sort();
        QCOMPARE(folderEntries(dir_.path()), left);
        QVERIFY(QFile::exists(path("sub/.tolvar-save-Ab12Cd")));
        QCOMPARE(ScriptModule::removeStaleTemporaryFiles(path("missing")), 0);
    }

    // A link is followed: the file it names gets the text and the link stays a link.
    void writeThroughALink() {
        QVERIFY(writeBytes(path("real.txt"), "old"));
        QVERIFY(QFile::link(path("real.txt"), path("link.txt")));
        QVERIFY(writeTextFile(path("link.txt"), "new"));
        QVERIFY(QFileInfo(path("link.txt")).isSymLink());
        QCOMPARE(readBytes(path("real.txt")), QByteArray("new\r\n"));
    }

    void readsIniValue_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("case-insensitive") << QByteArray("[save]\r\nDefaultScript=x\r\n") << "Save"
                                          << "defaultscript"
                                          << "x";
        QTest::newRow("upper-case header") << QByteArray("[SAVE]\r\nkey=v\r\n") << "save"
                                           << "KEY"
                                           << "v";
        QTest::newRow("value keeps case and spaces")
            << QByteArray("[s]\r\nk= Mixed Case \t\r\n") << "s"
            << "k"
            << " Mixed Case \t";
        QTest::newRow("value with =") << QByteArray("[s]\r\nk=a=b") << "s"
                                      << "k"
                                      << "a=b";
        QTest::newRow("header with trailing space") << QByteArray("[s] \r\nk=v\r\n") << "s"
                                                    << "k"
                                                    << "";
        QTest::newRow("header with leading space") << QByteArray(" [s]\r\nk=v\r\n") << "s"
                                                   << "k"
                                                   << "";
        QTest::newRow("space before =") << QByteArray("[s]\r\nk =v\r\n") << "s"
                                        << "k"
                                        << "";
        QTest::newRow("space before key") << QByteArray("[s]\r\n k=v\r\n") << "s"
                                          << "k"
                                          << "";
        QTest::newRow("longer key") << QByteArray("[s]\r\nkey2=v\r\n") << "s"
                                    << "key"
                                    << "";
        QTest::newRow("key before any header") << QByteArray("k=v\r\n[s]\r\n") << "s"
                                               << "k"
                                               << "";
        QTest::newRow("other section") << QByteArray("[t]\r\nk=v\r\n") << "s"
                                       << "k"
                                       << "";
        QTest::newRow("next header ends section") << QByteArray("[s]\r\n[t]\r\nk=v\r\n") << "s"
                                                  << "k"
                                                  << "";
        QTest::newRow("bracket in a value ends section")
            << QByteArray("[s]\r\na=[x]\r\nk=v\r\n") << "s"
            << "k"
            << "";
        QTest::newRow("bracket line is no key line") << QByteArray("[s]\r\na=[x]\r\n") << "s"
                                                     << "a"
                                                     << "";
        QTest::newRow("first match wins") << QByteArray("[s]\r\nk=1\r\nk=2\r\n") << "s"
                                          << "k"
                                          << "1";
        QTest::newRow("header reappears")
            << QByteArray("[s]\r\n[t]\r\nk=1\r\n[s]\r\nk=2\r\n") << "s"
            << "k"
            << "2";
        QTest::newRow("empty value") << QByteArray("[s]\r\nk=\r\nk=2\r\n") << "s"
                                     << "k"
                                     << "";
        QTest::newRow("lone CR ends lines") << QByteArray("[s]\rk=v\r") << "s"
                                            << "k"
                                            << "v";
        QTest::newRow("lone LF stays in value") << QByteArray("[s]\r\nk=a\nb\r\n") << "s"
                                                << "k"
                                                << "a\nb";
        QTest::newRow("LF-only file is one line") << QByteArray("[s]\nk=v\n") << "s"
                                                  << "k"
                                                  << "";
        QTest::newRow("gbk") << gbk(QStringLiteral("[盒子]\r\n名称=中文值\r\n"))
                             << QStringLiteral("盒子") << QStringLiteral("名称")
                             << QStringLiteral("中文值");
        QTest::newRow("empty file") << QByteArray() << "s"
                                    << "k"
                                    << "";
    }
    void readsIniValue() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QVERIFY(writeBytes(path("config.ini"), bytes));
        QCOMPARE(readIniValue(path("config.ini"), section, key), value);
        QCOMPARE(readBytes(path("config.ini")), bytes);
    }

    void readIniCreatesMissingFileAndClearsReadOnly() {
        QCOMPARE(readIniValue(path("config.ini"), "save", "k"), QString());
        QVERIFY(QFileInfo(path("config.ini")).isFile());
        QCOMPARE(QFileInfo(path("config.ini")).size(), 0);

        QVERIFY(writeBytes(path("ro.ini"), "[s]\r\nk=v\r\n"));
        QVERIFY(QFile::setPermissions(path("ro.ini"), QFile::ReadOwner));
        QCOMPARE(readIniValue(path("ro.ini"), "s", "k"), QStringLiteral("v"));
        QVERIFY(QFile::permissions(path("ro.ini")) & QFile::WriteOwner);

        QCOMPARE(readIniValue(path("nofolder/config.ini"), "s", "k"), QString());
        QVERIFY(!QDir(path("nofolder")).exists());
    }

    void writesIniValue_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("empty file") << QByteArray() << "save"
                                    << "box"
                                    << "a.tvb" << QByteArray("[save]\r\nbox=a.tvb\r\n");
        QTest::newRow("new section appended")
            << QByteArray("[a]\r\nx=1\r\n") << "b"
            << "k"
            << "v" << QByteArray("[a]\r\nx=1\r\n\r\n[b]\r\nk=v\r\n");
        QTest::newRow("key in another section only")
            << QByteArray("[a]\r\nk=1\r\n[b]\r\nx=2\r\n") << "b"
            << "k"
            << "v" << QByteArray("[a]\r\nk=1\r\n[b]\r\nk=v\r\nx=2\r\n");
        QTest::newRow("key in a later section only")
            << QByteArray("[b]\r\nx=2\r\n[a]\r\nk=1\r\n") << "b"
            << "k"
            << "v" << QByteArray("[b]\r\nk=v\r\nx=2\r\n[a]\r\nk=1\r\n");
        QTest::newRow("replace keeps neighbours")
            << QByteArray("[s]\r\na=1\r\nk=old\r\nb=2\r\n") << "s"
            << "k"
            << "new" << QByteArray("[s]\r\na=1\r\nk=new\r\nb=2\r\n");
        QTest::newRow("runs of line ends collapse")
            << QByteArray("\r\n\r\n[s]\r\na=1\r\n\r\n\r\n\r\nk=old\r\n\r\n\r\nb=2\r\n\r\n\r\n")
            << "s"
            << "k"
            << "new" << QByteArray("[s]\r\na=1\r\n\r\nk=new\r\n\r\nb=2\r\n");
        QTest::newRow("control characters trimmed at both ends")
            << QByteArray("\t\x01\r\n[s]\r\nk=1\r\n\t\r\n\x0b") << "s"
            << "k"
            << "v" << QByteArray("[s]\r\nk=v\r\n");
        QTest::newRow("caller's spelling of an existing key")
            << QByteArray("[SAVE]\r\nDEFAULTSCRIPT=a\r\n") << "save"
            << "DefaultScript"
            << "b" << QByteArray("[SAVE]\r\nDefaultScript=b\r\n");
        QTest::newRow("caller's spelling of a new section")
            << QByteArray("[a]\r\nk=1\r\n") << "Save"
            << "Box"
            << "B" << QByteArray("[a]\r\nk=1\r\n\r\n[Save]\r\nBox=B\r\n");
        QTest::newRow("last line without line end")
            << QByteArray("[s]\r\na=1\r\nk=old") << "s"
            << "k"
            << "new" << QByteArray("[s]\r\na=1\r\nk=new\r\n");
        QTest::newRow("header with trailing space is another section")
            << QByteArray("[s] \r\nk=1\r\n") << "s"
            << "k"
            << "v" << QByteArray("[s] \r\nk=1\r\n\r\n[s]\r\nk=v\r\n");
        QTest::newRow("bracket in a value ends section")
            << QByteArray("[s]\r\na=[x]\r\nk=1\r\n") << "s"
            << "k"
            << "v" << QByteArray("[s]\r\nk=v\r\na=[x]\r\nk=1\r\n");
        QTest::newRow("empty value") << QByteArray("[s]\r\nk=1\r\n") << "s"
                                     << "k"
                                     << "" << QByteArray("[s]\r\nk=\r\n");
        // The key goes under the header that ends the file, and the rest stays as it was.
        QTest::newRow("header is the last line, with its line end")
            << QByteArray("[save]\r\n") << "save"
            << "DefaultScript"
            << "a.tvb" << QByteArray("[save]\r\nDefaultScript=a.tvb\r\n");
        QTest::newRow("LF-only file keeps its line ends")
            << QByteArray("[tolvar]\nflag=0\n") << "tolvar"
            << "version"
            << "3.0" << QByteArray("[tolvar]\nflag=0\n\r\n\r\n[tolvar]\r\nversion=3.0\r\n");
        QTest::newRow("last line of a tab before a new section")
            << QByteArray("[a]\r\nx=1\r\n\t\r\n") << "b"
            << "k"
            << "v" << QByteArray("[a]\r\nx=1\r\n\t\r\n\r\n[b]\r\nk=v\r\n");
        QTest::newRow("gbk") << gbk(QStringLiteral("[save]\r\nbox=旧\r\n")) << "save"
                             << "box" << QStringLiteral("新盒子")
                             << gbk(QStringLiteral("[save]\r\nbox=新盒子\r\n"));

        // Texts far beyond 16-bit positions: a key near the end and a section near the end.
        QByteArray filler;
        for (int i = 0; filler.size() < 40000; ++i)
            filler += "line" + QByteArray::number(i) + "=x\r\n";
        QTest::newRow("long file, replace") << "[other]\r\n" + filler + "[s]\r\nk=old\r\n"
                                            << "s"
                                            << "k"
                                            << "new"
                                            << "[other]\r\n" + filler + "[s]\r\nk=new\r\n";
        QTest::newRow("long file, insert") << "[other]\r\n" + filler + "[s]\r\nz=1"
                                           << "s"
                                           << "k"
                                           << "v"
                                           << "[other]\r\n" + filler + "[s]\r\nk=v\r\nz=1\r\n";
        QTest::newRow("long file, append") << "[other]\r\n" + filler << "s"
                                           << "k"
                                           << "v"
                                           << "[other]\r\n" + filler + "\r\n[s]\r\nk=v\r\n";
    }
    void writesIniValue() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(writeBytes(path("config.ini"), before));
        writeIniValue(path("config.ini"), section, key, value);
        QCOMPARE(readBytes(path("config.ini")), after);
        QCOMPARE(readIniValue(path("config.ini"), section, key), value);
        QCOMPARE(folderEntries(dir_.path()), QStringList{"config.ini"});
        writeIniValue(path("config.ini"), section, key, value);
        QCOMPARE(readBytes(path("config.ini")), after);
    }

    // Whatever the file held, the value written is the value read and the file is tidy.
    void writtenValueReadsBack_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("header is last line") << QByteArray("[s]");
        QTest::newRow("lone CR lines") << QByteArray("[s]\rk=1\r");
        QTest::newRow("LF-only file") << QByteArray("[s]\nk=1\n");
        QTest::newRow("binary") << QByteArray("\x81\x00[s]\r\xff\r\n[s]\r\nk", 15);
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n\r\n\r\n");
        QTest::newRow("key with lone LF") << QByteArray("[s]\r\nk=a\nb=2\r\nc=3\r\n");
        QTest::newRow("key after a lone LF") << QByteArray("[s]\r\n\nk=1\r\n");
        QTest::newRow("key after a lone LF inside a line") << QByteArray("[s]\r\nx\nk=1\r\n");
        // Tidying drops them, and the section it leaves first is the one the reader finds.
        QTest::newRow("control characters before the first header") << QByteArray("\x02[s]\rk=w");
        QTest::newRow("control characters and line ends before the first header")
            << QByteArray("\r\n\x01\t[s]\r\nk=w\r\n");
    }
    void writtenValueReadsBack() {
        QFETCH(QByteArray, before);
        QVERIFY(writeBytes(path("config.ini"), before));
        writeIniValue(path("config.ini"), "S", "K", "value");
        QCOMPARE(readIniValue(path("config.ini"), "s", "k"), QStringLiteral("value"));
        const QByteArray once = readBytes(path("config.ini"));
        QVERIFY(once.endsWith("\r\n") && !once.endsWith("\r\n\r\n"));
        QVERIFY(!once.contains("\r\n\r\n\r\n"));
    }

    // The player stores its box at every opening: each value written to a file whose lines
    // end in a lone CR must be the one read next.
    void successiveValuesReadBack_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("lone CR lines") << QByteArray("[save]\rDefaultScript=a\rOther=1\r");
        QTest::newRow("lone CR, key last") << QByteArray("[save]\rOther=1\rDefaultScript=a");
        QTest::newRow("mixed line ends") << QByteArray("[x]\r\ny=1\r[save]\rDefaultScript=a\r\n");
        QTest::newRow("CR LF lines") << QByteArray("[save]\r\nDefaultScript=a\r\n");
    }
    void successiveValuesReadBack() {
        QFETCH(QByteArray, before);
        QVERIFY(writeBytes(path("config.ini"), before));
        for (const char* value : {"b", "c", "d"}) {
            writeIniValue(path("config.ini"), "save", "DefaultScript", value);
            QCOMPARE(readIniValue(path("config.ini"), "save", "DefaultScript"),
                     QString::fromLatin1(value));
            // One key line, never a second one beside the first.
            QCOMPARE(readBytes(path("config.ini")).count("DefaultScript="), 1);
        }
        if (before.contains("Other"))
            QCOMPARE(readIniValue(path("config.ini"), "save", "Other"), "1");
        if (before.contains("[x]")) QCOMPARE(readIniValue(path("config.ini"), "x", "y"), "1");
    }

    // Generated files of headers, key lines and stray lines with every kind of line end: the
    // file written is the one the writer's steps, spelled out apart from it, give, and the
    // value written is the value read.
    void writtenFileFollowsTheSteps() {
        const QStringList lines = {"[save]",
                                   "[SAVE]",
                                   "[tolvar]",
                                   "[other]",
                                   "[save] ",
                                   " [save]",
                                   "x[save]",
                                   "DefaultScript=a",
                                   "defaultscript=b",
                                   "DefaultScript =c",
                                   "flag=0",
                                   "version=3.0",
                                   "a=[x]",
                                   "",
                                   "\t",
                                   "\x01",
                                   "\x0b",
                                   "名称=中文"};
        const QStringList ends = {"\r\n", "\r\n", "\n", "\r"};
        const QStringList leads = {"", "", "\r\n", "\x02", "\t\r\n"};
        struct Target {
            const char* section;
            const char* key;
        };
        const Target targets[] = {
            {"save", "DefaultScript"}, {"SAVE", "defaultscript"}, {"tolvar", "version"}};
        std::mt19937 random(20261210);
        auto pick = [&random](const auto& list) {
            return list[std::uniform_int_distribution<int>(0, int(std::size(list)) - 1)(random)];
        };
        int headerLast = 0, lfOnly = 0;
        for (int round = 0; round < 1500; ++round) {
            QString text = pick(leads);
            const int count = std::uniform_int_distribution<int>(0, 5)(random);
            for (int i = 0; i < count; ++i) {
                text += pick(lines);
                // The last line may go without a line end.
                if (i + 1 < count || random() % 4 != 0) text += pick(ends);
            }
            const Target target = pick(targets);
            const QString section = QString::fromLatin1(target.section);
            const QString key = QString::fromLatin1(target.key);
            const QString value = round % 7 == 0 ? QStringLiteral("新值") : QString::number(round);
            const QByteArray before = gbk(text);
            if (before.endsWith("]\r\n")) ++headerLast;
            if (before.contains('\n') && !before.contains('\r')) ++lfOnly;

            QVERIFY(writeBytes(path("config.ini"), before));
            const QByteArray expected =
                IniModel::written(readTextFile(path("config.ini")), section, key, value);
            writeIniValue(path("config.ini"), section, key, value);
            const QByteArray after = readBytes(path("config.ini"));
            QVERIFY2(
                after == expected,
                qPrintable(QString("%1 %2/%3:\n%4\nwritten\n%5\nnot\n%6")
                               .arg(round)
                               .arg(section, key, QString::fromLatin1(before.toPercentEncoding()),
                                    QString::fromLatin1(after.toPercentEncoding()),
                                    QString::fromLatin1(expected.toPercentEncoding()))));
            QCOMPARE(readIniValue(path("config.ini"), section, key), value);
        }
        // The generated files hold both kinds the writer once got wrong, many times over.
        QVERIFY(headerLast > 20);
        QVERIFY(lfOnly > 20);
    }

    void writeIniCreatesFileButNoFolder() {
        writeIniValue(path("new.ini"), "save", "k", "v");
        QCOMPARE(readBytes(path("new.ini")), QByteArray("[save]\r\nk=v\r\n"));
        writeIniValue(path("nofolder/new.ini"), "save", "k", "v");
        QVERIFY(!QDir(path("nofolder")).exists());
    }

    void failedIniRewriteKeepsOldFile() {
        QByteArray old = "[s]\r\nk=1\r\n";
        QVERIFY(writeBytes(path("config.ini"), old));
        {
            FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            writeIniValue(path("config.ini"), "s", "k", QString(100000, 'v'));
        }
        QCOMPARE(readBytes(path("config.ini")), old);
        QCOMPARE(folderEntries(dir_.path()), QStringList{"config.ini"});
    }
};

SUITE_TEST_MAIN(TextFilesTest)
#include "tst_textfiles.moc"
