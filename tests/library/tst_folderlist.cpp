#include <QApplication>
#include <QDir>

#include "library/folderlist.h"
#include "support/testenv.h"

namespace {

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

}  // namespace

// The listing rule every window shares: only ".", ".." and PAGEFILE.SYS are left out.
class FolderListTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void entriesSkipOnlyTheDotsAndThePagingFile() {
        TestProgramFolder folder;
        QDir root(folder.path());
        for (const char* d : {"cat", ".drafts", "PageFile.Sys", "x.txt"}) root.mkpath(d);
        for (const char* f : {"a.txt", ".x.txt", "a.txt.txt", "notes.txt.bak", "A.TXT",
                              "pagefile.sys", "PAGEFILE.SYS.txt", "b.tvb", ".c.tvb", "skin.skin"})
            writeBytes(folder.file(QString::fromUtf8(f)), "x");
        QVERIFY(QFile::link(folder.file("nowhere"), folder.file("dead.txt")));

        QStringList names;
        for (const QFileInfo& info : FolderList::entries(folder.path())) names << info.fileName();
        QCOMPARE(sorted(names),
                 sorted({"cat", ".drafts", "x.txt", "a.txt", ".x.txt", "a.txt.txt", "notes.txt.bak",
                         "A.TXT", "PAGEFILE.SYS.txt", "b.tvb", ".c.tvb", "skin.skin", "dead.txt"}));
        QCOMPARE(sorted(FolderList::subFolders(folder.path())),
                 sorted({"cat", ".drafts", "x.txt"}));

        QStringList scripts;
        for (const FolderList::Entry& e : FolderList::filesMarked(folder.path(), ".txt", true))
            scripts << e.text + "=" + e.fileName;
        // Folders and a link to nothing are no scripts; every entry keeps its own file.
        QCOMPARE(sorted(scripts),
                 sorted({"a=a.txt", ".x=.x.txt", "a=a.txt.txt", "notes.bak=notes.txt.bak",
                         "PAGEFILE.SYS=PAGEFILE.SYS.txt"}));

        // As files of a kind only those that end with the extension: a backup "notes.txt.bak"
        // and what an interrupted save left (".a.txt.Xy12Zw") are none.
        writeBytes(folder.file(".a.txt.Xy12Zw"), "x");
        QStringList ofKind;
        for (const FolderList::Entry& e : FolderList::filesWithExtension(folder.path(), ".txt"))
            ofKind << e.text + "=" + e.fileName;
        QCOMPARE(sorted(ofKind),
                 sorted({"a=a.txt", ".x=.x.txt", "a=a.txt.txt", "PAGEFILE.SYS=PAGEFILE.SYS.txt"}));

        QStringList boxes;
        for (const FolderList::Entry& e : FolderList::filesMarked(folder.path(), ".tvb", false))
            boxes << e.text + "=" + e.fileName;
        QCOMPARE(sorted(boxes), sorted({"b.tvb=b.tvb", ".c.tvb=.c.tvb"}));
    }

    void missingFolderListsNothing() {
        QVERIFY(FolderList::entries("/no/such/folder").isEmpty());
        QVERIFY(FolderList::entries(QString()).isEmpty());
        QVERIFY(FolderList::subFolders("/no/such/folder").isEmpty());
    }
};

SUITE_TEST_MAIN(FolderListTest)
#include "tst_folderlist.moc"
