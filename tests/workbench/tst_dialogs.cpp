#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <memory>

#include "library/ini.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "support/testenv.h"
#include "workbench/aboutwndform.h"
#include "workbench/configwndform.h"
#include "workbench/mainwndform.h"
#include "workbench/savewndform.h"
#include "workbench/scriptwndform.h"

namespace {

// A program folder whose web site refuses at once, so that the main window starts quickly.
struct Folder {
    Folder() {
        writeBytes(folder.file("site.ini"),
                   "[site]\r\nforumHost=http://127.0.0.1:1\r\nmainHost=http://127.0.0.1:1\r\n"
                   "requestTimeoutMs=500\r\n");
        QDir().mkpath(folder.file("script"));
    }
    TestProgramFolder folder;
};

template <typename T>
T* in(platform::Form& form, const char* name) {
    T* c = form.control<T>(QString::fromLatin1(name));
    if (!c) qFatal("no control %s in %s", name, qPrintable(form.objectName()));
    return c;
}

QWidget* closeForm(platform::Form& form) {
    QWidget* w = form.widget();
    form.close();
    return w;
}

QStringList listEntries(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList comboEntries(QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    return out;
}

// A small document to save.
void fillDocument() {
    ScriptModule::clearScriptDocument();
    ScriptDocument& doc = ScriptModule::scriptDocument();
    doc.currentScriptPath.clear();
    doc.name = QStringLiteral("采集");
    doc.script = QStringLiteral("alert(1);");
    doc.target = {QStringLiteral("http://a.example/")};
    XmlDocument board;
    board.loadXML(QStringLiteral("<list style=\"default\"><line/></list>"));
    doc.list = board.documentElement();
}

QByteArray savedDirectly() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ref.txt");
    if (!ScriptModule::saveScriptFile(path)) qFatal("reference save failed");
    return readBytes(path);
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { MainWndForm::instance().setQuitOnClose(false); }
    void init() {
        platform::clearShownDialogs();
        platform::clearOpenedAddresses();
        // As a start with a readable config.ini leaves it.
        MainWndForm::instance().configUnreadable = false;
    }
    void cleanup() {
        for (platform::Form* f : std::initializer_list<platform::Form*>{
                 &ConfigWndForm::instance(), &AboutWndForm::instance(), &SaveWndForm::instance()})
            f->close();
        MainWndForm::instance().close();
        QCoreApplication::processEvents();
    }

    // ---------------------------------------------------------------- settings

    void settingsRewriteConfigIniWhole_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("checkUpdate");
        QTest::newRow("ticked") << "3.0" << true
                                << QByteArray("[tolvar]\r\nversion=3.0\r\nflag=0\r\n") << 0;
        QTest::newRow("cleared") << "3.0" << false
                                 << QByteArray("[tolvar]\r\nversion=3.0\r\nflag=1\r\n") << 1;
        QTest::newRow("no version")
            << "" << true << QByteArray("[tolvar]\r\nversion=\r\nflag=0\r\n") << 0;
        QTest::newRow("GBK version")
            << "三点零" << false
            << QByteArray("[tolvar]\r\nversion=") + platform::toAnsi("三点零") + "\r\nflag=1\r\n"
            << 1;
    }
    void settingsRewriteConfigIniWhole() {
        QFETCH(QString, version);
        QFETCH(bool, ticked);
        QFETCH(QByteArray, bytes);
        QFETCH(int, checkUpdate);
        Folder f;
        writeBytes(
            f.folder.file("config.ini"),
            "[tolvar]\r\nhideDivNameLen=12\r\nversion=old\r\nflag=5\r\n\r\n[other]\r\nx=1\r\n");
        MainWndForm& main = MainWndForm::instance();
        main.version = version;
        main.checkUpdate = 7;
        ConfigWndForm& config = ConfigWndForm::instance();
        config.setData(ticked ? 0 : 1);
        config.show();
        QCOMPARE(in<QCheckBox>(config, "Check1")->isChecked(), ticked);
        in<QPushButton>(config, "saveCommand")->click();
        QCOMPARE(readBytes(f.folder.file("config.ini")), bytes);
        QCOMPARE(int(main.checkUpdate), checkUpdate);
        // Saved and hidden, still loaded.
        QVERIFY(config.isLoaded());
        QVERIFY(!config.widget()->isVisible());
        QVERIFY(platform::shownDialogs().isEmpty());
        // The length key is gone: the next start makes a one-character id.
        QCOMPARE(INIread::readIniValue(f.folder.file("config.ini"), "tolvar", "hideDivNameLen"),
                 QString());
        QCOMPARE(MainWndNumbers::hideDivNameLength(QString()), 1);
    }

