#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include "platform/appinit.h"
#include "platform/core/programfolder.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

void prepareTestEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char* f : {"--no-sandbox", "--disable-gpu", "--disable-background-networking",
                          "--disable-component-update"})
        if (!flags.contains(f)) flags += QByteArray(" ") + f;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    platform::prepareApplication();
}

void finishTestEnvironment() {
    platform::installTranslations();
    platform::setDialogsAutomatic(true);
    platform::holdBackSystemBrowserForTest(true);
}

QString sourceDataFolder(const QString& program) {
    return QStringLiteral(SUITE_SOURCE_DIR) + "/data/" + program;
}

static void copyTree(const QString& from, const QString& to) {
    QDir src(from);
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + "/" + src.relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

TestProgramFolder::TestProgramFolder(const QString& program) {
    if (!program.isEmpty()) copyTree(sourceDataFolder(program), dir_.path());
    platform::setProgramFolder(dir_.path());
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}
