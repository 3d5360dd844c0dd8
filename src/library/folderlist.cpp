#include "library/folderlist.h"

#include <QCollator>
#include <QDir>
#include <QLocale>
#include <algorithm>

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

namespace {

bool startsWithHan(const QString& text) {
    if (text.isEmpty()) return false;
    const char32_t first = text.at(0).isHighSurrogate() && text.size() > 1
                               ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                               : char32_t(text.at(0).unicode());
    return QChar::script(first) == QChar::Script_Han;
}

}  // namespace

void sortByName(QList<Entry>& entries) {
    // Chinese collation puts Chinese names first; the desktop's file lists put them after
    // the Latin ones, which also keeps a skin like "default" at the head of the list.
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(entries.begin(), entries.end(), [&collator](const Entry& a, const Entry& b) {
        const bool hanA = startsWithHan(a.text);
        const bool hanB = startsWithHan(b.text);
        if (hanA != hanB) return hanB;
        const int byText = collator.compare(a.text, b.text);
        return byText != 0 ? byText < 0 : a.fileName < b.fileName;
    });
}

QList<Entry> filesWithExtension(const QString& folder, const QString& extension) {
    QList<Entry> out = filesMarked(folder, extension, true);
    out.removeIf([&extension](const Entry& e) { return !e.fileName.endsWith(extension); });
    return out;
}

}  // namespace FolderList