    void settingsDesign() {
        Folder f;
        ConfigWndForm& config = ConfigWndForm::instance();
        config.show();
        QCOMPARE(config.widget()->windowTitle(), QStringLiteral("配置信息"));
        QCOMPARE(in<QLabel>(config, "Label1")->text(), QStringLiteral("打开检查自动更新"));
        QCOMPARE(in<QPushButton>(config, "saveCommand")->text(), QStringLiteral("保 存"));
        QCOMPARE(in<QCheckBox>(config, "Check1")->geometry(), QRect(32, 24, 17, 17));
    }

    void setDataTicksOnlyForZeroAndOne() {
        Folder f;
        ConfigWndForm& config = ConfigWndForm::instance();
        config.setData(2);  // first showing: cleared
        QCheckBox* check = in<QCheckBox>(config, "Check1");
        QVERIFY(!check->isChecked());
        config.setData(0);
        QVERIFY(check->isChecked());
        for (qint16 other : {qint16(2), qint16(-1), qint16(32767)}) {
            config.setData(other);
            QVERIFY(check->isChecked());
        }
        config.setData(1);
        QVERIFY(!check->isChecked());
        // Closing unloads: the next load starts cleared again.
        config.setData(0);
        closeForm(config);
        QVERIFY(!config.isLoaded());
        config.setData(2);
        QVERIFY(!in<QCheckBox>(config, "Check1")->isChecked());
    }

