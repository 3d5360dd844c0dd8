#include <QApplication>

#include "library/board.h"
#include "support/testenv.h"

namespace {
const QString kItem = QStringLiteral(
    "<div id=\"$TV_ID$\" class=\"$TV_STYLE$\" $TV_ACTION$=\"$TV_FUNCTION$\" "
    "onmousemove=\"evtMenuOnmouseMove(this);\" onmouseout=\"evtMenuOnMouseOut(this);\">"
    "$TV_SHOW$</div>");
const QString kEnter = QStringLiteral(
    "<input type=\"text\" id=\"$TV_ID$\" class=\"$TV_STYLE$\" value=\"$TV_SHOW$\" />");
const QString kLabel = QStringLiteral("<div id=\"$TV_ID$\" class=\"$TV_STYLE$\">$TV_SHOW$</div>");

QString fill(QString t, const QList<QPair<QString, QString>>& tokens) {
    for (const auto& p : tokens) t.replace(p.first, p.second);
    return t;
}
}  // namespace

class BoardTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void renders_data() {
        QTest::addColumn<QString>("listXml");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no children") << "<list style=\"x\"/>"
                                     << "";
        QTest::newRow("button") << "<list><item><id>b1</id><show>Start</show><click>run();</click>"
                                   "<style>btn</style></item></list>"
                                << fill(kItem, {{"$TV_ID$", "b1"},
                                                {"$TV_STYLE$", "btn"},
                                                {"$TV_ACTION$", "onClick"},
                                                {"$TV_FUNCTION$", "run();"},
                                                {"$TV_SHOW$", "Start"}}) +
                                       "\r\n";
        QTest::newRow("button, separator, text box")
            << "<list><item><id>a</id></item><line/><enter><id>e</id><show>v</show>"
               "<style>s</style></enter></list>"
            << fill(kItem, {{"$TV_ID$", "a"}}) + "\r\n" +
                   fill(kEnter, {{"$TV_ID$", "e"}, {"$TV_SHOW$", "v"}, {"$TV_STYLE$", "s"}}) +
                   "\r\n";
        QTest::newRow("label ignores click")
            << "<list><label><click>x()</click><show>显示</show></label></list>"
            << fill(kLabel, {{"$TV_SHOW$", "显示"}}) + "\r\n";
        QTest::newRow("second value element changes nothing")
            << "<list><label><id>one</id><id>two</id></label></list>"
            << fill(kLabel, {{"$TV_ID$", "one"}}) + "\r\n";
        QTest::newRow("first value holding its own token")
            << "<list><label><id>$TV_ID$x</id><id>two</id></label></list>"
            << fill(kLabel, {{"$TV_ID$", "twox"}}) + "\r\n";
        QTest::newRow("unescaped caption") << "<list><label><show>a\"&lt;b</show></label></list>"
                                           << fill(kLabel, {{"$TV_SHOW$", "a\"<b"}}) + "\r\n";
        QTest::newRow("letter case and unknown kinds render nothing")
            << "<list><Item><id>x</id></Item><button/><line/></list>"
            << "";
        QTest::newRow("prefixed names match on the local name")
            << "<list xmlns:t=\"u\"><t:label><t:id>p</t:id></t:label></list>"
            << fill(kLabel, {{"$TV_ID$", "p"}}) + "\r\n";
    }
    void renders() {
        QFETCH(QString, listXml);
        QFETCH(QString, expected);
        XmlDocument doc;
        QVERIFY(doc.loadXML(listXml));
        QCOMPARE(skinModule::buildBoardHtml(doc.firstChild()), expected);
    }

    void noBoard() { QCOMPARE(skinModule::buildBoardHtml(XmlNode()), QString()); }

    // Ids that repeat their own token double it at every further id: 24 of them in a box of
    // a few KB would give over a hundred million characters. Such a board is refused.
    void swellingBoardIsRefused_data() {
        QTest::addColumn<int>("ids");
        QTest::addColumn<bool>("refused");
        QTest::newRow("a few") << 8 << false;  // 256 ids of 7 characters: fine
        QTest::newRow("two dozen") << 24 << true;
        QTest::newRow("sixty") << 60 << true;
    }
    void swellingBoardIsRefused() {
        QFETCH(int, ids);
        QFETCH(bool, refused);
        const QString id = QStringLiteral("<id>$TV_ID$$TV_ID$</id>");
        XmlDocument doc;
        QVERIFY(doc.loadXML("<list><label>" + id.repeated(ids) + "<show>s</show></label>" +
                            "<label><id>next</id></label></list>"));
        bool wasRefused = true;
        const QString html = skinModule::buildBoardHtml(doc.firstChild(), &wasRefused);
        QCOMPARE(wasRefused, refused);
        if (refused) {
            QVERIFY(html.isEmpty());
        } else {
            QCOMPARE(html.count(QStringLiteral("$TV_ID$")), 1 << ids);
            QVERIFY(html.endsWith(fill(kLabel, {{"$TV_ID$", "next"}}) + "\r\n"));
        }
        // An ordinary board says it was not refused.
        QVERIFY(doc.loadXML("<list><label><id>a</id></label></list>"));
        skinModule::buildBoardHtml(doc.firstChild(), &wasRefused);
        QVERIFY(!wasRefused);
    }
};

SUITE_TEST_MAIN(BoardTest)
#include "tst_board.moc"
