#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/translate.h"
#include "platform/core/ansi.h"
#include "platform/dialogs.h"
#include "support/testenv.h"
#include "workbench/mainwndform.h"
#include "workbench/savewndform.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptwndform.h"
#include "workbench/skineditpanel.h"

namespace {

const QString kCategory = QStringLiteral("分类甲");
const QString kBoard = QStringLiteral(
    "<list style=\"default\"><item><id>b1</id><show>开始</show><click>a()</click>"
    "<style>tvButton</style></item><line/></list>");

template <typename T>
T* in(platform::Form& form, const QString& name) {
    T* c = form.control<T>(name);
    if (!c) qFatal("no control %s in %s", qPrintable(name), qPrintable(form.objectName()));
    return c;
}

// Types text into a control key by key, as the user does (any character, Chinese too).
void typeText(QWidget* control, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(control, &press);
        QApplication::sendEvent(control, &release);
    }
}

QStringList entries(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// The current document written by the library's own writer, for comparison.
QByteArray savedDirectly() {
    QTemporaryDir dir;
    const QString path = dir.filePath("ref.txt");
    if (!ScriptModule::saveScriptFile(path)) qFatal("reference save failed");
    return readBytes(path);
}

void setDocument(const QString& name, const QString& script, const QString& board) {
    ScriptModule::clearScriptDocument();
    ScriptDocument& doc = ScriptModule::scriptDocument();
    doc.name = name;
    doc.home = QStringLiteral("http://home.example/");
    doc.information = QStringLiteral("第一行\n第二行 & <b>");
    doc.author = QStringLiteral("作者甲");
    doc.toolPop = QStringLiteral("小提示");
    doc.script = script;
    doc.include = {QStringLiteral("jq")};
    doc.target = {QStringLiteral("http://a.example/"), QStringLiteral("http://b.example/")};
    XmlDocument xml;
    xml.loadXML(board);
    doc.list = xml.documentElement();
}

// The workbench over a program folder laid out like the shipped one, with one library script;
// its web site refuses at once so that the main window starts quickly.
struct Bench {
    Bench() : folder(QStringLiteral("velmora")) {
        writeBytes(folder.file("site.ini"),
                   "[site]\r\nforumHost=http://127.0.0.1:1\r\nmainHost=http://127.0.0.1:1\r\n"
                   "requestTimeoutMs=500\r\n");
        writeBytes(folder.file("config.ini"), "[tolvar]\r\nversion=3.0\r\nflag=1\r\n");
        // A library of one category holding one script.
        QDir(folder.file("script")).removeRecursively();
        QDir().mkpath(folder.file("script/" + kCategory));
        setDocument(QStringLiteral("示例"), QStringLiteral("function a(){\n  alert(1);\n}\n"),
                    kBoard);
        ScriptModule::scriptDocument().encoding = QStringLiteral("utf-8");
        ScriptModule::saveScriptFile(libraryFile());
        ScriptModule::clearScriptDocument();
        ScriptModule::scriptDocument().include.clear();
        ScriptModule::scriptDocument().currentScriptPath.clear();

        MainWndForm& main = MainWndForm::instance();
        main.setQuitOnClose(false);
        ScriptWndForm::wireMainWindow();
        main.show();
        ScriptModule::setPluginCollection({"jq=http://x.example/jq.js", "", "util"});
    }
    ~Bench() {
        ScriptWndForm::instance().windows = {};
        for (platform::Form* f : std::initializer_list<platform::Form*>{
                 &SaveWndForm::instance(), &ScriptWndForm::instance(), &MainWndForm::instance()})
            f->close();
        QCoreApplication::processEvents();
    }
    QString libraryFile() const { return folder.file("script/" + kCategory + "/示例.txt"); }

    MainWndForm& main() const { return MainWndForm::instance(); }
    ScriptWndForm& wnd() const { return ScriptWndForm::instance(); }
    SaveWndForm& save() const { return SaveWndForm::instance(); }
    void tool(int index) const {
        in<QPushButton>(main(), "toolsCmd_" + QString::number(index))->click();
    }
    // A tool button of the main window pressed with the mouse.
    void mouseOnTool(int index) const {
        QTest::mouseClick(in<QPushButton>(main(), "toolsCmd_" + QString::number(index)),
                          Qt::LeftButton);
    }
    void press(const char* name) const { in<QToolButton>(wnd(), name)->click(); }
    // A button of the properties tab (the board panel has a "previewCommand" of its own).
    void button(const char* name) const {
        auto* b = in<QFrame>(wnd(), "baseAttributeFrame")->findChild<QPushButton*>(name);
        if (!b) qFatal("no button %s", name);
        b->click();
    }
    QLineEdit* text(const char* name) const { return in<QLineEdit>(wnd(), name); }
    QListWidget* pool() const { return in<QListWidget>(wnd(), "urlPoolList"); }
    // Picks the library script in the main window with a click on its line.
    void pickLibraryScript() const {
        QListWidget* list = in<QListWidget>(main(), "ListFile");
        QCOMPARE(entries(list), QStringList{"示例"});
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
    }
    QString visibleFrame() const {
        QStringList shown;
        for (const char* f : {"baseAttributeFrame", "codeEditFrame", "faceEditFrame"})
            if (!in<QFrame>(wnd(), f)->isHidden()) shown << f;
        return shown.join(',');
    }

    TestProgramFolder folder;
};

}  // namespace

class ScriptWndFormTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { platform::clearShownDialogs(); }

    void creationState() {
        Bench b;
        TranslateModule::keywordPairs() = QStringList{"stale=pairs"};
        b.wnd().show();
        QWidget* w = b.wnd().widget();
        QCOMPARE(w->windowTitle(), QStringLiteral("脚本编辑器"));
        // keyword.db is read afresh.
        const QStringList read = TranslateModule::keywordPairs();
        TranslateModule::loadKeywords();
        QCOMPARE(read, TranslateModule::keywordPairs());
        QVERIFY(!read.contains("stale=pairs"));

        QComboBox* code = in<QComboBox>(b.wnd(), "codeTypeCombo");
        QCOMPARE(code->count(), 1);
        QCOMPARE(code->currentText(), QStringLiteral("gb2312"));
        QVERIFY(!code->isEditable());
        QCOMPARE(b.text("urlText")->text(), QStringLiteral("http://"));
        auto* tabs = in<QTabWidget>(b.wnd(), "TabBoard");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("基本属性"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("界面编辑"));
        QCOMPARE(b.visibleFrame(), QStringLiteral("baseAttributeFrame"));
        QVERIFY(in<QRadioButton>(b.wnd(), "pathOption_0")->isChecked());
        QVERIFY(in<QPushButton>(b.wnd(), "showPathCommand")->isEnabled());

        const char* tools[] = {"saveCommand",  "saveOtherCommand", "recordCommand",
                               "debugCommand", "helpCommand",      "analysisCommand"};
        const char* captions[] = {"保 存", "另 存", "录 制", "调 试", "帮 助", "分 析"};
        for (int i = 0; i < 6; ++i) {
            auto* t = in<QToolButton>(b.wnd(), tools[i]);
            QCOMPARE(t->text(), QString::fromUtf8(captions[i]));
            QCOMPARE(t->size(), QSize(57, 65));
        }
        QVERIFY(!in<QToolButton>(b.wnd(), "helpCommand")->isEnabled());
        QVERIFY(in<QToolButton>(b.wnd(), "analysisCommand")->isHidden());
        QCOMPARE(in<QLabel>(b.wnd(), "scriptPicture")->size(), QSize(73, 73));
        QCOMPARE(b.wnd().scriptEdit()->parentWidget()->objectName(),
                 QStringLiteral("codeEditFrame"));
        QCOMPARE(b.wnd().skinEdit()->parentWidget()->objectName(), QStringLiteral("faceEditFrame"));
    }

    void setBoardSelectsTheTab_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("frame");
        QTest::newRow("1") << 1 << "baseAttributeFrame";
        QTest::newRow("2") << 2 << "codeEditFrame";
        QTest::newRow("3") << 3 << "faceEditFrame";
    }
    void setBoardSelectsTheTab() {
        QFETCH(int, index);
        QFETCH(QString, frame);
        Bench b;
        b.wnd().show();
        b.wnd().setBoard(qint16(index));
        QCOMPARE(b.visibleFrame(), frame);
        QCOMPARE(in<QTabWidget>(b.wnd(), "TabBoard")->currentIndex(), index - 1);
        // A click on another tab shows its frame only.
        in<QTabWidget>(b.wnd(), "TabBoard")->setCurrentIndex(index % 3);
        QCOMPARE(b.visibleFrame(),
                 QStringList({"baseAttributeFrame", "codeEditFrame", "faceEditFrame"})[index % 3]);
    }

    // 新 建: the properties tab on an empty document, saved through the dialog, at every
    // press of 保 存.
    void newScriptToASavedFile() {
        Bench b;
        // The plug-ins of the last script loaded are not the new one's.
        ScriptModule::scriptDocument().include = {"jq"};
        b.tool(0);
        QVERIFY(b.wnd().widget()->isVisible());
        QVERIFY(!b.main().widget()->isVisible());
        QCOMPARE(b.visibleFrame(), QStringLiteral("baseAttributeFrame"));
        QCOMPARE(b.text("scriptNameText")->text(), QString());
        QCOMPARE(entries(b.pool()), QStringList{"http://"});
        QCOMPARE(b.wnd().scriptEdit()->getScriptList(), QStringList());
        QVERIFY(b.wnd().savesThroughDialog());

        b.text("scriptNameText")->setText("新脚本");
        b.text("scriptAuthorText")->setText("作者乙");
        b.text("scriptPageText")->setText("http://new.example/");
        b.text("scriptPopText")->setText("提示");
        in<QPlainTextEdit>(b.wnd(), "scriptInfoText")->setPlainText("介绍");
        b.text("urlText")->setText("");
        b.button("addUrlCommand");  // an empty address is kept like any other
        b.wnd().scriptEdit()->setScriptText("alert(2);\n");
        SkinEditPanel* skin = b.wnd().skinEdit();
        skin->findChild<QLineEdit*>("idText")->setText("go");
        skin->findChild<QPushButton*>("addItemCommand")->click();

        b.press("saveCommand");
        QVERIFY(b.save().widget()->isVisible());
        QVERIFY(b.wnd().widget()->isVisible());
        in<QComboBox>(b.save(), "folderCombo")->setCurrentText(kCategory);
        in<QLineEdit>(b.save(), "scriptText")->setText("新脚本");
        in<QPushButton>(b.save(), "saveCommand")->click();
        const QString file = b.folder.file("script/" + kCategory + "/新脚本.txt");
        const QByteArray written = readBytes(file);
        QVERIFY(!written.isEmpty());
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, QString());

        // What the window wrote is the document it was given, written by the library.
        ScriptDocument& doc = ScriptModule::scriptDocument();
        ScriptModule::clearScriptDocument();
        doc.name = "新脚本";
        doc.author = "作者乙";
        doc.home = "http://new.example/";
        doc.toolPop = "提示";
        doc.information = "介绍";
        doc.script = "alert(2);\r\n";
        doc.target = {"http://", ""};
        XmlDocument board;
        board.loadXML(
            "<list style=\"default\"><item><id>go</id><show/><click/><style/></item></list>");
        doc.list = board.documentElement();
        QCOMPARE(written, savedDirectly());

        // The next 保 存 asks again.
        b.wnd().reLoadData();
        b.press("saveCommand");
        QVERIFY(b.save().widget()->isVisible());
        QCOMPARE(doc.encoding, QStringLiteral("gb2312"));
    }

    // 修 改 of a library script: the code tab, and 保 存 writes the file in place, silently.
    void libraryScriptBackToItsFile() {
        Bench b;
        b.pickLibraryScript();
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, b.libraryFile());
        QCOMPARE(ScriptModule::scriptDocument().encoding, QStringLiteral("utf-8"));
        b.tool(1);
        QVERIFY(!b.main().widget()->isVisible());
        QCOMPARE(b.visibleFrame(), QStringLiteral("codeEditFrame"));
        QCOMPARE(b.text("scriptNameText")->text(), QStringLiteral("示例"));
        QCOMPARE(in<QPlainTextEdit>(b.wnd(), "scriptInfoText")->toPlainText(),
                 QStringLiteral("第一行\n第二行 & <b>"));
        QCOMPARE(entries(b.pool()), QStringList({"http://a.example/", "http://b.example/"}));
        QCOMPARE(b.wnd().scriptEdit()->getScriptList(), QStringList{"jq"});
        QCOMPARE(b.wnd().skinEdit()->findChild<QListWidget*>("itemList")->count(), 2);
        QVERIFY(!b.wnd().savesThroughDialog());

        b.text("scriptAuthorText")->setText("作者丙");
        b.press("saveCommand");
        QVERIFY(platform::shownDialogs().isEmpty());
        QVERIFY(!SaveWndForm::instance().isLoaded() || !b.save().widget()->isVisible());
        const QByteArray written = readBytes(b.libraryFile());
        QCOMPARE(ScriptModule::scriptDocument().encoding, QStringLiteral("gb2312"));

        // The loaded script with the change, its code's line ends made CR LF by the editor.
        // The introduction's line ends are stored as CR LF, as the code's are.
        setDocument("示例", "function a(){\r\n  alert(1);\r\n}", kBoard);
        ScriptModule::scriptDocument().author = "作者丙";
        ScriptModule::scriptDocument().information = "第一行\r\n第二行 & <b>";
        QCOMPARE(written, savedDirectly());

        // Saving again without edits leaves the file as it is.
        b.wnd().close();
        QCoreApplication::processEvents();
        b.pickLibraryScript();
        b.tool(1);
        b.press("saveCommand");
        QCOMPARE(readBytes(b.libraryFile()), written);

        // 另 存 asks for a name even though the script has a file.
        b.press("saveOtherCommand");
        QVERIFY(b.save().widget()->isVisible());
    }

    // After 另 存 the script is the one of the new file: 保 存 writes there, and the file it
    // was saved away from keeps what it had. A line break typed with Shift+Enter in the
    // introduction is a line end.
    void saveAsThenSaveWritesTheNewFile() {
        Bench b;
        b.pickLibraryScript();
        b.tool(1);
        const QByteArray original = readBytes(b.libraryFile());
        b.text("scriptAuthorText")->setText("作者丁");
        auto* info = in<QPlainTextEdit>(b.wnd(), "scriptInfoText");
        info->clear();
        info->setFocus();
        auto typeChar = [info](const QString& c) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, c);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, c);
            QApplication::sendEvent(info, &press);
            QApplication::sendEvent(info, &release);
        };
        typeChar("一");
        QTest::keyClick(info, Qt::Key_Return, Qt::ShiftModifier);
        typeChar("二");
        b.press("saveOtherCommand");
        in<QLineEdit>(b.save(), "scriptText")->setText("副本");
        in<QPushButton>(b.save(), "saveCommand")->click();
        const QString copy = b.folder.file("script/" + kCategory + "/副本.txt");
        QVERIFY(QFile::exists(copy));
        QCOMPARE(readBytes(b.libraryFile()), original);
        QCOMPARE(ScriptModule::scriptDocument().currentScriptPath, copy);

        b.text("scriptAuthorText")->setText("作者戊");
        b.press("saveCommand");
        QVERIFY(platform::shownDialogs().isEmpty());
        QVERIFY(!b.save().widget()->isVisible());
        QCOMPARE(readBytes(b.libraryFile()), original);
        ScriptDocument back;
        QVERIFY(ScriptModule::readScriptFile(copy, back));
        QCOMPARE(back.author, QStringLiteral("作者戊"));
        QCOMPARE(back.information, QStringLiteral("一\n二"));
    }

    // A script that would not load again as it is is not saved: the user is told and the
    // file stays.
    void unsavableScriptIsRefused() {
        Bench b;
        b.pickLibraryScript();
        b.tool(1);
        const QByteArray original = readBytes(b.libraryFile());
        XmlDocument board;
        QVERIFY(board.loadXML(QString::fromUtf16(u"<list style=\"default\"><\uFFFD/></list>")));
        b.wnd().skinEdit()->setSkinData(board.documentElement());
        b.press("saveCommand");
        // The element name GBK lacks is named first; saving anyway is refused.
        QCOMPARE(platform::shownDialogs().size(), 2);
        QVERIFY(platform::shownDialogs()[0].text.contains("\n位置:界面编辑\n"));
        QCOMPARE(platform::shownDialogs()[1].text, SaveWndForm::unsavableScriptMessage());
        QCOMPARE(readBytes(b.libraryFile()), original);
    }

    // A script keeps its own plug-ins, the ones the list does not offer included; a new
    // script has none of the script before it.
    void aNewScriptHasNoPluginsOfTheLastOne() {
        Bench b;
        setDocument(QStringLiteral("示例"), QStringLiteral("x();"), kBoard);
        ScriptModule::scriptDocument().include = {"jq", "gone"};
        QVERIFY(ScriptModule::saveScriptFile(b.libraryFile()));
        ScriptModule::clearScriptDocument();
        b.pickLibraryScript();
        b.mouseOnTool(1);
        QCOMPARE(b.wnd().scriptEdit()->getScriptList(), QStringList{"jq"});
        QTest::mouseClick(in<QToolButton>(b.wnd(), "saveCommand"), Qt::LeftButton);
        ScriptDocument back;
        QVERIFY(ScriptModule::readScriptFile(b.libraryFile(), back));
        QCOMPARE(back.include, QStringList({"jq", "gone"}));

        b.wnd().close();
        QCoreApplication::processEvents();
        b.mouseOnTool(0);
        QCOMPARE(b.wnd().scriptEdit()->getScriptList(), QStringList());
        typeText(b.text("scriptNameText"), "新");
        QTest::mouseClick(in<QToolButton>(b.wnd(), "saveCommand"), Qt::LeftButton);
        QLineEdit* name = in<QLineEdit>(b.save(), "scriptText");
        typeText(name, "新");
        QTest::keyClick(name, Qt::Key_Return);  // Enter saves
        QVERIFY(!b.save().widget()->isVisible());
        QVERIFY(
            ScriptModule::readScriptFile(b.folder.file("script/" + kCategory + "/新.txt"), back));
        QCOMPARE(back.name, QStringLiteral("新"));
        QVERIFY(back.include.isEmpty());
    }

    // Before saving, the characters GBK lacks (the file would hold "?" for them) are named,
    // with where they are; "否" goes back to change them, "是" saves as the file can.
    void charactersGbkLacksAreNamedBeforeSaving_data() {
        QTest::addColumn<QString>("field");  // a one-line field of the properties tab
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("boardToo");  // a board caption "한" added as well
        QTest::addColumn<QString>("message");
        const QString tail = QStringLiteral("\n\n仍要保存吗?选\"否\"返回修改。");
        QTest::newRow("name and board")
            << "scriptNameText" << QStringLiteral("한글") << true
            << QStringLiteral(
                   "脚本中有3个字符不在GBK编码中,保存后会变成\"?\":\n한 글\n"
                   "位置:名称、界面编辑") +
                   tail;
        QTest::newRow("invisible") << "scriptAuthorText" << QString::fromUtf16(u"a\u200Bb") << false
                                   << QStringLiteral(
                                          "脚本中有1个字符不在GBK编码中,保存后会变成"
                                          "\"?\":\nU+200B\n位置:作者") +
                                          tail;
        QTest::newRow("many kinds")
            << "scriptPopText" << QStringLiteral("가나다라마바사아자아") << false
            << QStringLiteral(
                   "脚本中有10个字符不在GBK编码中,保存后会变成\"?\":\n"
                   "가 나 다 라 마 바 사 아 …\n位置:提示") +
                   tail;
    }
    void charactersGbkLacksAreNamedBeforeSaving() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, boardToo);
        QFETCH(QString, message);
        Bench b;
        b.pickLibraryScript();
        b.mouseOnTool(1);
        const QByteArray original = readBytes(b.libraryFile());
        QLineEdit* edit = b.text(field.toLatin1().constData());
        edit->end(false);
        typeText(edit, typed);
        if (boardToo) {
            SkinEditPanel* skin = b.wnd().skinEdit();
            typeText(skin->findChild<QLineEdit*>("showText"), "한");
            QTest::mouseClick(skin->findChild<QPushButton*>("addItemCommand"), Qt::LeftButton);
        }
        auto* save = in<QToolButton>(b.wnd(), "saveCommand");
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs()[0].text, message);
        QCOMPARE(platform::shownDialogs()[0].buttons, platform::MsgButtons::YesNo);
        QCOMPARE(readBytes(b.libraryFile()), original);  // back to change them
        QCOMPARE(edit->text().right(typed.size()), typed);

        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(platform::shownDialogs().size(), 2);
        ScriptDocument back;
        QVERIFY(ScriptModule::readScriptFile(b.libraryFile(), back));
        const QString stored = field == "scriptNameText"     ? back.name
                               : field == "scriptAuthorText" ? back.author
                                                             : back.toolPop;
        QCOMPARE(stored.right(typed.size()), platform::fromAnsi(platform::toAnsi(typed)));
        QVERIFY(stored.contains('?'));

        // A new script: "否" leaves the save dialog closed.
        b.wnd().close();
        QCoreApplication::processEvents();
        b.mouseOnTool(0);
        typeText(b.text(field.toLatin1().constData()), typed);
        platform::queueMessageAnswer(platform::MsgAnswer::No);
        QTest::mouseClick(save = in<QToolButton>(b.wnd(), "saveCommand"), Qt::LeftButton);
        QVERIFY(!SaveWndForm::instance().isLoaded() || !b.save().widget()->isVisible());
        platform::queueMessageAnswer(platform::MsgAnswer::Yes);
        QTest::mouseClick(in<QToolButton>(b.wnd(), "saveOtherCommand"), Qt::LeftButton);
        QVERIFY(b.save().widget()->isVisible());
    }

    // In 介绍, Enter makes a line stored as CR LF, Ctrl+Tab types a tab and Tab goes on to
    // the address pool.
    void introductionKeys() {
        Bench b;
        b.mouseOnTool(0);
        QWidget* w = b.wnd().widget();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto* info = in<QPlainTextEdit>(b.wnd(), "scriptInfoText");
        info->setFocus();
        typeText(info, "一");
        QTest::keyClick(info, Qt::Key_Return);
        typeText(info, "二");
        QTest::keyClick(info, Qt::Key_Tab, Qt::ControlModifier);
        typeText(info, "三");
        QTest::keyClick(info, Qt::Key_Tab);
        QCOMPARE(w->focusWidget(), b.pool());
        QTest::keyClick(b.pool(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(w->focusWidget(), info);
        QCOMPARE(info->toPlainText(), QStringLiteral("一\n二\t三"));
        QTest::mouseClick(in<QToolButton>(b.wnd(), "saveCommand"), Qt::LeftButton);
        QCOMPARE(ScriptModule::scriptDocument().information, QStringLiteral("一\r\n二\t三"));
    }

    // Closing clears the document; opening it again with 修 改 must not write that empty
    // document over the last script's file. With the script still picked in the library the
    // main window opens it again; with nothing picked the document stays empty.
    void closingThenModifyDoesNotOverwrite() {
        Bench b;
        b.pickLibraryScript();
        b.tool(1);
        const QByteArray before = readBytes(b.libraryFile());
        b.text("scriptNameText")->setText("未保存的修改");
        b.press("saveOtherCommand");  // the save dialog is open when the window closes
        b.wnd().close();
        QCoreApplication::processEvents();
        QVERIFY(!b.wnd().isLoaded());
        QVERIFY(b.main().widget()->isVisible());
        QVERIFY(!b.save().widget()->isVisible());
        const ScriptDocument& doc = ScriptModule::scriptDocument();
        // The picked script comes from its file again, the edit not saved is gone.
        QTRY_COMPARE(doc.name, QStringLiteral("示例"));
        QCOMPARE(doc.currentScriptPath, b.libraryFile());
        b.tool(1);
        QCOMPARE(b.text("scriptNameText")->text(), QStringLiteral("示例"));
        QVERIFY(!b.wnd().savesThroughDialog());
        QCOMPARE(readBytes(b.libraryFile()), before);

        // Nothing picked any more when the window closes: the document stays cleared.
        in<QListWidget>(b.main(), "ListFile")->clearSelection();
        b.wnd().close();
        QCoreApplication::processEvents();
        QTest::qWait(20);
        QCOMPARE(doc.name, QString());
        QVERIFY(doc.list.isNull());
        QVERIFY(doc.target.isEmpty());
        QVERIFY(doc.include.isEmpty());
        // Kept, so that 分 享 still offers the last saved file.
        QCOMPARE(doc.currentScriptPath, b.libraryFile());

        b.tool(1);
        QCOMPARE(b.text("scriptNameText")->text(), QString());  // design state again
        QVERIFY(b.wnd().savesThroughDialog());
        b.press("saveCommand");
        QVERIFY(b.save().widget()->isVisible());
        QCOMPARE(readBytes(b.libraryFile()), before);

        // Picking the script again makes 保 存 write in place once more.
        b.wnd().close();
        QCoreApplication::processEvents();
        in<QListWidget>(b.main(), "ListFile")->setCurrentRow(-1);
        b.pickLibraryScript();
        b.tool(1);
        QVERIFY(!b.wnd().savesThroughDialog());
    }

    // Shown again when the script window closes, the main window shows the properties of the
    // script picked in its library, and none when nothing is picked. Driven by clicks.
    void mainWindowShowsWhatIsPickedAfterClosing() {
        Bench b;
        QListWidget* list = in<QListWidget>(b.main(), "ListFile");
        auto* name = in<QLineEdit>(b.main(), "scriptNameText");
        auto* author = in<QLineEdit>(b.main(), "scriptAuthorText");
        auto click = [&](int tool) {
            QTest::mouseClick(in<QPushButton>(b.main(), "toolsCmd_" + QString::number(tool)),
                              Qt::LeftButton);
        };
        b.pickLibraryScript();
        QCOMPARE(name->text(), QStringLiteral("示例"));
        click(1);  // 修 改
        QVERIFY(!b.main().widget()->isVisible());
        b.wnd().close();
        QTRY_VERIFY(b.main().widget()->isVisible());
        QTest::qWait(20);
        QCOMPARE(name->text(), QStringLiteral("示例"));
        QCOMPARE(author->text(), QStringLiteral("作者甲"));
        QVERIFY(list->currentItem() && list->currentItem()->isSelected());
        QCOMPARE(ScriptModule::scriptDocument().name, QStringLiteral("示例"));

        click(0);  // 新 建: no file, nothing picked
        b.wnd().close();
        QTRY_VERIFY(b.main().widget()->isVisible());
        QTest::qWait(20);
        QVERIFY(list->selectedItems().isEmpty());
        QCOMPARE(name->text(), QString());
        QCOMPARE(author->text(), QString());
        QVERIFY(in<QPlainTextEdit>(b.main(), "scriptInfoText")->toPlainText().isEmpty());
    }

    // Only the plug-ins the downloaded list offers can be unticked; the others stay.
    void includesTheListDoesNotOffer_data() {
        QTest::addColumn<QStringList>("collection");
        QTest::addColumn<QStringList>("include");
        QTest::addColumn<bool>("untickJq");
        QTest::addColumn<QStringList>("saved");
        QTest::newRow("offered and ticked")
            << QStringList{"jq=http://x/jq.js", "util"} << QStringList{"jq", "util"} << false
            << QStringList{"jq", "util"};
        QTest::newRow("unticked") << QStringList{"jq=http://x/jq.js", "util"}
                                  << QStringList{"jq", "util"} << true << QStringList{"util"};
        QTest::newRow("no longer offered")
            << QStringList{"jq=http://x/jq.js"} << QStringList{"gone", "jq"} << false
            << QStringList{"jq", "gone"};
        QTest::newRow("list not downloaded")
            << QStringList{} << QStringList{"jq", "gone"} << false << QStringList{"jq", "gone"};
    }
    void includesTheListDoesNotOffer() {
        QFETCH(QStringList, collection);
        QFETCH(QStringList, include);
        QFETCH(bool, untickJq);
        QFETCH(QStringList, saved);
        Bench b;
        ScriptModule::setPluginCollection(collection);
        ScriptModule::scriptDocument().include = include;
        b.tool(1);  // 修 改 opens on what the document holds
        if (untickJq) {
            auto* list = b.wnd().scriptEdit()->findChild<QListWidget*>("pluginList");
            list->findItems("jq", Qt::MatchExactly).first()->setCheckState(Qt::Unchecked);
        }
        b.wnd().saveData();
        QCOMPARE(ScriptModule::scriptDocument().include, saved);
    }

    void targetAddressPool() {
        Bench b;
        b.tool(0);
        QListWidget* pool = b.pool();
        QLineEdit* url = b.text("urlText");
        url->setText("changed");
        b.button("editUrlCommand");  // no selection: nothing
        b.button("delEditCommand");
        QCOMPARE(entries(pool), QStringList{"http://"});

        url->setText("http://a/");
        b.button("addUrlCommand");
        b.button("addUrlCommand");  // repeated addresses are kept
        QCOMPARE(entries(pool), QStringList({"http://", "http://a/", "http://a/"}));
        pool->setCurrentRow(0);
        QCOMPARE(url->text(), QStringLiteral("http://"));
        url->setText("http://b/");
        b.button("editUrlCommand");
        QCOMPARE(entries(pool), QStringList({"http://b/", "http://a/", "http://a/"}));

        pool->setCurrentRow(1);
        b.button("delEditCommand");
        QCOMPARE(entries(pool), QStringList({"http://b/", "http://a/"}));
        QVERIFY(pool->selectedItems().isEmpty());
        b.button("delEditCommand");  // nothing selected any more
        QCOMPARE(pool->count(), 2);

        b.wnd().saveData();
        QCOMPARE(ScriptModule::scriptDocument().target, QStringList({"http://b/", "http://a/"}));
    }

    void iconBrowseAndPreview() {
        Bench b;
        b.tool(0);
        QLineEdit* icon = b.text("scriptIconText");
        icon->setText("typed");
        platform::queueFileAnswer(QString());  // cancelled before any choice
        b.button("showPathCommand");
        QCOMPARE(icon->text(), QString());
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, platform::DialogKind::OpenFile);
        QCOMPARE(shown[0].defaultText,
                 QStringLiteral("BMP(*.bmp)|*.bmp|JPEG(*.jpg)|*.jpg|GIF(*.gif)|*.gif"));

        platform::queueFileAnswer("/pictures/a.bmp");
        b.button("showPathCommand");
        QCOMPARE(icon->text(), QStringLiteral("/pictures/a.bmp"));
        icon->setText("typed");
        platform::queueFileAnswer(QString());
        b.button("showPathCommand");
        QCOMPARE(icon->text(), QStringLiteral("/pictures/a.bmp"));

        in<QRadioButton>(b.wnd(), "pathOption_1")->click();
        QVERIFY(!in<QPushButton>(b.wnd(), "showPathCommand")->isEnabled());
        in<QRadioButton>(b.wnd(), "pathOption_0")->click();
        QVERIFY(in<QPushButton>(b.wnd(), "showPathCommand")->isEnabled());

        QImage picture(16, 16, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString file = b.folder.file("icon.jpg");
        QVERIFY(picture.save(file, "JPG"));
        in<QRadioButton>(b.wnd(), "pathOption_1")->click();  // the option changes nothing else
        icon->setText(file);
        b.button("previewCommand");
        QLabel* shownPicture = in<QLabel>(b.wnd(), "scriptPicture");
        QCOMPARE(shownPicture->pixmap().size(), QSize(16, 16));
        QVERIFY(!QFileInfo::exists(b.folder.file("tmppp")));
    }

    void recordAndDebugHooks() {
        Bench b;
        b.tool(0);
        b.press("recordCommand");  // not wired: nothing
        b.press("debugCommand");
        int record = 0, debug = 0;
        b.wnd().windows.showRecordWindow = [&record] { ++record; };
        b.wnd().windows.showDebugWindow = [&debug] { ++debug; };
        b.text("scriptNameText")->setText("unsaved");
        b.press("recordCommand");
        b.press("debugCommand");
        QCOMPARE(record, 1);
        QCOMPARE(debug, 1);
        QCOMPARE(ScriptModule::scriptDocument().name, QString());  // the debugger saves nothing
    }

    void panelsOfAWindowNotLoaded() {
        Bench b;
        QVERIFY(!b.wnd().isLoaded());
        ScriptEditPanel* code = b.wnd().scriptEdit();
        QVERIFY(code);
        QVERIFY(b.wnd().isLoaded());
        QVERIFY(!b.wnd().widget()->isVisible());
        QCOMPARE(code->getScriptText(), QString());
        QCOMPARE(code->getScriptList(), QStringList());
        QVERIFY(!b.wnd().skinEdit()->getSkinData().hasChildNodes());
    }

    void layoutKeepsTheMinimum() {
        Bench b;
        b.tool(0);
        QWidget* w = b.wnd().widget();
        // The minimum and the layout are in the window's outer size, frame included.
        w->resize(200, 100);
        QCoreApplication::processEvents();
        QVERIFY(platform::twips(w->frameGeometry().width()) >= ScriptWndForm::kMinWidthTwips);
        QVERIFY(platform::twips(w->frameGeometry().height()) >= ScriptWndForm::kMinHeightTwips);

        w->resize(1000, 760);
        QCoreApplication::processEvents();
        QCOMPARE(w->size(), QSize(1000, 760));
        const int width = platform::twips(w->frameGeometry().width());
        const int height = platform::twips(w->frameGeometry().height());
        auto tw = [](QWidget* c) { return c->width() * 15; };
        auto th = [](QWidget* c) { return c->height() * 15; };
        auto* tools = in<QFrame>(b.wnd(), "editToolsFrame");
        auto* tabs = in<QTabWidget>(b.wnd(), "TabBoard");
        QVERIFY(qAbs(tw(tools) - (width - 400)) < 15);
        QVERIFY(qAbs(tw(tabs) - (width - 400)) < 15);
        QVERIFY(qAbs(th(tabs) - (height - th(tools) - 800)) < 15);
        for (const char* f : {"baseAttributeFrame", "codeEditFrame", "faceEditFrame"}) {
            auto* frame = in<QFrame>(b.wnd(), f);
            QVERIFY(qAbs(tw(frame) - (tw(tabs) - 200)) < 15);
            QVERIFY(qAbs(th(frame) - (th(tabs) - 500)) < 15);
            QCOMPARE(frame->pos(), in<QFrame>(b.wnd(), "baseAttributeFrame")->pos());
        }
        auto* code = in<QFrame>(b.wnd(), "codeEditFrame");
        QVERIFY(qAbs(tw(b.wnd().scriptEdit()) - (tw(code) - 300)) < 15);
        QVERIFY(qAbs(th(b.wnd().skinEdit()) - (th(code) - 400)) < 15);
    }
};

SUITE_TEST_MAIN(ScriptWndFormTest)
#include "tst_scriptwndform.moc"
