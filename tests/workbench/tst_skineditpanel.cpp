#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QUrl>
#include <memory>

#include "library/xmldocument.h"
#include "platform/core/random.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "support/localsecrets.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/skineditpanel.h"

namespace {

// Two skins: "a" (first) and "b" (last). "a" offers the classes red and a{color:red} only
// and holds the board token twice.
const QByteArray kSkinA =
    "<html>\r\n<style>\r\n.red\r\n  .blue\r\nx.green\r\n.a{color:red}\r\n</style>\r\n"
    "<body><div id=\"one\">$BoardTemplate$</div><div id=\"two\">$BoardTemplate$</div></body>\r\n"
    "</html>\r\n";
const QByteArray kSkinB = ".btnMain\r\n.tvNote\r\n<p>$BoardTemplate$</p>\r\n";

// A program folder with a css folder, and the panel hosted in a window shown offscreen.
struct Host {
    explicit Host(bool withSkins = true) {
        QDir().mkpath(folder.file("css"));
        if (withSkins) {
            writeBytes(folder.file("css/a.skin"), kSkinA);
            writeBytes(folder.file("css/b.skin"), kSkinB);
        }
    }
    void make() {
        window = std::make_unique<QWidget>();
        window->resize(720, 480);
        panel = new SkinEditPanel(window.get());
        window->show();
    }
    template <typename T>
    T* get(const char* name) const {
        T* c = panel->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    QListWidget* list() const { return get<QListWidget>("itemList"); }
    QComboBox* combo(const char* name) const { return get<QComboBox>(name); }
    QLineEdit* edit(const char* name) const { return get<QLineEdit>(name); }
    void click(const char* name) const { get<QPushButton>(name)->click(); }
    // A choice in a drop-down list, as the list's pop-up makes it.
    void choose(const char* name, const QString& entry) const {
        QComboBox* c = combo(name);
        const int i = c->findText(entry, Qt::MatchExactly);
        QVERIFY2(i >= 0, qPrintable(entry));
        c->setCurrentIndex(i);
        Q_EMIT c->activated(i);
    }
    QStringList entries() const {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i) out << list()->item(i)->text();
        return out;
    }
    QStringList items(const char* name) const {
        QStringList out;
        for (int i = 0; i < combo(name)->count(); ++i) out << combo(name)->itemText(i);
        return out;
    }
    // Loads a board from its XML text; the document lives as long as the returned node.
    XmlNode loadBoard(const QString& xml) {
        XmlDocument doc;
        if (!doc.loadXML(xml)) qFatal("bad board");
        const XmlNode listNode = doc.documentElement();
        panel->setSkinData(listNode);
        return listNode;
    }
    // The list's children as their id texts ("-" for a line), in order.
    QString order() const {
        QStringList out;
        const XmlNodeList children = panel->skinListNode().childNodes();
        for (int i = 0; i < children.length(); ++i) {
            const XmlNode c = children.item(i);
            const XmlNodeList ids = c.getElementsByTagName("id");
            out << (ids.length() ? ids.item(0).text() : c.baseName());
        }
        return out.join(' ');
    }

    TestProgramFolder folder;
    std::unique_ptr<QWidget> window;
    SkinEditPanel* panel = nullptr;
};

QString expectedRandomId(const QString& prefix) {
    platform::resetRandomForTest();
    const QString id = prefix + QString::number(int(999 * platform::rnd()));
    platform::resetRandomForTest();
    return id;
}

const char* const kFour =
    "<list style=\"a\"><item><id>A</id></item><item><id>B</id></item>"
    "<item><id>C</id></item><item><id>D</id></item></list>";

}  // namespace

class SkinEditPanelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void startsFromTheDesignState() {
        Host h;
        h.make();
        QCOMPARE(h.items("cssFileCombo"), QStringList({"a", "b"}));
        QCOMPARE(h.combo("cssFileCombo")->currentIndex(), -1);
        QCOMPARE(h.items("componentsCombo"), QStringList({"按钮", "分隔线", "文本框", "显示区"}));
        QCOMPARE(h.combo("componentsCombo")->currentText(), QStringLiteral("按钮"));
        QCOMPARE(h.combo("actionCombo")->currentText(), QStringLiteral("单击"));
        QCOMPARE(h.combo("styleCombo")->count(), 0);
        QCOMPARE(h.list()->count(), 0);
        for (const char* f : {"idText", "showText", "functionText"})
            QVERIFY(h.edit(f)->isEnabled());
        QVERIFY(h.panel->skinListNode().isNull());
        QVERIFY(h.panel->selectedItemNode().isNull());
        QCOMPARE(h.get<QPushButton>("moveButtomCommand")->text(), QStringLiteral("置 底"));
        QCOMPARE(h.get<QWidget>("itemList")->geometry(), QRect(8, 40, 241, 136));
        auto* wb = h.get<platform::WebBrowser>("previewWB");
        QVERIFY(wb->Silent());
        QCOMPARE(wb->Left(), 3840);
        QCOMPARE(wb->Top(), 120);
    }

    void aNewScriptGetsItsListAtTheFirstAdd() {
        Host h;
        h.make();
        h.panel->setSkinData(XmlNode());
        QCOMPARE(h.list()->count(), 0);
        // The chooser shows the skin the first add will give the board, with its classes.
        QCOMPARE(h.combo("cssFileCombo")->currentText(), QStringLiteral("a"));
        QCOMPARE(h.items("styleCombo"), QStringList({"red", "a{color:red}"}));
        QVERIFY(h.panel->skinListNode().isNull());

        const QString id = expectedRandomId("btn");
        h.edit("showText")->setText("开始");
        h.edit("functionText")->setText("start()");
        h.click("addItemCommand");
        const XmlNode list = h.panel->skinListNode();
        QVERIFY(!list.isNull());
        QCOMPARE(list.xml(),
                 "<list style=\"a\"><item><id>" + id +
                     "</id><show>开始</show><click>start()</click><style/></item></list>");
        QCOMPARE(h.entries(), QStringList{"按钮->" + id});
        QCOMPARE(h.combo("cssFileCombo")->currentText(), QStringLiteral("a"));
        QCOMPARE(h.list()->currentRow(), -1);
        for (const char* f : {"idText", "showText", "functionText"})
            QCOMPARE(h.edit(f)->text(), QString());
        QCOMPARE(h.combo("actionCombo")->currentText(), QStringLiteral("单击"));
        QCOMPARE(h.combo("componentsCombo")->currentText(), QStringLiteral("按钮"));
        // From then on each skin choice is kept in the list.
        h.choose("cssFileCombo", "b");
        QCOMPARE(list.getAttribute("style"), QStringLiteral("b"));
    }

    // The skin chooser shows the skin the board is shown in: before the first item, the one
    // the first add writes, which is the one the user chose meanwhile.
    void theChooserShowsTheSkinUsed_data() {
        QTest::addColumn<int>("keyDowns");  // Down presses in the chooser before the first add
        QTest::addColumn<QString>("skin");
        QTest::newRow("not chosen: the first skin") << 0 << "a";
        QTest::newRow("chosen before the first item") << 1 << "b";
    }
    void theChooserShowsTheSkinUsed() {
        QFETCH(int, keyDowns);
        QFETCH(QString, skin);
        Host h;
        h.make();
        h.panel->setSkinData(XmlNode());
        QComboBox* chooser = h.combo("cssFileCombo");
        QCOMPARE(chooser->currentText(), QStringLiteral("a"));
        for (int i = 0; i < keyDowns; ++i) QTest::keyClick(chooser, Qt::Key_Down);
        QCOMPARE(chooser->currentText(), skin);
        QTest::keyClicks(h.edit("idText"), "go");
        QTest::mouseClick(h.get<QPushButton>("addItemCommand"), Qt::LeftButton);
        QCOMPARE(h.panel->skinListNode().getAttribute("style"), skin);
        QCOMPARE(chooser->currentText(), skin);

        // The same for a board that the script window asks for before any item.
        Host again;
        again.make();
        again.panel->setSkinData(XmlNode());
        for (int i = 0; i < keyDowns; ++i)
            QTest::keyClick(again.combo("cssFileCombo"), Qt::Key_Down);
        QCOMPARE(again.panel->getSkinData().getAttribute("style"), skin);
        QCOMPARE(again.combo("cssFileCombo")->currentText(), skin);
    }

    // A button added without an id gets "btn" and a number from 0 to 998, drawn anew for
    // each: the lowest and the highest number come out of the panel itself.
    void defaultIdsCoverTheirRange() {
        // Where in the generator's sequence the draws for 0 and for 998 lie.
        platform::resetRandomForTest();
        int at0 = -1, at998 = -1;
        for (int i = 0; i < 200000 && (at0 < 0 || at998 < 0); ++i) {
            const int n = int(999 * platform::rnd());
            if (n == 0 && at0 < 0) at0 = i;
            if (n == 998 && at998 < 0) at998 = i;
        }
        QVERIFY(at0 >= 0 && at998 >= 0);

        Host h;
        h.make();
        h.loadBoard("<list style=\"a\"/>");
        h.choose("componentsCombo", "按钮");
        auto addedId = [&] {
            h.edit("idText")->clear();
            h.click("addItemCommand");
            const XmlNodeList items = h.panel->skinListNode().childNodes();
            return items.item(items.length() - 1).getElementsByTagName("id").item(0).text();
        };
        for (const auto& [skip, id] :
             {std::pair{at0, QStringLiteral("btn0")}, std::pair{at998, QStringLiteral("btn998")}}) {
            platform::resetRandomForTest();
            for (int i = 0; i < skip; ++i) platform::rnd();
            QCOMPARE(addedId(), id);
        }
        // And every id the panel makes is "btn" and a number in that range.
        for (int i = 0; i < 200; ++i) {
            const QString id = addedId();
            QVERIFY2(id.startsWith("btn"), qPrintable(id));
            bool ok = false;
            const int n = id.mid(3).toInt(&ok);
            QVERIFY2(ok && n >= 0 && n <= 998, qPrintable(id));
        }
    }

    void buildsEachKind_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("fieldsEmptied");
        QTest::addColumn<bool>("handlerEmptied");
        QTest::newRow("button") << "按钮"
                                << "go"
                                << "<item><id>go</id><show>S</show><click>f()</click>"
                                   "<style>red</style></item>"
                                << "按钮->go" << true << true;
        QTest::newRow("text box") << "文本框"
                                  << "name1"
                                  << "<enter><id>name1</id><show>S</show><style>red</style></enter>"
                                  << "文本框->name1" << true << false;
        QTest::newRow("display, default id")
            << "显示区"
            << ""
            << "<label><id>$ID</id><show>S</show><style>red</style></label>"
            << "显示区->$ID" << true << false;
        QTest::newRow("text box, default id")
            << "文本框"
            << ""
            << "<enter><id>$ID</id><show>S</show><style>red</style></enter>"
            << "文本框->$ID" << true << false;
        QTest::newRow("line") << "分隔线"
                              << "kept"
                              << "<line/>"
                              << "分隔线" << false << false;
    }
    void buildsEachKind() {
        QFETCH(QString, kind);
        QFETCH(QString, id);
        QFETCH(QString, xml);
        QFETCH(QString, entry);
        QFETCH(bool, fieldsEmptied);
        QFETCH(bool, handlerEmptied);
        Host h;
        h.make();
        h.loadBoard("<list style=\"a\"/>");
        const QString defaultId = expectedRandomId(kind == "显示区" ? "showBox" : "inBox");
        xml.replace("$ID", defaultId);
        entry.replace("$ID", defaultId);

        h.choose("componentsCombo", kind);
        h.choose("styleCombo", "red");
        h.edit("idText")->setText(id);
        h.edit("showText")->setText("S");
        h.edit("functionText")->setText("f()");
        h.click("addItemCommand");
        QCOMPARE(h.panel->skinListNode().xml(), "<list style=\"a\">" + xml + "</list>");
        QCOMPARE(h.entries(), QStringList{entry});
        QCOMPARE(h.edit("idText")->text().isEmpty(), fieldsEmptied);
        QCOMPARE(h.edit("showText")->text().isEmpty(), fieldsEmptied);
        QCOMPARE(h.edit("functionText")->text().isEmpty(), handlerEmptied);
        // The kind, the action and the style class stay chosen for the next item.
        QCOMPARE(h.combo("componentsCombo")->currentText(), kind);
        QCOMPARE(h.combo("actionCombo")->currentText(), QStringLiteral("单击"));
        QCOMPARE(h.combo("styleCombo")->currentText(), QStringLiteral("red"));
    }

    void kindSwitchEnablesTheKindsFields_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("valued");
        QTest::addColumn<bool>("button");
        QTest::newRow("button") << "按钮" << true << true;
        QTest::newRow("line") << "分隔线" << false << false;
        QTest::newRow("text box") << "文本框" << true << false;
        QTest::newRow("display") << "显示区" << true << false;
    }
    void kindSwitchEnablesTheKindsFields() {
        QFETCH(QString, kind);
        QFETCH(bool, valued);
        QFETCH(bool, button);
        Host h;
        h.make();
        h.edit("idText")->setText("x");
        h.choose("componentsCombo", kind);
        QCOMPARE(h.edit("idText")->isEnabled(), valued);
        QCOMPARE(h.edit("showText")->isEnabled(), valued);
        QCOMPARE(h.combo("styleCombo")->isEnabled(), valued);
        QCOMPARE(h.combo("actionCombo")->isEnabled(), button);
        QCOMPARE(h.edit("functionText")->isEnabled(), button);
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("x"));
    }

    void entriesOfALoadedList_data() {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QList<int>>("children");  // the child behind each entry
        QTest::newRow("one entry a child")
            << "<list><item/><enter><id>name1</id></enter><line/><label><id>x</id></label></list>"
            << QStringList{"按钮->未命名", "文本框->name1", "分隔线", "显示区->x"}
            << QList<int>{0, 1, 2, 3};
        QTest::newRow("children that give none or two")
            << "<list><item><show>no id</show></item><foo/><item><id>p</id><id>q</id></item>"
               "<label/></list>"
            << QStringList{"按钮->p", "按钮->q", "显示区->未命名"} << QList<int>{2, 2, 3};
        QTest::newRow("empty list") << "<list/>" << QStringList{} << QList<int>{};
    }
    void entriesOfALoadedList() {
        QFETCH(QString, xml);
        QFETCH(QStringList, entries);
        QFETCH(QList<int>, children);
        Host h;
        h.make();
        const XmlNode list = h.loadBoard(xml);
        QCOMPARE(h.entries(), entries);
        QCOMPARE(h.list()->currentRow(), -1);
        const QList<XmlNode> nodes = h.panel->entryNodes();
        QCOMPARE(nodes.size(), children.size());
        for (int i = 0; i < nodes.size(); ++i)
            QVERIFY(nodes[i] == list.childNodes().item(children[i]));
    }

    void skinOfALoadedList_data() {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("style");
        QTest::newRow("names an entry") << "<list style=\"b\"/>"
                                        << "b"
                                        << "b";
        // No skin will be found: the chooser shows none.
        QTest::newRow("names no entry") << "<list style=\"gone\"/>"
                                        << ""
                                        << "gone";
        QTest::newRow("case matters") << "<list style=\"B\"/>"
                                      << ""
                                      << "B";
        QTest::newRow("no style: the first skin") << "<list/>"
                                                  << "a"
                                                  << "a";
    }
    void skinOfALoadedList() {
        QFETCH(QString, xml);
        QFETCH(QString, chosen);
        QFETCH(QString, style);
        Host h;
        h.make();
        h.combo("cssFileCombo")->setCurrentIndex(0);  // what the chooser showed before
        const XmlNode list = h.loadBoard(xml);
        QCOMPARE(h.combo("cssFileCombo")->currentText(), chosen);
        QCOMPARE(list.getAttribute("style"), style);
    }

    void movesAndTheirRefresh_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("rowAfter");
        QTest::newRow("up on the first: nothing") << "moveUpCommand" << 0 << "A B C D" << 0;
        QTest::newRow("down on the last: nothing") << "moveDownCommand" << 3 << "A B C D" << 3;
        QTest::newRow("top on the first: refresh") << "moveTopCommand" << 0 << "A B C D" << -1;
        QTest::newRow("bottom on the last: refresh") << "moveButtomCommand" << 3 << "A B C D" << -1;
        QTest::newRow("up") << "moveUpCommand" << 2 << "A C B D" << -1;
        QTest::newRow("down") << "moveDownCommand" << 1 << "A C B D" << -1;
        QTest::newRow("down of the second-to-last") << "moveDownCommand" << 2 << "A B D C" << -1;
        QTest::newRow("top") << "moveTopCommand" << 2 << "C A B D" << -1;
        QTest::newRow("bottom") << "moveButtomCommand" << 1 << "A C D B" << -1;
        for (const char* b :
             {"moveTopCommand", "moveUpCommand", "moveDownCommand", "moveButtomCommand"})
            QTest::newRow(qPrintable(QString("no selection: ") + b)) << b << -1 << "A B C D" << -1;
    }
    void movesAndTheirRefresh() {
        QFETCH(QString, button);
        QFETCH(int, row);
        QFETCH(QString, order);
        QFETCH(int, rowAfter);
        Host h;
        h.make();
        h.loadBoard(kFour);
        h.list()->setCurrentRow(row);
        h.click(button.toLatin1().constData());
        QCOMPARE(h.order(), order);
        QCOMPARE(h.list()->currentRow(), rowAfter);
        QCOMPARE(h.entries().join(' '), QString("按钮->" + order).replace(" ", " 按钮->"));
    }

    // Children that give no entry are stepped over, so that a move always shows.
    void movesStepOverChildrenWithoutEntries_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("order");
        QTest::newRow("up past a foreign child") << "moveUpCommand" << 1 << "B A foo";
        QTest::newRow("down past a foreign child") << "moveDownCommand" << 0 << "foo B A";
        QTest::newRow("top") << "moveTopCommand" << 1 << "B A foo";
        QTest::newRow("down on the last shown: nothing") << "moveDownCommand" << 1 << "A foo B";
    }
    void movesStepOverChildrenWithoutEntries() {
        QFETCH(QString, button);
        QFETCH(int, row);
        QFETCH(QString, order);
        Host h;
        h.make();
        h.loadBoard(
            "<list style=\"a\"><item><id>A</id></item><foo/><item><id>B</id></item></list>");
        h.list()->setCurrentRow(row);
        h.click(button.toLatin1().constData());
        QCOMPARE(h.order(), order);
    }

    void deleteRemovesTheSelectedChild() {
        Host h;
        h.make();
        h.loadBoard(kFour);
        h.click("delItemCommand");  // nothing selected
        QCOMPARE(h.order(), QStringLiteral("A B C D"));
        h.list()->setCurrentRow(1);
        h.click("delItemCommand");
        QCOMPARE(h.order(), QStringLiteral("A C D"));
        QCOMPARE(h.list()->currentRow(), -1);
        // An item with two ids is one child, removed whole.
        h.loadBoard("<list><item><id>p</id><id>q</id></item><line/></list>");
        h.list()->setCurrentRow(1);
        h.click("delItemCommand");
        QCOMPARE(h.entries(), QStringList{"分隔线"});
    }

    void entryClickFillsTheFields() {
        Host h;
        h.make();
        h.loadBoard(
            "<list style=\"a\"><item><id>go</id><show>开始</show><click>start()</click>"
            "<style>red</style></item><enter><id>in</id><click>ignored()</click>"
            "<style>nosuch</style></enter><line/><item><id>bare</id></item></list>");
        h.edit("functionText")->setText("typed");
        // Selecting from code runs the click handler, as a user's click does.
        h.list()->setCurrentRow(1);
        QCOMPARE(h.combo("componentsCombo")->currentText(), QStringLiteral("文本框"));
        QVERIFY(!h.edit("functionText")->isEnabled());
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("in"));
        QCOMPARE(h.edit("functionText")->text(), QStringLiteral("typed"));  // click ignored
        QCOMPARE(h.combo("styleCombo")->currentIndex(), -1);                // no such class

        h.list()->setCurrentRow(0);
        QCOMPARE(h.combo("componentsCombo")->currentText(), QStringLiteral("按钮"));
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("go"));
        QCOMPARE(h.edit("showText")->text(), QStringLiteral("开始"));
        QCOMPARE(h.edit("functionText")->text(), QStringLiteral("start()"));
        QCOMPARE(h.combo("styleCombo")->currentText(), QStringLiteral("red"));
        QVERIFY(h.panel->selectedItemNode() == h.panel->entryNodes().at(0));

        // Missing children keep what the fields held.
        h.list()->setCurrentRow(3);
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("bare"));
        QCOMPARE(h.edit("showText")->text(), QStringLiteral("开始"));
        QCOMPARE(h.combo("styleCombo")->currentText(), QStringLiteral("red"));

        h.list()->setCurrentRow(2);
        QCOMPARE(h.combo("componentsCombo")->currentText(), QStringLiteral("分隔线"));
        QVERIFY(!h.edit("idText")->isEnabled());
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("bare"));

        // A click on the entry that is current already loads it again.
        h.edit("idText")->setText("changed");
        h.list()->setCurrentRow(0);
        h.edit("idText")->setText("changed");
        const QRect r = h.list()->visualItemRect(h.list()->item(0));
        QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("go"));
    }

    // The list getting the focus by Tab makes its first entry current without picking it:
    // the fields keep what was typed and the buttons that act on an entry do nothing. A pick
    // with Space, the arrow keys or a click fills the fields.
    void focusAlonePicksNoEntry() {
        Host h;
        h.make();
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.loadBoard(kFour);
        QTest::keyClicks(h.edit("idText"), "mine");
        QTest::keyClicks(h.edit("showText"), "typed");
        auto* preview = h.get<QPushButton>("previewCommand");
        preview->setFocus();
        QTest::keyClick(preview, Qt::Key_Tab);
        QCOMPARE(h.window->focusWidget(), h.list());
        QCOMPARE(h.list()->currentRow(), 0);  // Qt's doing
        QVERIFY(h.list()->selectedItems().isEmpty());
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("mine"));
        QCOMPARE(h.edit("showText")->text(), QStringLiteral("typed"));

        auto press = [&h](const char* name) {
            QTest::mouseClick(h.get<QPushButton>(name), Qt::LeftButton);
        };
        for (const char* b : {"delItemCommand", "moveTopCommand", "moveUpCommand",
                              "moveDownCommand", "moveButtomCommand", "editItemCommand"})
            press(b);
        QCOMPARE(h.order(), QStringLiteral("A B C D"));
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("mine"));
        press("addItemCommand");
        QCOMPARE(h.order(), QStringLiteral("A B C D mine"));
        QCOMPARE(h.panel->skinListNode().lastChild().getElementsByTagName("show").item(0).text(),
                 QStringLiteral("typed"));

        // Space picks the current entry, the arrows the next; each pick fills the fields.
        h.list()->setFocus();
        QTest::keyClick(h.list(), Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClick(h.get<QWidget>("previewCommand"), Qt::Key_Tab);
        QCOMPARE(h.list()->currentRow(), 0);
        QVERIFY(h.list()->selectedItems().isEmpty());
        QCOMPARE(h.edit("idText")->text(), QString());
        QTest::keyClick(h.list(), Qt::Key_Space);
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("A"));
        QTest::keyClick(h.list(), Qt::Key_Down);
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("B"));
        press("moveTopCommand");
        QCOMPARE(h.order(), QStringLiteral("B A C D mine"));
        const QRect c = h.list()->visualItemRect(h.list()->item(2));
        QTest::mouseClick(h.list()->viewport(), Qt::LeftButton, {}, c.center());
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("C"));
        press("delItemCommand");
        QCOMPARE(h.order(), QStringLiteral("B A D mine"));
    }

    void modifyReplacesTheClickedChild() {
        Host h;
        h.make();
        h.loadBoard(kFour);
        h.list()->setCurrentRow(1);
        h.choose("componentsCombo", "文本框");
        h.edit("idText")->setText("box");
        h.edit("showText")->setText("S");
        h.click("editItemCommand");
        QCOMPARE(h.panel->skinListNode().xml(),
                 QStringLiteral("<list style=\"a\"><item><id>A</id></item><enter><id>box</id>"
                                "<show>S</show><style/></enter><item><id>C</id></item>"
                                "<item><id>D</id></item></list>"));
        QCOMPARE(h.entries().at(1), QStringLiteral("文本框->box"));
        QCOMPARE(h.list()->currentRow(), -1);

        // The replaced child is gone: a second modify has no target and keeps the fields.
        h.edit("idText")->setText("again");
        h.click("editItemCommand");
        QCOMPARE(h.order(), QStringLiteral("A box C D"));
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("again"));
    }

    void modifyWithoutAValidTarget() {
        Host h;
        h.make();
        h.loadBoard(kFour);
        h.edit("idText")->setText("typed");
        h.click("editItemCommand");  // before any click
        QCOMPARE(h.order(), QStringLiteral("A B C D"));
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("typed"));

        h.list()->setCurrentRow(2);
        h.click("delItemCommand");
        h.edit("idText")->setText("typed");
        h.click("editItemCommand");  // the clicked child was deleted
        QCOMPARE(h.order(), QStringLiteral("A B D"));
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("typed"));

        // After a refresh no entry is picked: nothing to modify until one is.
        h.list()->setCurrentRow(0);
        h.click("moveButtomCommand");
        QCOMPARE(h.order(), QStringLiteral("B D A"));
        h.edit("idText")->setText("Z");
        h.click("editItemCommand");
        QCOMPARE(h.order(), QStringLiteral("B D A"));
        QCOMPARE(h.edit("idText")->text(), QStringLiteral("Z"));

        // A child of another list (the script window loaded another script) is no target.
        h.list()->setCurrentRow(0);
        h.loadBoard(kFour);
        h.edit("idText")->setText("typed");
        h.click("editItemCommand");
        QCOMPARE(h.order(), QStringLiteral("A B C D"));
    }

    void skinListTakesSkinFilesOnly() {
        Host h(false);
        writeBytes(h.folder.file("css/a.skin"), kSkinA);
        writeBytes(h.folder.file("css/readme.txt"), "x");
        writeBytes(h.folder.file("css/two.skin.skin"), kSkinB);
        writeBytes(h.folder.file("css/upper.SKIN"), kSkinB);
        QDir().mkpath(h.folder.file("css/old.skin"));
        h.make();
        QCOMPARE(h.items("cssFileCombo"), QStringList({"a", "two"}));
    }

    void styleClassesAreDotLines() {
        Host h;
        h.make();
        h.choose("cssFileCombo", "a");
        QCOMPARE(h.items("styleCombo"), QStringList({"red", "a{color:red}"}));
        QCOMPARE(h.combo("styleCombo")->currentIndex(), -1);
        // Without a list nothing is written; an unreadable skin offers no class.
        QVERIFY(h.panel->skinListNode().isNull());
        QFile::remove(h.folder.file("css/b.skin"));
        h.choose("cssFileCombo", "b");
        QCOMPARE(h.combo("styleCombo")->count(), 0);
        const XmlNode list = h.loadBoard("<list style=\"b\"/>");
        QCOMPARE(list.getAttribute("style"), QStringLiteral("b"));
    }

    void getSkinDataMakesAList() {
        Host h;
        h.make();
        const XmlNode list = h.panel->getSkinData();
        QCOMPARE(list.xml(), QStringLiteral("<list style=\"a\"/>"));
        QVERIFY(list == h.panel->skinListNode());
        QVERIFY(h.panel->getSkinData() == list);  // the live element, not a copy
        QCOMPARE(h.combo("cssFileCombo")->currentText(), QStringLiteral("a"));
        QCOMPARE(h.items("styleCombo"), QStringList({"red", "a{color:red}"}));
    }

    void withoutSkinsNothingIsChosen() {
        Host h(false);
        h.make();
        h.panel->setSkinData(XmlNode());
        QCOMPARE(h.combo("cssFileCombo")->currentIndex(), -1);
        QCOMPARE(h.combo("styleCombo")->count(), 0);
        h.click("addItemCommand");
        QCOMPARE(h.panel->skinListNode().attributeCount(), 0);
        QCOMPARE(h.panel->getSkinData().xml().left(6), QStringLiteral("<list>"));
    }

    void previewWritesAndShowsTheSkinPage() {
        Host h;
        h.make();
        h.panel->setSkinData(XmlNode());
        h.choose("cssFileCombo", "a");
        auto* wb = h.get<platform::WebBrowser>("previewWB");

        // Before any item: the skin alone.
        h.click("previewCommand");
        QByteArray expected = kSkinA;
        expected.replace("$BoardTemplate$", "");
        QCOMPARE(readBytes(h.folder.file("skin.htm")), expected + "\r\n");

        h.edit("idText")->setText("go");
        h.edit("showText")->setText("GO");
        h.click("addItemCommand");
        QSignalSpy done(wb, &platform::WebBrowser::DocumentComplete);
        h.click("previewCommand");
        QVERIFY(done.wait(20000));
        QCOMPARE(wb->LocationURL(), SkinEditPanel::previewAddress());
        const QByteArray page = readBytes(h.folder.file("skin.htm"));
        QCOMPARE(page.count("id=\"go\""), 2);  // the token stands twice
        const platform::PageDocument doc = wb->Document();
        QCOMPARE(doc.getElementById("two").getText("innerHTML").count("GO"), 1);

        // A changed board shows at the next preview.
        h.choose("componentsCombo", "文本框");
        h.edit("idText")->setText("in");
        h.click("addItemCommand");
        done.clear();
        h.click("previewCommand");
        QVERIFY(done.wait(20000));
        QVERIFY(!wb->Document().getElementById("in").isNull());
    }

    // A script file from a stranger whose board carries markup of its own: the preview shows
    // it, and it reads no local file and reaches no web address, whatever it tries.
    void previewOfAStrangersBoardReachesNothing() {
        LocalSecrets secrets;
        QVERIFY(secrets.isValid());
        TestServer server;
        Host h;
        h.make();
        QVERIFY(LocalSecrets::writeBeside(h.folder.file("skin.htm")));
        QStringList files = secrets.fileUrls();
        files << QUrl::fromLocalFile(h.folder.file("same.txt")).toString()
              << QUrl::fromLocalFile(h.folder.file("config.ini")).toString();
        XmlDocument doc;
        QVERIFY(doc.loadXML(
            "<list style=\"a\"><label><id>l</id><show/><style>red</style></label></list>"));
        doc.getElementsByTagName("show").item(0).setText(
            "<img src=\"x\" onerror=\"" + stealingScript(files, server.url("/sink")) + "\">");
        h.panel->setSkinData(doc.documentElement());
        h.choose("cssFileCombo", "a");
        auto* wb = h.get<platform::WebBrowser>("previewWB");
        QSignalSpy done(wb, &platform::WebBrowser::DocumentComplete);
        QTest::mouseClick(h.get<QPushButton>("previewCommand"), Qt::LeftButton);
        QVERIFY(done.wait(20000));
        QCOMPARE(wb->LocationURL(), SkinEditPanel::previewAddress());
        QTRY_VERIFY_WITH_TIMEOUT(wb->Document().evaluate("window.__done === true").toBool(), 15000);
        QCOMPARE(wb->Document().evaluate("window.__stolen").toString(), QString());
        QVERIFY(!wb->Document()
                     .evaluate("document.documentElement.outerHTML")
                     .toString()
                     .contains(QString::fromLatin1(LocalSecrets::secret())));
        QTest::qWait(300);
        QVERIFY(server.requests().isEmpty());
    }

    void previewWithoutASkin() {
        Host h(false);
        h.make();
        h.click("previewCommand");
        QCOMPARE(readBytes(h.folder.file("skin.htm")), QByteArray("\r\n"));
    }

    void browserFollowsThePanelSize() {
        Host h;
        h.make();
        auto* wb = h.get<platform::WebBrowser>("previewWB");
        h.panel->resize(700, 450);
        QCOMPARE(wb->Width(), 700 * 15 - 3840);
        QCOMPARE(wb->Height(), 450 * 15 - 120);
        // Lower than the browser's top: the height stays, the width follows.
        h.panel->resize(600, 5);
        QCOMPARE(wb->Height(), 450 * 15 - 120);
        QCOMPARE(wb->Width(), 600 * 15 - 3840);
        // Narrower than its left edge: the width stays.
        h.panel->resize(200, 300);
        QCOMPARE(wb->Width(), 600 * 15 - 3840);
        QCOMPARE(wb->Height(), 300 * 15 - 120);
    }
};

SUITE_TEST_MAIN(SkinEditPanelTest)
#include "tst_skineditpanel.moc"
