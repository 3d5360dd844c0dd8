#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "analyzer/analysiswndform.h"
#include "analyzer/nodetree.h"
#include "analyzer/nodewndform.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::BrowserArray;
using platform::WebBrowser;

namespace {

const QByteArray kPlainPage = "<html><head><title>t</title></head><body><p>hi</p></body></html>";
const QByteArray kIdsPage =
    "<!DOCTYPE html><html><head></head><body><span>x</span>"
    "<div id=\"main\"><b>a</b><i>b</i><u id=\"\">c</u></div>"
    "<p id=\"dup\">1</p><p id=\"dup\">2</p><p id=\"it's\">q</p><!--note--></body></html>";
// Far more than one page call can walk within its bound.
constexpr int kHugeElements = 700000;
const QByteArray kOpenerPage = "<html><head></head><body><p>opener</p></body></html>";
const QByteArray kPopupPage =
    "<html><head></head><body><div id=\"inpopup\">pop</div></body></html>";

}  // namespace

class AnalyzerTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    analysisWndForm& viewer_ = analysisWndForm::instance();
    nodeWndForm& nodes_ = nodeWndForm::instance();

    WebBrowser* inUse() const { return viewer_.elementInUse(); }
    QTreeWidget* tree() const { return nodes_.control<QTreeWidget>(QStringLiteral("nodeTV")); }
    QString script() const {
        return nodes_.control<QPlainTextEdit>(QStringLiteral("scriptText"))->toPlainText();
    }
    QString status() const { return nodes_.control<QLabel>(QStringLiteral("Label2"))->text(); }
    QVariant page(const QString& expression) const {
        return inUse()->Document().evaluate(expression);
    }

    static bool waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // Navigates through the address row with Enter and waits for the top-level completion.
    bool go(const QString& path) {
        auto* address = viewer_.control<QLineEdit>(QStringLiteral("Text1"));
        address->setText(server_->url(path));
        QTest::keyClick(address, Qt::Key_Return);
        if (status() != nodeWndForm::loadingText()) return false;
        return QTest::qWaitFor([&] { return status() == nodeWndForm::completeText(); }, 60000);
    }

    bool load(const QString& path) {
        if (!go(path)) return false;
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        return tree()->topLevelItemCount() == 1;
    }

    // The rows of one table share a fresh copy of the page; they change nothing in it.
    bool loadOnce(const QString& path) {
        if (inUse() && inUse()->LocationURL() == server_->url(path) &&
            tree()->topLevelItemCount() == 1)
            return true;
        return load(path);
    }

    QTreeWidgetItem* item(const QString& text, int occurrence = 0) const {
        const QList<QTreeWidgetItem*> found =
            tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return occurrence < found.size() ? found.at(occurrence) : nullptr;
    }
    static QString key(const QTreeWidgetItem* item) {
        return item->data(0, nodeWndForm::kKeyRole).toString();
    }
    static QString path(const QTreeWidgetItem* item) { return key(item).section('|', 0, 0); }

    void chooseTab(int index) {
        nodes_.control<QTabBar>(QStringLiteral("TabStrip1"))->setCurrentIndex(index);
    }
    // A real click on the node's row; its ancestors are opened first so that it shows.
    void clickNode(QTreeWidgetItem* node) {
        QVERIFY(node);
        for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
        tree()->scrollToItem(node);
        QCoreApplication::processEvents();
        const QRect row = tree()->visualItemRect(node);
        QVERIFY(row.isValid());
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(tree()->currentItem(), node);
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/plain.html", kPlainPage);
        server_->page("/ids.html", kIdsPage);
        server_->page("/opener.html", kOpenerPage);
        server_->page("/popup.html", kPopupPage);
        server_->page("/huge.html",
                      "<html><head></head><body><div style=\"display:none\"></div><script>"
                      "document.body.firstChild.innerHTML='<i></i>'.repeat(" +
                          QByteArray::number(kHugeElements) + ");</script></body></html>");
        server_->page("/bodytext.html",
                      "<html><head></head><body bgcolor=\"red\">hello<p>x</p></body></html>");
        server_->page("/spaces.html", "<html><head></head><body>\n  <p>a</p>\n\n <div></div>" +
                                          QByteArray(200, 'x') + "<!--c--></body></html>");
        server_->page("/pic.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect/></svg>",
                      "image/svg+xml");
        viewer_.show();
        QVERIFY(viewer_.isLoaded());
        QVERIFY(nodes_.isLoaded());
        QVERIFY(viewer_.widget()->isVisible());
        QVERIFY(nodes_.widget()->isVisible());
        QCOMPARE(viewer_.widget()->windowTitle(), QStringLiteral("查看页面"));
        QCOMPARE(nodes_.widget()->windowTitle(), QStringLiteral("分析窗口"));
        QCOMPARE(status(), nodeWndForm::completeText());
        QVERIFY(viewer_.analysisWB()->element(0)->Silent());
        QCOMPARE(viewer_.control<QComboBox>(QStringLiteral("newWndCombo"))->currentIndex(), 0);
    }

    void init() {
        platform::clearShownDialogs();
        chooseTab(0);
        nodes_.actionOption(10)->setChecked(true);
        nodes_.actionOption(0)->setChecked(true);
    }

    void cleanupTestCase() {
        nodes_.close();
        viewer_.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void singleText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("half") << 0.5 << ".5";
        QTest::newRow("seven digits") << 0.7055475 << ".7055475";
        QTest::newRow("rounded to seven") << 0.123456789 << ".1234568";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("tiny") << 1.0 / 16777216.0 << "5.960464E-08";
    }
    void singleText() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(nodeKey::singleText(value), text);
    }

    void firstDrawOfTheGeneratorIsTheKnownOne() {
        platform::resetRandomForTest();
        QCOMPARE(nodeKey::singleText(platform::rnd()), QStringLiteral(".7055475"));
    }

    void bodyPathWithoutIds() {
        QVERIFY(load("/plain.html"));
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("HTML"));
        QCOMPARE(key(root), QStringLiteral(".childNodes[0]"));
        QCOMPARE(root->childCount(), 2);
        QTreeWidgetItem* body = root->child(1);
        QCOMPARE(body->text(0), QStringLiteral("BODY"));
        QVERIFY(key(body).startsWith(QStringLiteral(".childNodes[0].childNodes[1]|")));
        QVERIFY(item("#hi"));
        QVERIFY(key(item("#hi")).isEmpty());

        clickNode(body);
        QCOMPARE(script(), QStringLiteral("alert(document.childNodes[0].childNodes[1].id);"));
        // Written, not run.
        QVERIFY(platform::shownDialogs().isEmpty());
        QCOMPARE(page("document.body.style.border").toString(), QStringLiteral("2px solid blue"));
        QCOMPARE(nodes_.lastHighlight, QStringLiteral("document.childNodes[0].childNodes[1]"));

        // The next outline clears the last one.
        clickNode(item("P"));
        QCOMPARE(page("document.body.style.border").toString(), QString());
        QCOMPARE(page("document.getElementsByTagName('p')[0].style.border").toString(),
                 QStringLiteral("2px solid blue"));
        QCOMPARE(page("document.querySelectorAll('#VelmoraHideScript').length").toInt(), 1);

        // The run button runs the box's text in the page.
        clickNode(body);
        nodes_.control<QPushButton>(QStringLiteral("runCommand"))->click();
        QTRY_COMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().at(0).text, QString());
    }

    void expressionsOfNodes_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("outlined");  // expression of the element outlined

        // The document type node takes place 0: the html element is child 1.
        QTest::newRow("after doctype") << "SPAN" << 0 << 0 << 17
                                       << "alert(document.childNodes[1].childNodes[1]"
                                          ".childNodes[0].innerHTML);"
                                       << "document.getElementsByTagName('span')[0]";
        QTest::newRow("id") << "DIV" << 0 << 0 << 18
                            << "alert(document.getElementById('main').outerHTML);"
                            << "document.getElementById('main')";
        QTest::newRow("child of id, empty id") << "U" << 0 << 1 << 0
                                               << "document.getElementById('main')"
                                                  ".childNodes[2].click();"
                                               << "document.getElementsByTagName('u')[0]";
        // A text node's own text, whichever tab or option; its element is outlined.
        QTest::newRow("text node, any option") << "#x" << 0 << 1 << 2
                                               << "document.childNodes[1].childNodes[1]"
                                                  ".childNodes[0].childNodes[0].nodeValue;"
                                               << "document.getElementsByTagName('span')[0]";
        QTest::newRow("comment is like text")
            << "#comment" << 0 << 0 << 15
            << "document.childNodes[1].childNodes[1].childNodes[5].nodeValue;"
            << "document.body";
        // An id that two elements share reaches only the first: the second is found by its
        // place, and it is the one outlined.
        QTest::newRow("same id, second")
            << "P" << 1 << 0 << 11
            << "alert(document.childNodes[1].childNodes[1].childNodes[3].name);"
            << "document.getElementsByTagName('p')[1]";
        QTest::newRow("operation tab") << "I" << 0 << 1 << 3
                                       << "document.getElementById('main').childNodes[1]"
                                          ".style.visibility='visible';"
                                       << "document.getElementsByTagName('i')[0]";
    }
    void expressionsOfNodes() {
        QFETCH(QString, node);
        QFETCH(int, occurrence);
        QFETCH(int, tab);
        QFETCH(int, option);
        QFETCH(QString, text);
        QFETCH(QString, outlined);
        QVERIFY(loadOnce("/ids.html"));
        chooseTab(tab);
        QCOMPARE(nodes_.control<QWidget>(QStringLiteral("showFrame"))->isVisible(), tab == 0);
        QCOMPARE(nodes_.control<QWidget>(QStringLiteral("ctrlFrame"))->isVisible(), tab == 1);
        nodes_.actionOption(option)->setChecked(true);
        clickNode(item(node, occurrence));
        QCOMPARE(script(), text);
        QCOMPARE(page(outlined + ".style.border").toString(), QStringLiteral("2px solid blue"));
        QVERIFY(platform::shownDialogs().isEmpty());
    }

    void sharedIdIsNoLocator() {
        QVERIFY(loadOnce("/ids.html"));
        QTreeWidgetItem* first = item("P", 0);
        QTreeWidgetItem* second = item("P", 1);
        QCOMPARE(path(first), QStringLiteral(".childNodes[1].childNodes[1].childNodes[2]"));
        QCOMPARE(path(second), QStringLiteral(".childNodes[1].childNodes[1].childNodes[3]"));
        QVERIFY(key(first) != key(second));
        // An id of its own still is.
        QCOMPARE(path(item("P", 2)), QStringLiteral(".getElementById('it\\'s')"));
        QCOMPARE(path(item("DIV")->child(2)),
                 QStringLiteral(".getElementById('main').childNodes[2]"));
    }

    void hideOptionHidesOnRun() {
        QVERIFY(load("/ids.html"));
        chooseTab(1);
        nodes_.actionOption(4)->setChecked(true);
        clickNode(item("U"));
        QCOMPARE(script(), QStringLiteral("document.getElementById('main').childNodes[2]"
                                          ".style.visibility='hidden';"));
        QCOMPARE(
            page("getComputedStyle(document.getElementsByTagName('u')[0]).visibility").toString(),
            QStringLiteral("visible"));
        nodes_.control<QPushButton>(QStringLiteral("runCommand"))->click();
        QCOMPARE(
            page("getComputedStyle(document.getElementsByTagName('u')[0]).visibility").toString(),
            QStringLiteral("hidden"));
    }

    // Every id, whatever it holds, gives an expression that runs and reaches its element.
    void idsAreQuoted_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("apostrophe") << QStringLiteral("it's");
        QTest::newRow("backslash") << QStringLiteral("a\\b\\'c");
        QTest::newRow("bar") << QStringLiteral("left|right");
        QTest::newRow("line ends") << QStringLiteral("one\ntwo\r\u2028three");
        QTest::newRow("double quote") << QStringLiteral("say \"hi\"");
        QTest::newRow("control and wide") << QStringLiteral("\x01\t编号");
    }
    void idsAreQuoted() {
        QFETCH(QString, id);
        QVERIFY(go("/plain.html"));
        QVERIFY(inUse()
                    ->Document()
                    .execScript(QStringLiteral(
                                    "document.getElementsByTagName('p')[0].setAttribute('id', %1);")
                                    .arg(nodeTree::quotedId(id)))
                    .ok);
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QTreeWidgetItem* p = item("P");
        QVERIFY(p);
        QVERIFY2(path(p).startsWith(QStringLiteral(".getElementById(")) &&
                     path(p).endsWith(QLatin1Char(')')),
                 qPrintable(path(p)));
        clickNode(p);
        QCOMPARE(page(QStringLiteral("document.getElementsByTagName('p')[0].style.border")),
                 QVariant(QStringLiteral("2px solid blue")));
        nodes_.control<QPushButton>(QStringLiteral("runCommand"))->click();
        QTRY_COMPARE(platform::shownDialogs().size(), 1);
        // The page's dialog shows a lone CR as a line end.
        QCOMPARE(platform::shownDialogs().at(0).text,
                 QString(id).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        QCOMPARE(page(nodes_.lastHighlight + QStringLiteral(".id")).toString(), id);
    }

    // A text node's expression reads that node, also right under the body, where the old
    // ".text" read the body's colour attribute.
    void textNodeWritesItsOwnText() {
        QVERIFY(go("/bodytext.html"));
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        clickNode(item("#hello"));
        QCOMPARE(script(),
                 QStringLiteral("document.childNodes[0].childNodes[1].childNodes[0].nodeValue;"));
        QCOMPARE(page(script().chopped(1)).toString(), QStringLiteral("hello"));
        QCOMPARE(page("document.body.style.border").toString(), QStringLiteral("2px solid blue"));
    }

    // Text nodes show on one line; the whole value is the tooltip.
    void textRowsAreOneLine() {
        QVERIFY(go("/spaces.html"));
        QVERIFY(inUse()
                    ->Document()
                    .execScript("document.body.appendChild(document.createTextNode('a\\r\\nb'));")
                    .ok);
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QTreeWidgetItem* body = tree()->topLevelItem(0)->child(1);
        QCOMPARE(body->text(0), QStringLiteral("BODY"));
        QStringList rows;
        for (int i = 0; i < body->childCount(); ++i) rows << body->child(i)->text(0);
        const QString longValue = QString(200, QLatin1Char('x'));
        QCOMPARE(rows, QStringList({QStringLiteral("#↵  "), QStringLiteral("P"),
                                    QStringLiteral("#↵↵ "), QStringLiteral("DIV"),
                                    QStringLiteral("#") + QString(80, QLatin1Char('x')) +
                                        QStringLiteral("…"),
                                    QStringLiteral("#comment"), QStringLiteral("#a↵b")}));
        for (const int i : {0, 2, 4, 6}) {
            const QString tip = body->child(i)->toolTip(0);
            const QString value =
                page(QStringLiteral("document.body.childNodes[%1].nodeValue").arg(i)).toString();
            QVERIFY(!value.isEmpty());
            QCOMPARE(QTextDocumentFragment::fromHtml(tip).toPlainText().simplified(),
                     value.simplified());
        }
        QVERIFY(body->child(4)->toolTip(0).contains(longValue));
        // The expression is the node's, whatever its row shows.
        clickNode(body->child(6));
        QCOMPARE(page(script().chopped(1)).toString(), QStringLiteral("a\r\nb"));
    }

    // The tree comes collapsed but for its root.
    void treeShowsCollapsed() {
        QVERIFY(load("/ids.html"));
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QVERIFY(root->isExpanded());
        int nodes = 0, expanded = 0;
        for (QTreeWidgetItemIterator it(tree()); *it; ++it) {
            ++nodes;
            if ((*it)->isExpanded()) ++expanded;
        }
        QVERIFY(nodes > 10);
        QCOMPARE(expanded, 1);
    }

    // Moving through the tree with the keys writes and outlines as a click does.
    void keysSelectNodes() {
        QVERIFY(load("/ids.html"));
        clickNode(tree()->topLevelItem(0));
        QCOMPARE(script(), QStringLiteral("alert(document.childNodes[1].id);"));
        tree()->setFocus();
        QTest::keyClick(tree(), Qt::Key_Down);
        QCOMPARE(tree()->currentItem()->text(0), QStringLiteral("HEAD"));
        QCOMPARE(script(), QStringLiteral("alert(document.childNodes[1].childNodes[0].id);"));
        QCOMPARE(page("document.head.style.border").toString(), QStringLiteral("2px solid blue"));
        QTest::keyClick(tree(), Qt::Key_Down);
        QCOMPARE(script(), QStringLiteral("alert(document.childNodes[1].childNodes[1].id);"));
        QCOMPARE(page("document.head.style.border").toString(), QString());
        QCOMPARE(page("document.body.style.border").toString(), QStringLiteral("2px solid blue"));
        // Opening a node selects nothing new.
        QTest::keyClick(tree(), Qt::Key_Right);
        QVERIFY(tree()->currentItem()->isExpanded());
        QCOMPARE(script(), QStringLiteral("alert(document.childNodes[1].childNodes[1].id);"));
        QTest::keyClick(tree(), Qt::Key_Down);
        QCOMPARE(tree()->currentItem()->text(0), QStringLiteral("SPAN"));
        QCOMPARE(script(),
                 QStringLiteral("alert(document.childNodes[1].childNodes[1].childNodes[0].id);"));
        QTest::keyClick(tree(), Qt::Key_End);
        QCOMPARE(tree()->currentItem()->text(0), QStringLiteral("#comment"));
        QCOMPARE(script(),
                 QStringLiteral("document.childNodes[1].childNodes[1].childNodes[5].nodeValue;"));
        QVERIFY(platform::shownDialogs().isEmpty());
    }

    // The tree and the script box grow with the window; smaller, the controls keep their
    // design places.
    void layoutGrowsTreeAndScriptBox_data() {
        QTest::addColumn<int>("wider");  // twips beyond the design client area
        QTest::addColumn<int>("taller");
        QTest::newRow("design") << 0 << 0;
        QTest::newRow("larger") << 3000 << 4500;
        QTest::newRow("smaller") << -3000 << -1500;
    }
    void layoutGrowsTreeAndScriptBox() {
        QFETCH(int, wider);
        QFETCH(int, taller);
        QWidget* window = nodes_.widget();
        window->resize(platform::px(8715 + wider), platform::px(4875 + taller));
        QCoreApplication::processEvents();
        const int dx = std::max(0, platform::twips(window->width()) - 8715);
        const int dy = std::max(0, platform::twips(window->height()) - 4875);
        const int treeDy = dy * 2 / 3;
        auto at = [](int left, int top, int width, int height) {
            return platform::twipsRect(left, top, width, height);
        };
        const std::pair<const char*, QRect> expected[] = {
            {"nodeTV", at(120, 120, 4695 + dx, 2775 + treeDy)},
            {"mainFrame", at(4920 + dx, 0, 3735, 2895 + treeDy)},
            {"TabStrip1", at(120, 3000 + treeDy, 8535 + dx, 1095)},
            {"showFrame", at(240, 3360 + treeDy, 8295 + dx, 615)},
            {"ctrlFrame", at(240, 3360 + treeDy, 8295 + dx, 615)},
            {"scriptText", at(120, 4200 + treeDy, 7215 + dx, 495 + dy - treeDy)},
            {"runCommand", at(7440 + dx, 4200 + treeDy, 1215, 495)},
        };
        for (const auto& [name, rect] : expected)
            QCOMPARE(nodes_.control<QWidget>(QString::fromLatin1(name))->geometry(), rect);
        if (wider > 0) {
            QVERIFY(tree()->height() > platform::px(2775) + 100);
            QVERIFY(nodes_.control<QWidget>(QStringLiteral("scriptText"))->height() >
                    platform::px(495) + 50);
        }
        window->resize(platform::px(8715), platform::px(4875));
    }

    // A page far larger than one page call can walk: its tree comes whole, in slices.
    void hugePageGivesItsWholeTree() {
        QVERIFY(go("/huge.html"));
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QVERIFY(platform::shownDialogs().isEmpty());
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* box = tree()->topLevelItem(0)->child(1)->child(0);
        QCOMPARE(box->text(0), QStringLiteral("DIV"));
        QCOMPARE(box->childCount(), kHugeElements);
        QTreeWidgetItem* last = box->child(kHugeElements - 1);
        QCOMPARE(last->text(0), QStringLiteral("I"));
        QCOMPARE(path(last),
                 QStringLiteral(".childNodes[0].childNodes[1].childNodes[0].childNodes[%1]")
                     .arg(kHugeElements - 1));
        tree()->clear();
    }

    // While a large tree is read, the window answers its user: a new address or a close ends
    // the build without a word.
    void hugePageBuildGivesWay_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("close") << true;
        QTest::newRow("new address") << false;
    }
    void hugePageBuildGivesWay() {
        QFETCH(bool, close);
        if (inUse()->LocationURL() != server_->url("/huge.html")) QVERIFY(go("/huge.html"));
        auto* address = viewer_.control<QLineEdit>(QStringLiteral("Text1"));
        bool acted = false;
        // The first slice alone takes longer than this.
        QTimer::singleShot(100, address, [&] {
            acted = true;
            if (close) {
                nodes_.widget()->close();
                return;
            }
            address->selectAll();
            QTest::keyClicks(address, server_->url("/plain.html"));
            QTest::keyClick(address, Qt::Key_Return);
        });
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QVERIFY(acted);
        QVERIFY(platform::shownDialogs().isEmpty());
        if (close) {
            QVERIFY(!nodes_.isLoaded());
            nodes_.show();
            QCOMPARE(tree()->topLevelItemCount(), 0);
            return;
        }
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QVERIFY(QTest::qWaitFor([&] { return status() == nodeWndForm::completeText(); }, 15000));
        QCOMPARE(inUse()->LocationURL(), server_->url("/plain.html"));
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QCOMPARE(tree()->topLevelItemCount(), 1);
    }

    // A page that does not answer gives no tree, and says so.
    void unansweringPageIsTold() {
        QVERIFY(go("/plain.html"));
        QVERIFY(inUse()
                    ->Document()
                    .execScript(
                        "setTimeout(function(){var e=Date.now()+4500;while(Date.now()<e){}},0);")
                    .ok);
        QTest::qWait(200);
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().at(0).text,
                 QStringLiteral("无法取得页面的文档树: ") + platform::pagetext::noAnswer());
        QCOMPARE(platform::shownDialogs().at(0).title, QStringLiteral("提示"));
        // Once the page answers again, its tree comes.
        QVERIFY(QTest::qWaitFor([&] { return inUse()->Document().isValid(); }, 15000));
        platform::clearShownDialogs();
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QVERIFY(platform::shownDialogs().isEmpty());
    }

    void documentWithoutHtmlGivesAnEmptyTree() {
        QVERIFY(load("/plain.html"));
        QVERIFY(go("/pic.svg"));
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QVERIFY(platform::shownDialogs().isEmpty());
    }

    void loadRefusedWhileLoading() {
        QVERIFY(load("/plain.html"));
        const int before = tree()->topLevelItem(0)->child(1)->childCount();
        server_->route("/slow.html", [](const TestServer::Request&) {
            TestServer::Response r;
            r.body = kIdsPage;
            r.delayMs = 1500;
            return r;
        });
        auto* address = viewer_.control<QLineEdit>(QStringLiteral("Text1"));
        address->setText(server_->url("/slow.html"));
        viewer_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QCOMPARE(status(), nodeWndForm::loadingText());
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QCOMPARE(platform::shownDialogs().size(), 1);
        QCOMPARE(platform::shownDialogs().at(0).text, QStringLiteral("请等待加载完成"));
        QCOMPARE(platform::shownDialogs().at(0).title, QStringLiteral("提示"));
        QCOMPARE(platform::shownDialogs().at(0).buttons, platform::MsgButtons::Ok);
        QCOMPARE(tree()->topLevelItem(0)->child(1)->childCount(), before);
        QVERIFY(QTest::qWaitFor([&] { return status() == nodeWndForm::completeText(); }, 15000));
        QCOMPARE(address->text(), server_->url("/slow.html"));
    }

    void keptPopupIsAnalysed() {
        QVERIFY(go("/opener.html"));
        QCOMPARE(viewer_.webIndex, qint16(0));
        QSignalSpy done(viewer_.analysisWB(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript("window.open('/popup.html');").ok);
        QVERIFY(waitFor(done));
        QTRY_COMPARE(inUse()->LocationURL(), server_->url("/popup.html"));
        QCOMPARE(viewer_.webIndex, qint16(1));
        QVERIFY(inUse()->Silent());
        // A navigation the page starts itself leaves the status alone.
        QCOMPARE(status(), nodeWndForm::completeText());
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QVERIFY(item("DIV"));
        clickNode(item("DIV"));
        QCOMPARE(script(), QStringLiteral("alert(document.getElementById('inpopup').id);"));
        QCOMPARE(page("document.getElementById('inpopup').style.border").toString(),
                 QStringLiteral("2px solid blue"));
        QCOMPARE(viewer_.analysisWB()
                     ->element(0)
                     ->Document()
                     .evaluate("document.querySelectorAll('#VelmoraHideScript').length")
                     .toInt(),
                 0);
    }

    void reopenedViewerStartsOnElementZero() {
        viewer_.close();
        QVERIFY(!viewer_.isLoaded());
        QVERIFY(nodes_.isLoaded());
        // Using the node window brings the page viewer back.
        nodes_.control<QPushButton>(QStringLiteral("Command1"))->click();
        QVERIFY(viewer_.isLoaded());
        QCOMPARE(viewer_.webIndex, qint16(0));
        QVERIFY(inUse());
        QVERIFY(go("/plain.html"));
        QVERIFY(load("/plain.html"));
    }

    void smallWindowGivesNoMessage() {
        viewer_.widget()->resize(20, 20);
        QCoreApplication::processEvents();
        QVERIFY(platform::shownDialogs().isEmpty());
        viewer_.widget()->resize(800, 600);
        QCoreApplication::processEvents();
        const QSize outer = viewer_.widget()->frameGeometry().size();
        // Twips come in whole pixels.
        QCOMPARE(inUse()->Height(),
                 platform::twips(platform::px(platform::twips(outer.height()) - 1100)));
        QCOMPARE(inUse()->Width(),
                 platform::twips(platform::px(platform::twips(outer.width()) - 300)));
    }
};

SUITE_TEST_MAIN(AnalyzerTest)
#include "tst_analyzer.moc"
