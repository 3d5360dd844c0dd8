#include "library/folderlist.h"

#include <QDir>

namespace FolderList {

QFileInfoList entries(const QString& folder) {
    if (folder.isEmpty()) return {};
    QFileInfoList out;
    const QFileInfoList all = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& info : all)
        if (info.fileName().toUpper() != QLatin1String("PAGEFILE.SYS")) out << info;
    return out;
}

QStringList subFolders(const QString& folder) {
    QStringList out;
    for (const QFileInfo& info : entries(folder))
        if (info.isDir()) out << info.fileName();
    return out;
}

QList<Entry> filesMarked(const QString& folder, const QString& mark, bool removeMark) {
    QList<Entry> out;
    for (const QFileInfo& info : entries(folder)) {
        // Folders, and entries that cannot be examined (a link to nothing), are no files.
        if (!info.isFile()) continue;
        const QString name = info.fileName();
        if (!name.contains(mark)) continue;
        out.append({removeMark ? QString(name).remove(mark) : name, name});
    }
    return out;
}

QList<Entry> filesWithExtension(const QString& folder, const QString& extension) {
    QList<Entry> out = filesMarked(folder, extension, true);
    out.removeIf([&extension](const Entry& e) { return !e.fileName.endsWith(extension); });
    return out;
}

}  // namespace FolderList