    void settingsThatCannotBeWritten() {
        Folder f;
        writeBytes(f.folder.file("config.ini/keep"), "x");  // a folder stands in the way
        MainWndForm& main = MainWndForm::instance();
        main.version = "3.0";
        main.checkUpdate = 1;
        ConfigWndForm& config = ConfigWndForm::instance();
        config.setData(1);
        config.show();
        in<QCheckBox>(config, "Check1")->setChecked(true);
        in<QPushButton>(config, "saveCommand")->click();
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("无法写入配置文件config.ini,设置未保存"));
        QCOMPARE(shown[0].title, QStringLiteral("提示"));
        QCOMPARE(int(main.checkUpdate), 1);  // unchanged: nothing was saved
        QVERIFY(config.widget()->isVisible());
    }

    // A config.ini that is there but cannot be read is not taken for an empty one: 设 置 →
    // 保 存 would write an empty version over the one it holds. Driven by clicks.
    void settingsFromAnUnreadableFileAreNotWritten_data() {
        QTest::addColumn<bool>("tooLarge");  // else no permission to read it
        QTest::newRow("too large to read") << true;
        QTest::newRow("no permission to read") << false;
    }
    void settingsFromAnUnreadableFileAreNotWritten() {
        QFETCH(bool, tooLarge);
        if (!tooLarge && ::geteuid() == 0) QSKIP("root reads every file");
        Folder f;
        const QString path = f.folder.file("config.ini");
        const QByteArray content = "[tolvar]\r\nversion=3.0\r\nflag=1\r\n";
        writeBytes(path, content);
        if (tooLarge) {
            QFile grow(path);
            QVERIFY(grow.open(QIODevice::ReadWrite));
            QVERIFY(grow.resize(ScriptModule::detail::kMaxReadBytes + 1));
        } else {
            QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        }
        const qint64 size = QFileInfo(path).size();
        MainWndForm& main = MainWndForm::instance();
        ScriptWndForm::wireMainWindow();
        main.show();
        QVERIFY(main.configUnreadable);
        QTest::mouseClick(in<QPushButton>(main, "toolsCmd_6"), Qt::LeftButton);
        ConfigWndForm& config = ConfigWndForm::instance();
        QVERIFY(config.widget() && config.widget()->isVisible());
        QCheckBox* check = in<QCheckBox>(config, "Check1");
        QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
        QTest::mouseClick(in<QPushButton>(config, "saveCommand"), Qt::LeftButton);
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text,
                 QStringLiteral("配置文件config.ini无法读取,保存会覆盖其中的设置,设置未保存"));
        QVERIFY(config.widget()->isVisible());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QFileInfo(path).size(), size);
        QFile back(path);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.read(content.size()), content);
        QCOMPARE(int(main.checkUpdate), 1);
    }

    // ---------------------------------------------------------------- about

    void aboutShowsTheVersionAndOpensTheSite_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("version") << "3.0.1";
        QTest::newRow("no version") << "";
    }
    void aboutShowsTheVersionAndOpensTheSite() {
        QFETCH(QString, version);
        Folder f;
        MainWndForm::instance().version = version;
        AboutWndForm& about = AboutWndForm::instance();
        about.show();
        QCOMPARE(about.widget()->windowTitle(), QStringLiteral("关于Velmora"));
        QCOMPARE(in<QLabel>(about, "Label1")->text(), version);
        QVERIFY(!in<QLabel>(about, "Label2")->text().isEmpty());
        QVERIFY(!in<QLabel>(about, "Label3")->text().isEmpty());
        QLabel* site = in<QLabel>(about, "Label4");
        QCOMPARE(site->text(), AboutWndForm::siteAddress());
        QCOMPARE(site->width(), about.widget()->width());
        QTest::mouseClick(site, Qt::LeftButton);
        QCOMPARE(platform::openedAddresses(), QStringList{AboutWndForm::siteAddress()});
        QVERIFY(about.isLoaded());
        QCOMPARE(in<QPushButton>(about, "Command1")->text(), QStringLiteral("确 定"));
        in<QPushButton>(about, "Command1")->click();
        QVERIFY(!about.isLoaded());
    }

    void aboutAddressFollowsTheSiteFile() {
        Folder f;
        writeBytes(f.folder.file("site.ini"), "[site]\r\nmainHost=http://maker.example:8080\r\n");
        QCOMPARE(AboutWndForm::siteAddress(), QStringLiteral("http://maker.example:8080/"));
    }

    // ---------------------------------------------------------------- save dialog

    void folderListOffersCategoryFolders() {
        Folder f;
        for (const char* d : {"script/b", "script/a", "script/pagefile.SYS", "script/c.txt"})
            QDir().mkpath(f.folder.file(d));
        writeBytes(f.folder.file("script/loose.txt"), "x");
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        QCOMPARE(save.widget()->windowTitle(), QStringLiteral("保存脚本"));
        QComboBox* combo = in<QComboBox>(save, "folderCombo");
        QStringList offered = comboEntries(combo);
        // In the file system's order, which is not sorted.
        QCOMPARE(combo->currentIndex(), 0);
        offered.sort();
        QCOMPARE(offered, QStringList({"a", "b", "c.txt"}));
        QVERIFY(!combo->isEditable());

        // Filled once per load: a folder made later shows after the dialog was unloaded.
        QDir().mkpath(f.folder.file("script/d"));
        in<QPushButton>(save, "exitCommand")->click();
        save.show();
        QVERIFY(!comboEntries(in<QComboBox>(save, "folderCombo")).contains("d"));
        closeForm(save);
        QCoreApplication::processEvents();
        save.show();
        QVERIFY(comboEntries(in<QComboBox>(save, "folderCombo")).contains("d"));
    }

    void saveWritesTheDocumentAndRefreshesTheLibrary() {
        Folder f;
        QDir().mkpath(f.folder.file("script/甲"));
        writeBytes(f.folder.file("script/甲/采集.txt"), "old\r\n");
        MainWndForm& main = MainWndForm::instance();
        main.setQuitOnClose(false);
        main.show();
        QCOMPARE(listEntries(in<QListWidget>(main, "ListFile")), QStringList{"采集"});
        writeBytes(f.folder.file("script/甲/其它.txt"), "x\r\n");  // shows at the refresh

        fillDocument();
        const QByteArray expected = savedDirectly();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        in<QLineEdit>(save, "scriptText")->setText("采集");
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        in<QPushButton>(save, "saveCommand")->click();
        // Replaced once the user agreed.
        QCOMPARE(readBytes(f.folder.file("script/甲/采集.txt")), expected);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text,
                 QStringLiteral("目录甲中已有脚本采集,要替换它吗?"));
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());
        QVERIFY(!save.widget()->isVisible());
        QCOMPARE(in<QLineEdit>(save, "scriptText")->text(), QString());
        QStringList listed = listEntries(in<QListWidget>(main, "ListFile"));
        listed.sort();
        QCOMPARE(listed, QStringList({"其它", "采集"}));
    }

    // A name that is taken asks first; "否" writes nothing and keeps the dialog and the name,
    // so that another one can be typed. Enter saves.
    void takenNameAsksBeforeReplacing() {
        Folder f;
        QDir().mkpath(f.folder.file("script/甲"));
        writeBytes(f.folder.file("script/甲/采集.txt"), "old\r\n");
        fillDocument();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        QLineEdit* name = in<QLineEdit>(save, "scriptText");
        name->setText("采集");
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text,
                 QStringLiteral("目录甲中已有脚本采集,要替换它吗?"));
        QCOMPARE(platform::shownDialogs()[0].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(readBytes(f.folder.file("script/甲/采集.txt")), QByteArray("old\r\n"));
        QVERIFY(save.widget()->isVisible());
        QCOMPARE(name->text(), QStringLiteral("采集"));

        // A free name is saved at once.
        QTest::keyClick(name, Qt::Key_Backspace);
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QVERIFY(QFileInfo::exists(f.folder.file("script/甲/采.txt")));
        QVERIFY(!save.widget()->isVisible());
    }

    // Each dialog has its default and its cancel button: Enter and Esc, whichever control
    // has the focus.
    void enterAndEscape() {
        Folder f;
        QDir().mkpath(f.folder.file("script/甲"));
        writeBytes(f.folder.file("config.ini"), "[tolvar]\r\nversion=3.0\r\nflag=1\r\n");
        MainWndForm::instance().version = "3.0";

        // 保存脚本: Esc is 取 消 (hidden, the name forgotten), Enter on 取 消 as well.
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        QLineEdit* name = in<QLineEdit>(save, "scriptText");
        name->setText("x");
        QTest::keyClick(name, Qt::Key_Escape);
        QVERIFY(!save.widget()->isVisible());
        QCOMPARE(name->text(), QString());
        save.show();
        name->setText("x");
        auto* exit = in<QPushButton>(save, "exitCommand");
        exit->setFocus();  // Tab on to it
        QTest::keyClick(exit, Qt::Key_Return);
        QVERIFY(!save.widget()->isVisible());
        QVERIFY(QDir(f.folder.file("script/甲")).isEmpty());

        // 关于: both keys are 确 定, which closes it.
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            AboutWndForm& about = AboutWndForm::instance();
            about.show();
            QTest::keyClick(in<QLabel>(about, "Label1"), key);
            QVERIFY(!about.isLoaded());
        }

        // 配置信息: Esc closes without saving, Enter saves.
        ConfigWndForm& config = ConfigWndForm::instance();
        config.setData(1);
        config.show();
        QCheckBox* check = in<QCheckBox>(config, "Check1");
        QTest::keyClick(check, Qt::Key_Space);
        QVERIFY(check->isChecked());
        QTest::keyClick(check, Qt::Key_Escape);
        QVERIFY(!config.isLoaded());
        QCOMPARE(readBytes(f.folder.file("config.ini")),
                 QByteArray("[tolvar]\r\nversion=3.0\r\nflag=1\r\n"));
        config.setData(1);
        config.show();
        check = in<QCheckBox>(config, "Check1");
        QTest::keyClick(check, Qt::Key_Space);
        QTest::keyClick(check, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(readBytes(f.folder.file("config.ini")),
                 QByteArray("[tolvar]\r\nversion=3.0\r\nflag=0\r\n"));
        QVERIFY(!config.widget()->isVisible());
        QVERIFY(platform::shownDialogs().isEmpty());
    }

    // What the save dialog offers and writes, the main window lists: a category ".drafts"
    // and a script ".x" included.
    void savedUnderAHiddenNameIsListed() {
        Folder f;
        QDir().mkpath(f.folder.file("script/.drafts"));
        MainWndForm& main = MainWndForm::instance();
        main.show();
        fillDocument();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        auto* folders = in<QComboBox>(save, "folderCombo");
        QCOMPARE(comboEntries(folders), QStringList{".drafts"});
        in<QLineEdit>(save, "scriptText")->setText(".x");
        in<QPushButton>(save, "saveCommand")->click();
        QVERIFY(QFile::exists(f.folder.file("script/.drafts/.x.txt")));
        auto* tabs = in<QTabBar>(main, "TabFile");
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QStringLiteral(".drafts"));
        QCOMPARE(listEntries(in<QListWidget>(main, "ListFile")), QStringList{".x"});
    }

    void emptyNameIsRefusedButTheDialogCloses() {
        Folder f;
        QDir().mkpath(f.folder.file("script/甲"));
        MainWndForm& main = MainWndForm::instance();
        main.setQuitOnClose(false);
        main.show();
        writeBytes(f.folder.file("script/甲/新.txt"), "x\r\n");
        fillDocument();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        in<QPushButton>(save, "saveCommand")->click();
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("文件名不能为空"));
        QCOMPARE(shown[0].title, QStringLiteral("提示"));
        QCOMPARE(shown[0].buttons, platform::MsgButtons::Ok);
        QVERIFY(!save.widget()->isVisible());
        QCOMPARE(QDir(f.folder.file("script/甲")).entryList(QDir::Files), QStringList{"新.txt"});
        QCOMPARE(listEntries(in<QListWidget>(main, "ListFile")), QStringList{"新"});
    }

    void namesThatWouldLeaveTheCategory_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("slash") << "../../escape";
        QTest::newRow("backslash") << "a\\b";
    }
    void namesThatWouldLeaveTheCategory() {
        QFETCH(QString, name);
        Folder f;
        QDir().mkpath(f.folder.file("script/甲"));
        fillDocument();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        in<QLineEdit>(save, "scriptText")->setText(name);
        in<QPushButton>(save, "saveCommand")->click();
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text, QStringLiteral("脚本名称不能包含 \\ 或 /"));
        QVERIFY(save.widget()->isVisible());
        QCOMPARE(in<QLineEdit>(save, "scriptText")->text(), name);
        QVERIFY(!QFileInfo::exists(f.folder.file("escape.txt")));
        QVERIFY(QDir(f.folder.file("script/甲")).isEmpty());
    }

    void aFailedWriteIsTold() {
        Folder f;
        QDir().mkpath(f.folder.file("script/甲/采集.txt"));  // a folder where the file goes
        fillDocument();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        in<QLineEdit>(save, "scriptText")->setText("采集");
        in<QPushButton>(save, "saveCommand")->click();
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text,
                 QStringLiteral("脚本保存失败,请检查目录是否存在、文件是否可写"));
        QVERIFY(save.widget()->isVisible());
        QCOMPARE(in<QLineEdit>(save, "scriptText")->text(), QStringLiteral("采集"));
    }

    void withoutCategoriesTheDefaultOneIsMade() {
        Folder f;
        QDir(f.folder.file("script")).removeRecursively();
        MainWndForm& main = MainWndForm::instance();
        main.setQuitOnClose(false);
        main.show();
        fillDocument();
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        QCOMPARE(comboEntries(in<QComboBox>(save, "folderCombo")),
                 QStringList{SaveWndForm::defaultCategory()});
        in<QLineEdit>(save, "scriptText")->setText("首个");
        in<QPushButton>(save, "saveCommand")->click();
        QVERIFY(platform::shownDialogs().isEmpty());
        QVERIFY(QFileInfo::exists(f.folder.file("script/我的脚本/首个.txt")));
        QTabBar* tabs = in<QTabBar>(main, "TabFile");
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->tabText(0), QStringLiteral("我的脚本"));
        QCOMPARE(listEntries(in<QListWidget>(main, "ListFile")), QStringList{"首个"});
    }

    void cancelHidesAndForgetsTheName() {
        Folder f;
        QDir().mkpath(f.folder.file("script/甲"));
        SaveWndForm& save = SaveWndForm::instance();
        save.show();
        QCOMPARE(in<QPushButton>(save, "exitCommand")->text(), QStringLiteral("取 消"));
        QCOMPARE(in<QLabel>(save, "folderLabel")->text(), QStringLiteral("目录名称:"));
        QCOMPARE(in<QComboBox>(save, "folderCombo")->geometry(), QRect(104, 24, 97, 20));
        in<QLineEdit>(save, "scriptText")->setText("x");
        in<QPushButton>(save, "exitCommand")->click();
        QVERIFY(!save.widget()->isVisible());
        QCOMPARE(in<QLineEdit>(save, "scriptText")->text(), QString());
        QVERIFY(QDir(f.folder.file("script/甲")).isEmpty());
    }
};

SUITE_TEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
