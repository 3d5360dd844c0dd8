#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "library/boxfile.h"
#include "platform/core/ansi.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "support/testenv.h"
#include "workbench/mainwndform.h"
#include "workbench/makeboxform.h"
#include "workbench/skineditpanel.h"

namespace {

MakeBoxForm& form() {
    return MakeBoxForm::instance();
}

QComboBox* combo(const char* name) {
    return form().control<QComboBox>(QString::fromLatin1(name));
}

QStringList items(const char* name) {
    QStringList out;
    if (QComboBox* c = combo(name))
        for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
    return out;
}

QLineEdit* pathText() {
    return form().control<QLineEdit>(QStringLiteral("pathText"));
}

void click(const char* name) {
    QPushButton* b = form().control<QPushButton>(QString::fromLatin1(name));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

// The box name a load draws from the generator in its present state.
QString expectedBoxPath(const TestProgramFolder& folder, double r) {
    return folder.file(QStringLiteral("box/Tolvar脚本%1.tvb").arg(int(r * 999)));
}

QByteArray boxOf(const QString& skinText, const QString& scriptText) {
    return BoxFile::boxLine(skinText, scriptText).toLatin1() + "\r\n";
}

// A program folder with skins and a script library holding the awkward cases of the lists.
struct Library {
    TestProgramFolder folder;
    Library() {
        QDir root(folder.path());
        for (const char* d : {"css/folder.skin", "script/网站/sub.txt", "script/空", "box"})
            root.mkpath(QString::fromUtf8(d));
        writeBytes(folder.file("css/default.skin"), "<skin>d</skin>\r\n");
        writeBytes(folder.file("css/蓝色.skin"), platform::toAnsi("<skin>蓝</skin>"));
        writeBytes(folder.file("css/readme.css"), "x");
        writeBytes(folder.file("script/loose.txt"), "x");
        writeBytes(folder.file("script/网站/a.txt"), "QUFB\r\n");
        writeBytes(folder.file("script/网站/a.txt.txt"), "QkJC\r\n");
        writeBytes(folder.file("script/网站/b.txt"), "Q0ND\r\n");
        writeBytes(folder.file("script/网站/notes.md"), "x");
        // No scripts: a backup, and what a save cut short leaves.
        writeBytes(folder.file("script/网站/notes.txt.bak"), "QUFB\r\n");
        writeBytes(folder.file("script/网站/.b.txt.Xy12Zw"), "QUFB\r\n");
    }
};

}  // namespace

class MakeBoxFormTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { MainWndForm::instance().setQuitOnClose(false); }
    void init() {
        platform::resetRandomForTest();
        platform::clearShownDialogs();
    }
    void cleanup() { form().close(); }

    void loadFillsTheListsAndDrawsABoxName() {
        Library lib;
        const double r = [] {
            const double v = platform::rnd();
            platform::resetRandomForTest();
            return v;
        }();
        form().show();
        QCOMPARE(form().widget()->windowTitle(), QStringLiteral("制作盒子"));
        QStringList skins = items("cssFileCombo");
        skins.sort();
        QCOMPARE(skins, (QStringList{"default", "蓝色"}));
        QStringList folders = items("folderCombo");
        folders.sort();
        QCOMPARE(folders, (QStringList{"空", "网站"}));
        for (const char* name : {"cssFileCombo", "folderCombo", "scriptCombo"}) {
            QCOMPARE(combo(name)->currentIndex(), -1);
            QVERIFY(!combo(name)->isEditable());
        }
        QVERIFY(items("scriptCombo").isEmpty());
        QCOMPARE(pathText()->text(), expectedBoxPath(lib.folder, r));
        const QLabel* label = form().control<QLabel>(QStringLiteral("pathTextLabel"));
        QVERIFY(label && label->text() == QStringLiteral("导出路径:"));

        // The next load draws the next value.
        const double next = platform::rnd();
        platform::resetRandomForTest();
        platform::rnd();
        form().close();
        form().show();
        QCOMPARE(pathText()->text(), expectedBoxPath(lib.folder, next));
    }

