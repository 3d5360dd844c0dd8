#include "platform/appinit.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace platform {

void prepareApplication() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The browser engine starts in the default locale's language.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
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

int installTranslations(const QString& folder) {
    auto* app = QCoreApplication::instance();
    if (!app) return 0;
    const QString dir =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    int loaded = 0;
    for (const char* catalog : {"qtbase", "qtwebengine"}) {
        auto* translator = new QTranslator(app);
        if (translator->load(QString::fromLatin1(catalog) + QStringLiteral("_zh_CN"), dir) &&
            QCoreApplication::installTranslator(translator)) {
            ++loaded;
        } else {
            delete translator;
        }
    }
    return loaded;
}

QString acceptLanguage() {
    return QStringLiteral("zh-CN,zh");
}

}  // namespace platform
