#include "platform/core/programfolder.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

namespace {
QString folder;
}

QString programFolder() {
    if (folder.isEmpty() && QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath();
    return folder;
}

void setProgramFolder(const QString& f) {
    folder = QDir::cleanPath(f);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
}

QString programFile(const QString& relative) {
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.startsWith(QLatin1Char('/'))) rel.remove(0, 1);
    return programFolder() + QLatin1Char('/') + rel;
}

}  // namespace platform
