#pragma once

#include <QFileInfoList>
#include <QList>
#include <QString>
#include <QStringList>

// The one way every window lists a folder: the category folders of the library, the scripts
// of a category, the skins and the boxes. What one window lists, every other lists too.
namespace FolderList {

// The entries of the folder in the order the file system keeps them, nothing sorted. Only
// "." and ".." and an entry named PAGEFILE.SYS in any letter case are left out: hidden
// entries (names beginning with ".") are listed like any other.
QFileInfoList entries(const QString& folder);

// The names of the sub-folders.
QStringList subFolders(const QString& folder);

// A file of a folder as a list shows it.
struct Entry {
    QString text;      // what the list shows
    QString fileName;  // the file it stands for
};

// The files whose name contains mark (case-sensitive). With removeMark every occurrence of
// the mark is taken out of the text shown ("a.txt.txt" shows as "a"), so two entries may
// read the same; each keeps the name of its own file.
QList<Entry> filesMarked(const QString& folder, const QString& mark, bool removeMark);

// The order of the lists a user chooses a skin or a box from, the same in every window: by
// the shown name, letter case aside, numbers by their value ("皮肤2" before "皮肤10"),
// names that begin in Latin letters, digits or signs before those that begin in Chinese,
// which go by their reading (pinyin). Names that sort equal keep the order of their file
// names.
void sortByName(QList<Entry>& entries);

// The files of one kind: those whose name ends with the extension (case-sensitive), never one
// that only holds it inside its name ("a.txt.bak", a temporary ".a.txt.Xy12Zw"). The text
// shown has every occurrence of the extension taken out, as filesMarked's has.
QList<Entry> filesWithExtension(const QString& folder, const QString& extension);

}  // namespace FolderList