    // The box maker offers the skins in the board editor's order: by name as a reader
    // sorts them, letter case aside, numbers by value, Chinese names by their reading.
    void skinsInTheBoardEditorsOrder() {
        TestProgramFolder folder;
        QDir().mkpath(folder.file("css"));
        for (const char* name : {"paper10", "经典", "Night", "paper9", "default", "暗色", "b"})
            writeBytes(folder.file("css/" + QString::fromUtf8(name) + ".skin"), "x\r\n");
        const QStringList order{"b", "default", "Night", "paper9", "paper10", "暗色", "经典"};
        form().show();
        QCOMPARE(items("cssFileCombo"), order);
        SkinEditPanel panel;
        auto* chooser = panel.findChild<QComboBox*>("cssFileCombo");
        QStringList offered;
        for (int i = 0; i < chooser->count(); ++i) offered << chooser->itemText(i);
        QCOMPARE(offered, order);
    }

    // Enter packs, Esc closes the window (it has no button of its own for that).
    void enterPacksAndEscapeCloses() {
        Library lib;
        form().show();
        form().setBoxData("default", "网站", "b");
        QLineEdit* path = pathText();
        const QString box = path->text();
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("导出成功~!"));
        QVERIFY(QFileInfo::exists(box));
        QTest::keyClick(combo("scriptCombo"), Qt::Key_Escape);
        QVERIFY(!form().isLoaded());
    }

    // A box name that is taken is drawn again: packing never replaces an earlier box unasked.
    void takenBoxNamesAreDrawnAgain() {
        Library lib;
        // The first three names the generator proposes are taken.
        QStringList drawn;
        for (int i = 0; i < 4; ++i) drawn << expectedBoxPath(lib.folder, platform::rnd());
        platform::resetRandomForTest();
        QVERIFY(drawn[3] != drawn[0] && drawn[3] != drawn[1] && drawn[3] != drawn[2]);
        for (int i = 0; i < 3; ++i) writeBytes(drawn[i], "earlier box\r\n");
        form().show();
        QCOMPARE(pathText()->text(), drawn[3]);
        for (int i = 0; i < 3; ++i) QCOMPARE(readBytes(drawn[i]), QByteArray("earlier box\r\n"));
    }

    // A program folder without its box folder gets it back, so that the offered path packs.
    void missingBoxFolderIsMade() {
        Library lib;
        QVERIFY(QDir(lib.folder.file("box")).removeRecursively());
        form().setBoxData("default", "网站", "b");
        form().show();
        QVERIFY(QFileInfo(lib.folder.file("box")).isDir());
        click("packageCommand");
        QCOMPARE(platform::shownDialogs().value(0).text, QStringLiteral("导出成功~!"));
        QVERIFY(QFileInfo(pathText()->text()).size() > 0);
    }

    // Of two scripts that show the same name, the file given picks the one.
    void setBoxDataPicksTheScriptByItsFile_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("a.txt") << "a.txt";
        QTest::newRow("a.txt.txt") << "a.txt.txt";
    }
    void setBoxDataPicksTheScriptByItsFile() {
        QFETCH(QString, file);
        Library lib;
        form().setBoxData("default", "网站", "a", file);
        form().show();
        QCOMPARE(combo("scriptCombo")->currentText(), QStringLiteral("a"));
        QCOMPARE(combo("scriptCombo")->currentData().toString(), file);
        click("packageCommand");
        QCOMPARE(readBytes(pathText()->text()),
                 boxOf("<skin>d</skin>\r\n",
                       QString::fromLatin1(readBytes(lib.folder.file("script/网站/" + file)))));
    }

    // Names beginning with "." are listed like any other: skins, categories and scripts.
    void hiddenNamesAreListed() {
        Library lib;
        QDir(lib.folder.path()).mkpath("script/.drafts");
        writeBytes(lib.folder.file("script/.drafts/.x.txt"), "QUFB\r\n");
        writeBytes(lib.folder.file("css/.dark.skin"), "x\r\n");
        form().show();
        QVERIFY(items("cssFileCombo").contains(".dark"));
        QVERIFY(items("folderCombo").contains(".drafts"));
        form().setBoxData(QString(), ".drafts", ".x");
        QCOMPARE(items("scriptCombo"), QStringList{".x"});
        QCOMPARE(combo("scriptCombo")->currentText(), QStringLiteral(".x"));
    }

    void categoryChoiceListsItsScripts() {
        Library lib;
        form().show();
        combo("folderCombo")->setCurrentIndex(items("folderCombo").indexOf("网站"));
        QStringList scripts = items("scriptCombo");
        scripts.sort();
        // a.txt.txt shows as "a" beside a.txt; folders, other files and files that only hold
        // ".txt" inside their name do not show.
        QCOMPARE(scripts, (QStringList{"a", "a", "b"}));
        QCOMPARE(combo("scriptCombo")->currentIndex(), -1);
        combo("folderCombo")->setCurrentIndex(items("folderCombo").indexOf("空"));
        QVERIFY(items("scriptCombo").isEmpty());
    }

    void setBoxDataSelectsTheEntries() {
        Library lib;
        form().setBoxData(QString(), "网站", "b");
        QVERIFY(form().isLoaded());
        QCOMPARE(combo("cssFileCombo")->currentIndex(), -1);
        QCOMPARE(combo("folderCombo")->currentText(), QStringLiteral("网站"));
        QCOMPARE(combo("scriptCombo")->currentText(), QStringLiteral("b"));

        // Names no entry equals (letter case counts) leave the selections as they were.
        form().setBoxData("DEFAULT", "没有", "B");
        QCOMPARE(combo("cssFileCombo")->currentIndex(), -1);
        QCOMPARE(combo("folderCombo")->currentText(), QStringLiteral("网站"));
        QCOMPARE(combo("scriptCombo")->currentText(), QStringLiteral("b"));

        // The same category chosen again refills the script list; the last equal entry wins.
        form().setBoxData("蓝色", "网站", "a");
        QCOMPARE(combo("cssFileCombo")->currentText(), QStringLiteral("蓝色"));
        QCOMPARE(combo("scriptCombo")->currentIndex(), int(items("scriptCombo").lastIndexOf("a")));
    }

    void packageWritesTheBox_data() {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expectedSkin");
        QTest::addColumn<QString>("expectedScript");
        QTest::newRow("skin and script") << "default"
                                         << "b"
                                         << "<skin>d</skin>\r\n"
                                         << "Q0ND\r\n";
        QTest::newRow("chinese skin") << "蓝色"
                                      << "b"
                                      << "<skin>蓝</skin>\r\n"
                                      << "Q0ND\r\n";
    }
    void packageWritesTheBox() {
        QFETCH(QString, skin);
        QFETCH(QString, script);
        QFETCH(QString, expectedSkin);
        QFETCH(QString, expectedScript);
        Library lib;
        const QString box = lib.folder.file("box/old.tvb");
        writeBytes(box, "an older box\r\n");
        form().setBoxData(skin, "网站", script);
        form().show();
        pathText()->setText(box);
        click("packageCommand");
        QCOMPARE(readBytes(box), boxOf(expectedSkin, expectedScript));
        const QList<platform::ShownDialog> shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("导出成功~!"));
        QCOMPARE(shown[0].title, QStringLiteral("提示"));
        QVERIFY(form().widget()->isVisible());  // the window stays open
    }

    void eachListedScriptPacksItsOwnFile() {
        Library lib;
        form().setBoxData("default", "网站", QString());
        QComboBox* scripts = combo("scriptCombo");
        QStringList written;
        for (int i = 0; i < scripts->count(); ++i) {
            if (scripts->itemText(i) != QLatin1String("a")) continue;
            scripts->setCurrentIndex(i);
            pathText()->setText(lib.folder.file(QString("box/%1.tvb").arg(i)));
            click("packageCommand");
            written << QString::fromLatin1(readBytes(pathText()->text()));
        }
        QCOMPARE(written.size(), 2);
        QStringList expected{QString::fromLatin1(boxOf("<skin>d</skin>\r\n", "QUFB\r\n")),
                             QString::fromLatin1(boxOf("<skin>d</skin>\r\n", "QkJC\r\n"))};
        written.sort();
        expected.sort();
        QCOMPARE(written, expected);
    }

    // A box that could not be written, or would carry no board or no script, is a failed
    // export: the message keeps its first line and says why on the second.
    void failuresAreReported_data() {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("boxPath");  // relative to the program folder
        QTest::addColumn<QString>("why");
        const QString unwritable = QStringLiteral("无法写入导出路径(文件夹不存在,或文件不可写):");
        const QString noScript = QStringLiteral("没有选择脚本,请选择目录名称和脚本名称");
        QTest::newRow("no skin chosen")
            << ""
            << "网站"
            << "b"
            << "box/x.tvb" << QStringLiteral("没有选择皮肤,请在皮肤列表中选择");
        QTest::newRow("empty skin")
            << "empty"
            << "网站"
            << "b"
            << "box/x.tvb" << QStringLiteral("皮肤文件无法读取或是空的:empty.skin");
        QTest::newRow("no box folder") << "default"
                                       << "网站"
                                       << "b"
                                       << "nobox/x.tvb" << unwritable;
        QTest::newRow("box path is a folder") << "default"
                                              << "网站"
                                              << "b"
                                              << "box" << unwritable;
        QTest::newRow("empty box path") << "default"
                                        << "网站"
                                        << "b"
                                        << "" << unwritable;
        QTest::newRow("no script chosen") << "default"
                                          << "网站"
                                          << ""
                                          << "box/x.tvb" << noScript;
        QTest::newRow("no category chosen") << "default"
                                            << ""
                                            << ""
                                            << "box/x.tvb" << noScript;
        QTest::newRow("script gone")
            << "default"
            << "网站"
            << "gone"
            << "box/x.tvb" << QStringLiteral("脚本文件无法读取或是空的:b.txt");
    }
    void failuresAreReported() {
        QFETCH(QString, skin);
        QFETCH(QString, category);
        QFETCH(QString, script);
        QFETCH(QString, boxPath);
        QFETCH(QString, why);
        Library lib;
        writeBytes(lib.folder.file("css/empty.skin"), "");
        form().setBoxData(skin, category, script == "gone" ? "b" : script);
        form().show();
        if (script == "gone") QFile::remove(lib.folder.file("script/网站/b.txt"));
        const QString path = boxPath.isEmpty() ? QString() : lib.folder.file(boxPath);
        pathText()->setText(path);
        click("packageCommand");
        QVERIFY(!QFile::exists(lib.folder.file("box/x.tvb")));
        QVERIFY(!QDir(lib.folder.file("nobox")).exists());
        QCOMPARE(platform::shownDialogs().size(), 1);
        // A box path that cannot be written is named.
        const QString named =
            why.endsWith(u':') && why.contains(QStringLiteral("导出路径")) ? path : "";
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("导出失败~!\n") + why + named);
        QVERIFY(form().isLoaded());
    }

    void browseChoosesTheBoxPath() {
        Library lib;
        form().show();
        const QString start = pathText()->text();
        platform::queueFileAnswer(QString());  // cancel
        click("pathCommand");
        QCOMPARE(pathText()->text(), start);
        platform::queueFileAnswer(lib.folder.file("mine.tvb"));
        click("pathCommand");
        QCOMPARE(pathText()->text(), lib.folder.file("mine.tvb"));
        const QList<platform::ShownDialog> shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, platform::DialogKind::SaveFile);
        QCOMPARE(shown[0].defaultText, QStringLiteral("Zandrel文件(*.tvb)|*.tvb"));
    }

    void makePackageNeedsNoWindow() {
        Library lib;
        QVERIFY(MakeBoxForm::makePackage(lib.folder.file("css/default.skin"),
                                         lib.folder.file("script/网站/b.txt"),
                                         lib.folder.file("b.tvb")));
        QVERIFY(!form().isLoaded());
        QCOMPARE(readBytes(lib.folder.file("b.tvb")), boxOf("<skin>d</skin>\r\n", "Q0ND\r\n"));
        QVERIFY(!MakeBoxForm::makePackage("", "", lib.folder.file("no/b.tvb")));
    }

    // A fresh installation packs its sample script at the box path the window offers.
    void shippedFolderPacksToTheOfferedPath() {
        TestProgramFolder shipped(QStringLiteral("velmora"));
        form().setBoxData("default", "常用工具", "页面标题");
        form().show();
        QCOMPARE(combo("scriptCombo")->currentText(), QStringLiteral("页面标题"));
        const QString box = pathText()->text();
        QVERIFY(box.startsWith(shipped.file("box/")));
        click("packageCommand");
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("导出成功~!"));
        QVERIFY(QFileInfo(box).size() > 0);
    }

    void mainWindowPackButtonOpensTheBoxMaker() {
        Library lib;
        MainWndForm::ToolWindows saved = MainWndForm::instance().windows;
        wireBoxAndShareWindows();
        MainWndForm::ToolWindows& w = MainWndForm::instance().windows;
        QVERIFY(w.setBoxData && w.showMakeBox && w.showShareWindow);
        w.setBoxData(QString(), "网站", "b", "b.txt");
        w.showMakeBox();
        QVERIFY(form().widget()->isVisible());
        QCOMPARE(combo("scriptCombo")->currentText(), QStringLiteral("b"));
        MainWndForm::instance().windows = saved;
    }
};

SUITE_TEST_MAIN(MakeBoxFormTest)
#include "tst_makeboxform.moc"
