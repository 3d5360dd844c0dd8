// The board and the analysis panel float over the page; each folds to a small handle that
// leaves the page's own controls free, and moves where the user drags it, while the board's
// items stay where the script's code finds them by id.

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWebEngineView>

#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/pageinjection.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::WebBrowser;

namespace {

// A console whose controls sit where the board and the panel start: "Explore" near the top
// right corner, the output link near the bottom left one.
const char* const kConsole = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>API console</title></head>
<body style="margin:0">
<button id="explore" style="position:fixed;top:40px;right:40px;width:90px;height:30px"
 onclick="window.explored=(window.explored||0)+1">Explore</button>
<a id="output" href="#" style="position:fixed;left:140px;bottom:30px;width:80px;height:20px"
 onclick="window.opened=(window.opened||0)+1;return false">输出</a>
</body></html>
)HTML";

const char* const kBoard = R"XML(<list style="default">
<item><id>btnStart</id><show>开始采集</show><click>start()</click><style>tvButtonMain</style></item>
<enter><id>keyword</id><show>耳机</show><style>tvEnter</style></enter>
<label><id>result</id><show>已采集 0 条</show><style>tvLabel</style></label>
</list>)XML";

// The walk-through's board: a button and a display area.
const char* const kSmallBoard = R"XML(<list style="default">
<item><id>btnTitle</id><show>读取标题</show><click>start()</click><style>tvButtonMain</style></item>
<label><id>result</id><show>点击上面的按钮</show><style>tvLabel</style></label>
</list>)XML";

// A board that holds more: three buttons, a text box and two display areas.
const char* const kTallBoard = R"XML(<list style="default">
<item><id>b1</id><show>开始采集</show><click>start()</click><style>tvButtonMain</style></item>
<item><id>b2</id><show>暂停</show><click>start()</click><style>tvButton</style></item>
<item><id>b3</id><show>导出</show><click>start()</click><style>tvButton</style></item>
<enter><id>keyword</id><show>耳机</show><style>tvEnter</style></enter>
<label><id>result</id><show>已采集 0 条</show><style>tvLabel</style></label>
<label><id>note</id><show>每页 20 条</show><style>tvLabel</style></label>
</list>)XML";

const char* const kCode =
    "function start(){document.getElementById('result').innerHTML="
    "'开始: '+document.getElementById('keyword').value;}";

}  // namespace

class BoardHandlesTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    QWidget* window_ = nullptr;
    WebBrowser* wb_ = nullptr;

    QVariant eval(const QString& js) const { return wb_->Document().evaluate(js); }

    QRect rectOf(const QString& id) const {
        const QString json =
            eval(QStringLiteral("(function(){var e=document.getElementById('%1');if(!e)return '';"
                                "var r=e.getBoundingClientRect();return JSON.stringify({x:r.left,"
                                "y:r.top,w:r.width,h:r.height});})()")
                     .arg(id))
                .toString();
        const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
        return QRect(qRound(o.value("x").toDouble()), qRound(o.value("y").toDouble()),
                     qRound(o.value("w").toDouble()), qRound(o.value("h").toDouble()));
    }

    int viewWidth() const {
        return eval(QStringLiteral("document.documentElement.clientWidth")).toInt();
    }
    int viewHeight() const {
        return eval(QStringLiteral("document.documentElement.clientHeight")).toInt();
    }

    // Whether the element the user reaches at a point lies inside the element with the id.
    bool reaches(const QPoint& p, const QString& id) const {
        return eval(QStringLiteral("(function(){var e=document.elementFromPoint(%1,%2);"
                                   "var c=document.getElementById('%3');"
                                   "return !!(e&&c&&c.contains(e));})()")
                        .arg(p.x())
                        .arg(p.y())
                        .arg(id))
            .toBool();
    }

    QWidget* input() const { return wb_->view()->focusProxy(); }

    // Waits until the page has shown what was just put in or changed: a click sent sooner is
    // aimed by the engine at the page as its last frame showed it.
    bool shown() const {
        eval(QStringLiteral("(function () { window.__shown = false; requestAnimationFrame("
                            "function () { requestAnimationFrame(function () {"
                            " window.__shown = true; }); }); return true; })()"));
        return QTest::qWaitFor([&] { return eval(QStringLiteral("window.__shown")).toBool(); },
                               5000);
    }

    void click(const QPoint& p) {
        QTest::mouseMove(input(), p);
        QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    }

    void drag(const QPoint& from, const QPoint& to) {
        QTest::mouseMove(input(), from);
        QTest::mousePress(input(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 6; ++step) {
            QTest::qWait(15);
            QTest::mouseMove(input(), from + (to - from) * step / 6);
        }
        QTest::qWait(15);
        QTest::mouseRelease(input(), Qt::LeftButton, {}, to);
    }

    // The board of the skin, then the panel, as the debugger dresses a page.
    bool dressBoth(const char* boardXml) {
        if (!load()) return false;
        XmlDocument boardDoc;
        if (!boardDoc.loadXML(QString::fromUtf8(boardXml))) return false;
        const QString folder = sourceDataFolder("velmora");
        skinModule::applySkinAndRunScript(wb_->Document(),
                                          ScriptModule::readTextFile(folder + "/css/default.skin"),
                                          boardDoc.documentElement(), QString::fromUtf8(kCode));
        skinModule::injectAnalysisPanel(wb_->Document(),
                                        ScriptModule::readTextFile(folder + "/Brannet.dll"));
        return QTest::qWaitFor(
                   [&] {
                       return rectOf(QStringLiteral("velmoraBoard")).width() > 200 &&
                              rectOf(QStringLiteral("velmoraPanel")).width() > 0;
                   },
                   5000) &&
               shown();
    }

    bool load() {
        QSignalSpy done(wb_, &WebBrowser::DocumentComplete);
        wb_->Navigate(server_->url("/console.html"));
        return done.wait(15000);
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/console.html", kConsole);
        window_ = new QWidget;
        window_->resize(1000, 700);
        wb_ = new WebBrowser(window_);
        wb_->setGeometry(0, 0, 1000, 700);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }

    void cleanupTestCase() { delete window_; }

    void boardFoldsAndMoves_data() {
        QTest::addColumn<QString>("skin");
        QTest::newRow("default") << "default";
        QTest::newRow("night") << "night";
        QTest::newRow("paper") << "paper";
    }
    void boardFoldsAndMoves() {
        QFETCH(QString, skin);
        QVERIFY(load());
        XmlDocument boardDoc;
        QVERIFY(boardDoc.loadXML(QString::fromUtf8(kBoard)));
        const QString skinText =
            ScriptModule::readTextFile(sourceDataFolder("velmora") + "/css/" + skin + ".skin");
        QVERIFY(!skinText.isEmpty());
        skinModule::applySkinAndRunScript(wb_->Document(), skinText, boardDoc.documentElement(),
                                          QString::fromUtf8(kCode));
        const QString board = QStringLiteral("velmoraBoard");
        QVERIFY(QTest::qWaitFor([&] { return rectOf(board).width() > 200; }, 5000));
        QVERIFY(shown());

        // It starts in the top right corner, over the page's button.
        const int vw = viewWidth();
        const QRect open = rectOf(board);
        QCOMPARE(open.top(), 16);
        QCOMPARE(open.x() + open.width(), vw - 16);
        const QPoint explore = rectOf(QStringLiteral("explore")).center();
        QVERIFY(reaches(explore, board));

        // Folded to a handle in the same corner, the button is free again.
        click(rectOf(QStringLiteral("velmoraBoardFold")).center());
        QVERIFY(QTest::qWaitFor([&] { return rectOf(board).width() < 80; }, 5000));
        QVERIFY(shown());
        QRect handle = rectOf(board);
        QVERIFY2(handle.height() <= 40, qPrintable(QString::number(handle.height())));
        QCOMPARE(handle.top(), open.top());
        QCOMPARE(handle.x() + handle.width(), open.x() + open.width());
        QVERIFY(reaches(explore, QStringLiteral("explore")));
        click(explore);
        QVERIFY(QTest::qWaitFor([&] { return eval("window.explored").toInt() == 1; }, 5000));

        // The items stay where the code finds them.
        QCOMPARE(eval(QStringLiteral("document.getElementById('velmoraBoard')"
                                     ".contains(document.getElementById('btnStart'))"))
                     .toBool(),
                 true);
        QCOMPARE(eval(QStringLiteral("(start(), document.getElementById('result').innerHTML)"))
                     .toString(),
                 QStringLiteral("开始: 耳机"));

        // Dragged, the handle follows the mouse and stays folded.
        const QPoint from = handle.center();
        drag(from, from + QPoint(-400, 200));
        QVERIFY(QTest::qWaitFor([&] { return rectOf(board).top() == handle.top() + 200; }, 5000));
        QRect moved = rectOf(board);
        QCOMPARE(moved.x(), handle.x() - 400);
        QVERIFY(moved.width() < 80);

        // A click on the handle unfolds the board from that corner.
        click(moved.center());
        QVERIFY(QTest::qWaitFor([&] { return rectOf(board).width() > 200; }, 5000));
        const QRect again = rectOf(board);
        QCOMPARE(again.top(), moved.top());
        QCOMPARE(again.x() + again.width(), moved.x() + moved.width());

        // Open, the board moves by its bar and keeps inside the window.
        drag(again.topLeft() + QPoint(40, 12), QPoint(5, 5));
        QVERIFY(QTest::qWaitFor([&] { return rectOf(board).top() == 0; }, 5000));
        QCOMPARE(rectOf(board).x(), 0);
        QVERIFY(rectOf(board).width() > 200);
    }

    // In a page area as small as the debugger's when it opens, the panel keeps clear of the
    // board: whole when there is room below the board, scrolling its body when there is less,
    // as a handle when there is hardly any. A large window leaves it as it is.
    void panelLeavesTheBoardItsPlace_data() {
        // The page area of the debugger as it opens.
        const QSize debugger(419, 433);
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QByteArray>("board");
        QTest::addColumn<QString>("expected");  // "whole", "scrolls" or "handle"
        QTest::newRow("two items") << debugger << QByteArray(kSmallBoard) << "whole";
        QTest::newRow("three items") << debugger << QByteArray(kBoard) << "scrolls";
        QTest::newRow("six items") << debugger << QByteArray(kTallBoard) << "handle";
        QTest::newRow("six items, a large window")
            << QSize(1000, 700) << QByteArray(kTallBoard) << "whole";
    }
    void panelLeavesTheBoardItsPlace() {
        QFETCH(QSize, area);
        QFETCH(QByteArray, board);
        QFETCH(QString, expected);
        wb_->setGeometry(QRect(QPoint(0, 0), area));
        const auto restore = qScopeGuard([this] { wb_->setGeometry(0, 0, 1000, 700); });
        QVERIFY(dressBoth(board.constData()));
        const QString panel = QStringLiteral("velmoraPanel");
        const QRect boardBox = rectOf(QStringLiteral("velmoraBoard"));
        const QRect open = rectOf(panel);
        auto text = [](const QRect& r) {
            return QStringLiteral("%1,%2 %3x%4")
                .arg(r.x())
                .arg(r.y())
                .arg(r.width())
                .arg(r.height());
        };
        QVERIFY2(!open.intersects(boardBox),
                 qPrintable("panel " + text(open) + ", board " + text(boardBox)));
        // Still in its corner.
        QCOMPARE(open.x(), 16);
        QCOMPARE(open.y() + open.height(), area.height() - 16);
        const bool folded =
            eval("document.getElementById('velmoraPanel').className.indexOf('vpFolded') >= 0")
                .toBool();
        const bool scrolls = eval(
                                 "(function(){var b=document.getElementById('vpBody');"
                                 "return b.scrollHeight > b.clientHeight + 1;})()")
                                 .toBool();
        QCOMPARE(folded, expected == "handle");
        QCOMPARE(scrolls, expected == "scrolls");
        if (expected == "handle") QVERIFY(open.height() <= 40);
        if (expected != "whole") return;

        // A page error brings in the error list, and the panel still keeps clear.
        QVERIFY(!skinModule::execInPage(wb_->Document(), QStringLiteral("runner"),
                                        QStringLiteral("javascript"),
                                        QStringLiteral("throw new Error('zz9')"))
                     .isEmpty());
        QTRY_VERIFY(eval("document.getElementById('vpErrors').textContent")
                        .toString()
                        .contains(QStringLiteral("zz9")));
        QVERIFY2(!rectOf(panel).intersects(boardBox),
                 qPrintable("panel " + text(rectOf(panel)) + ", board " + text(boardBox)));
    }

    void panelFoldsAndMoves() {
        QVERIFY(load());
        const QString panelText =
            ScriptModule::readTextFile(sourceDataFolder("velmora") + "/Brannet.dll");
        skinModule::injectAnalysisPanel(wb_->Document(), panelText);
        const QString panel = QStringLiteral("velmoraPanel");
        QVERIFY(QTest::qWaitFor([&] { return rectOf(panel).width() > 300; }, 5000));

        // It starts in the bottom left corner, over the page's link.
        const int vh = viewHeight();
        const QRect open = rectOf(panel);
        QCOMPARE(open.x(), 16);
        QCOMPARE(open.y() + open.height(), vh - 16);
        const QPoint output = rectOf(QStringLiteral("output")).center();
        QVERIFY(reaches(output, panel));

        click(rectOf(QStringLiteral("vpFold")).center());
        QVERIFY(QTest::qWaitFor([&] { return rectOf(panel).width() < 100; }, 5000));
        const QRect handle = rectOf(panel);
        QVERIFY2(handle.height() <= 40, qPrintable(QString::number(handle.height())));
        QCOMPARE(handle.x(), open.x());
        QCOMPARE(handle.y() + handle.height(), open.y() + open.height());
        QVERIFY(reaches(output, QStringLiteral("output")));
        click(output);
        QVERIFY(QTest::qWaitFor([&] { return eval("window.opened").toInt() == 1; }, 5000));

        const QPoint from = handle.center();
        drag(from, from + QPoint(300, -100));
        QVERIFY(QTest::qWaitFor([&] { return rectOf(panel).x() == handle.x() + 300; }, 5000));
        const QRect moved = rectOf(panel);
        QCOMPARE(moved.y(), handle.y() - 100);
        QVERIFY(moved.width() < 100);

        click(moved.center());
        QVERIFY(QTest::qWaitFor([&] { return rectOf(panel).width() > 300; }, 5000));
        const QRect again = rectOf(panel);
        QCOMPARE(again.x(), moved.x());
        QCOMPARE(again.y() + again.height(), moved.y() + moved.height());
    }
};

SUITE_TEST_MAIN(BoardHandlesTest)
#include "tst_boardhandles.moc"
