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
};

SUITE_TEST_MAIN(BoardTest)
#include "tst_board.moc"
