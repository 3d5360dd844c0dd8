#include "platform/appinit.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace platform {

void prepareApplication() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox")) flags += " --no-sandbox";
        if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
            qgetenv("QT_QPA_PLATFORM") == "offscreen" && !flags.contains("--disable-gpu"))
            flags += " --disable-gpu";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString dir =
            QDir::tempPath() + QStringLiteral("/runtime-") + QString::number(::geteuid());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
    }
}

}  // namespace platform
