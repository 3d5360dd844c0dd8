#include <QApplication>

#include "library/xmldocument.h"
#include "support/testenv.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

XmlDocument loaded(const QString& text) {
    XmlDocument doc;
    if (!doc.loadXML(text)) qWarning("not loaded: %s", qPrintable(text.left(80)));
    return doc;
}

}  // namespace

class XmlDocumentTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void loadThenSerialize_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("declaration loses its encoding")
            << "<?xml version=\"1.0\" encoding=\"gb2312\"?><a/>"
            << "<?xml version=\"1.0\"?>\r\n<a/>\r\n";
        QTest::newRow("empty element") << "<a></a>"
                                       << "<a/>\r\n";
        QTest::newRow("white space between elements dropped")
            << "\r\n<r>\r\n\r\n  <a>x</a>\r\n\t<b  />\r\n</r>\r\n"
            << "<r><a>x</a><b/></r>\r\n";
        QTest::newRow("white space inside text kept, line ends as LF")
            << "<r><s>\r\n\r\ncode\r\nmore\rend\r\n\r\n</s></r>"
            << "<r><s>\n\ncode\nmore\nend\n\n</s></r>\r\n";
        QTest::newRow("mixed content") << "<a> x <b/> y </a>"
                                       << "<a> x <b/> y </a>\r\n";
        QTest::newRow("entities decoded, three re-escaped")
            << "<a>&lt;&amp;&gt;&quot;&apos;&#20013;&#x41;&#13;</a>"
            << "<a>&lt;&amp;&gt;\"'\u4e2dA\r</a>\r\n";
        QTest::newRow("attribute order and quoting")
            << "<a z='1' b=\"x&quot;y\" c='&lt;&amp;&gt;' d='it&apos;s'/>"
            << "<a z=\"1\" b=\"x&quot;y\" c=\"&lt;&amp;>\" d=\"it's\"/>\r\n";
        QTest::newRow("attribute white space normalized, references kept")
            << "<a b=\"x\r\ny\tz&#10;\"/>"
            << "<a b=\"x y z\n\"/>\r\n";
        QTest::newRow("chinese") << "<名字 属性=\"值\">中文，测试</名字>"
                                 << "<名字 属性=\"值\">中文，测试</名字>\r\n";
        QTest::newRow("comments, PIs and CDATA as themselves")
            << "<!--c--><?pi some data?><a><![CDATA[<&>]]><!-- x --></a>"
            << "<!--c-->\r\n<?pi some data?>\r\n<a><![CDATA[<&>]]><!-- x --></a>\r\n";
        QTest::newRow("document type kept") << "<!DOCTYPE html>\r\n<html><p>x</p></html>"
                                            << "<!DOCTYPE html>\r\n<html><p>x</p></html>\r\n";
        QTest::newRow("byte order mark skipped") << "\ufeff<a>b</a>"
                                                 << "<a>b</a>\r\n";
    }
    void loadThenSerialize() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        XmlDocument doc;
        QVERIFY(doc.loadXML(input));
        QCOMPARE(doc.xml(), expected);
        // A node's own markup carries no line end; the document adds one per top-level node.
        QVERIFY(expected.endsWith(doc.documentElement().xml() + kCrLf));
        XmlDocument again;
        QVERIFY(again.loadXML(doc.xml()));
    }

    void builtSerialization() {
        XmlDocument doc;
        QVERIFY(!doc.appendChild(doc.createProcessingInstruction(
                                     "xml", "version=\"1.0\" encoding=\"gb2312\""))
                     .isNull());
        XmlNode root = doc.appendChild(doc.createNode("Tolvar"));
        root.appendChild(doc.createTextNode(kCrLf));
        XmlNode name = root.appendChild(doc.createElement("name"));
        name.appendChild(doc.createTextNode("a&b<c>\"d'"));
        root.appendChild(doc.createElement("empty"));
        XmlNode script = root.appendChild(doc.createElement("script"));
        script.appendChild(doc.createTextNode("\r\n\r\nvar x = 1;\r\nf();\r\n\r\n"));
        XmlNode list = root.appendChild(doc.createElement("list"));
        list.setAttribute("style", "a\"&<>");
        list.setAttribute("b", "2");
        list.setAttribute("style", "blue");

        QCOMPARE(doc.firstChild().nodeType(), XmlNode::Type::Declaration);
        QCOMPARE(doc.firstChild().getNamedItem("encoding").nodeTypedValue(), "gb2312");
        QCOMPARE(script.xml(), "<script>\r\n\r\nvar x = 1;\r\nf();\r\n\r\n</script>");
        QCOMPARE(doc.xml(),
                 "<?xml version=\"1.0\"?>\r\n<Tolvar>\r\n<name>a&amp;b&lt;c&gt;\"d'</name>"
                 "<empty/><script>\r\n\r\nvar x = 1;\r\nf();\r\n\r\n</script>"
                 "<list style=\"blue\" b=\"2\"/></Tolvar>\r\n");
        list.setAttribute("style", "a\"&<>");
        QCOMPARE(list.xml(), "<list style=\"a&quot;&amp;&lt;>\" b=\"2\"/>");
        QCOMPARE(list.getNamedItem("style").xml(), "style=\"a&quot;&amp;&lt;>\"");

        // Round trip: line ends come back as LF, the outer ones trimmed by text.
        XmlDocument back = loaded(doc.xml());
        QCOMPARE(back.getElementsByTagName("script").item(0).text(), "var x = 1;\nf();");
        QCOMPARE(back.getElementsByTagName("name").item(0).text(), "a&b<c>\"d'");
        QCOMPARE(back.getElementsByTagName("list").item(0).getAttribute("style"), "a\"&<>");
        QCOMPARE(back.firstChild().getNamedItem("encoding").isNull(), true);
    }

    void text_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        QTest::newRow("trimmed of space, tab, CR, LF only")
            << "<a> \t\r\n x \r\n y \u3000\t\r\n</a>"
            << "x \n y \u3000";
        QTest::newRow("descendants joined") << "<a>p<b>q<c>r</c></b><![CDATA[ s]]><!--no-->t</a>"
                                            << "pqr st";
        QTest::newRow("white-space-only element") << "<a>\r\n\r\n</a>"
                                                  << "";
        QTest::newRow("empty element") << "<a/>"
                                       << "";
    }
    void text() {
        QFETCH(QString, input);
        QFETCH(QString, text);
        XmlDocument doc = loaded(input);
        QCOMPARE(doc.documentElement().text(), text);
        QCOMPARE(doc.documentElement().nodeTypedValue(), text);
    }

    void readingRules() {
        XmlDocument doc = loaded(
            "<r xmlns:p=\"urn:p\"><x><n>1</n></x><n>2</n><p:n p:k=\"v\" k2=\"w\">3</p:n>text</r>");
        const XmlNodeList ns = doc.getElementsByTagName("n");
        QCOMPARE(ns.length(), 2);
        QCOMPARE(ns.item(0).text(), "1");
        QCOMPARE(ns.item(1).text(), "2");
        QVERIFY(ns.item(2).isNull());
        QVERIFY(ns.item(-1).isNull());
        QCOMPARE(doc.getElementsByTagName("N").length(), 0);
        QVERIFY(doc.getElementsByTagName("missing").item(0).text().isEmpty());
        QCOMPARE(doc.getElementsByTagName("*").length(), 5);

        const XmlNode root = doc.documentElement();
        QCOMPARE(root.childNodes().length(), 4);
        QVERIFY(root.childNodes().item(4).isNull());
        const XmlNode pn = root.childNodes().item(2);
        QCOMPARE(pn.nodeName(), "p:n");
        QCOMPARE(pn.baseName(), "n");
        QCOMPARE(pn.attributeCount(), 2);
        QCOMPARE(pn.attributeItem(0).nodeName(), "p:k");
        QCOMPARE(pn.attributeItem(0).baseName(), "k");
        QCOMPARE(pn.attributeItem(1).nodeTypedValue(), "w");
        QVERIFY(pn.attributeItem(2).isNull());
        QVERIFY(pn.getNamedItem("k").isNull());
        QCOMPARE(pn.getNamedItem("p:k").nodeType(), XmlNode::Type::Attribute);
        const XmlNode txt = root.childNodes().item(3);
        QCOMPARE(txt.nodeType(), XmlNode::Type::Text);
        QCOMPARE(txt.nodeName(), "#text");
        QVERIFY(txt.baseName().isEmpty());
        QCOMPARE(txt.parentNode(), root);
        QCOMPARE(root.parentNode().nodeType(), XmlNode::Type::Document);
        QVERIFY(root.parentNode().parentNode().isNull());

        // The first child of a document: the declaration if any, else the root element.
        XmlDocument withDecl = loaded("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Tolvar/>");
        QCOMPARE(withDecl.firstChild().nodeName(), "xml");
        QCOMPARE(withDecl.firstChild().getNamedItem("encoding").nodeTypedValue(), "gb2312");
        QCOMPARE(withDecl.childNodes().length(), 2);
        QCOMPARE(withDecl.documentElement().nodeName(), "Tolvar");
        XmlDocument withAttr = loaded("\r\n<Tolvar encoding=\"big5\"/>\r\n");
        QCOMPARE(withAttr.firstChild(), withAttr.documentElement());
        QCOMPARE(withAttr.firstChild().getNamedItem("encoding").nodeTypedValue(), "big5");
    }

    void buildingOperations() {
        XmlDocument board = loaded("<list style=\"s\"><item><id>a</id></item><line/></list>");
        XmlNode list = board.documentElement();

        // Nodes of another document are copied in; the original stays where it was.
        XmlDocument other = loaded("<enter><id>e</id></enter>");
        XmlNode foreign = other.documentElement();
        XmlNode copied = list.appendChild(foreign);
        QVERIFY(!copied.isNull() && !(copied == foreign));
        QCOMPARE(copied.ownerDocument(), board);
        QCOMPARE(other.xml(), "<enter><id>e</id></enter>\r\n");
        XmlDocument maker;
        XmlNode label = maker.createNode("label");
        QVERIFY(label.parentNode().isNull());
        label.appendChild(maker.createElement("show")).setText("L");
        XmlNode placed = list.insertBefore(label, XmlNode());  // null ref appends
        QCOMPARE(list.xml(),
                 "<list style=\"s\"><item><id>a</id></item><line/><enter><id>e</id>"
                 "</enter><label><show>L</show></label></list>");

        // Moves within the document keep node identity.
        XmlNode line = list.childNodes().item(1);
        QCOMPARE(list.insertBefore(placed, line), placed);
        QCOMPARE(list.childNodes().item(1), placed);
        XmlNode removed = list.removeChild(line);
        QCOMPARE(removed, line);
        QVERIFY(line.parentNode().isNull());
        QCOMPARE(line.xml(), "<line/>");
        XmlNode item = list.firstChild();
        QCOMPARE(list.replaceChild(line, item), item);
        QCOMPARE(item.text(), "a");  // the old node stays usable
        QCOMPARE(list.xml(),
                 "<list style=\"s\"><line/><label><show>L</show></label><enter>"
                 "<id>e</id></enter></list>");
        QVERIFY(list.removeChild(item).isNull());  // not a child any more

        // Attributes made by another document are set by value.
        XmlNode style = maker.createAttribute("style");
        style.setNodeTypedValue("red");
        list.setNamedItem(style);
        XmlNode extra = maker.createAttribute("data-x");
        extra.setText("1");
        list.setNamedItem(extra);
        QCOMPARE(list.attributeCount(), 2);
        QCOMPARE(list.getNamedItem("style").nodeTypedValue(), "red");
        list.getNamedItem("style").setNodeTypedValue("blue");
        QCOMPARE(list.getAttribute("style"), "blue");

        // setText replaces an element's children; empty text leaves none.
        XmlNode enter = list.lastChild();
        enter.setText("t<>");
        QCOMPARE(enter.xml(), "<enter>t&lt;&gt;</enter>");
        enter.setText(QString());
        QCOMPARE(enter.xml(), "<enter/>");
        QVERIFY(!enter.hasChildNodes());

        // Refused insertions change nothing.
        QVERIFY(placed.appendChild(list).isNull());    // an ancestor
        QVERIFY(placed.appendChild(placed).isNull());  // itself
        QVERIFY(board.appendChild(board.createElement("second")).isNull());
        QVERIFY(board.appendChild(board.createTextNode("x")).isNull());
        QVERIFY(list.insertBefore(board.createElement("z"), foreign).isNull());  // foreign ref
        QVERIFY(board.createElement("1bad").isNull());
        QVERIFY(board.createElement("").isNull());
        QCOMPARE(board.childNodes().length(), 1);

        // Live lists follow the tree.
        const XmlNodeList children = list.childNodes();
        const int before = children.length();
        list.appendChild(board.createElement("more"));
        QCOMPARE(children.length(), before + 1);
        QCOMPARE(board.getElementsByTagName("more").length(), 1);
    }

    void handlesOutliveTheirDocument() {
        XmlNode node;
        {
            XmlDocument doc = loaded("<a><b>kept</b></a>");
            node = doc.getElementsByTagName("b").item(0);
            QVERIFY(doc.loadXML("<c/>"));  // reloading keeps old handles valid too
            QCOMPARE(node.text(), "kept");
            QVERIFY(!doc.loadXML("<"));
            QCOMPARE(doc.childNodes().length(), 0);
        }
        QCOMPARE(node.xml(), "<b>kept</b>");
        QCOMPARE(node.ownerDocument().getElementsByTagName("b").length(), 0);
    }

    void malformed_data() {
        QTest::addColumn<QString>("input");
        QTest::newRow("empty") << QString();
        QTest::newRow("white space") << " \r\n\t";
        QTest::newRow("unclosed tag") << "<a><b></b>";
        QTest::newRow("broken start tag") << "<a x='1' y='2'";
        QTest::newRow("mismatched end tag") << "<a></b>";
        QTest::newRow("two roots") << "<a/><b/>";
        QTest::newRow("text after root") << "<a/>junk";
        QTest::newRow("text before root") << "junk<a/>";
        QTest::newRow("no root") << "<?xml version=\"1.0\"?><!-- c -->";
        QTest::newRow("bare ampersand") << "<a>Tom & Jerry</a>";
        QTest::newRow("bare ampersand in attribute") << "<a b='x&y'/>";
        QTest::newRow("undeclared entity") << "<a>&nbsp;</a>";
        QTest::newRow("reference to NUL") << "<a>&#0;</a>";
        QTest::newRow("bad reference") << "<a>&#xZZ;</a>";
        QTest::newRow("lt in attribute") << "<a b='<'/>";
        QTest::newRow("duplicate attribute") << "<a b='1' b='2'/>";
        QTest::newRow("unquoted attribute") << "<a b=1/>";
        QTest::newRow("declaration after root") << "<a/><?xml version=\"1.0\"?>";
        QTest::newRow("declaration inside") << "<a><?xml version=\"1.0\"?></a>";
        QTest::newRow("control character") << QStringLiteral("<a>\x01</a>");
        QTest::newRow("unpaired surrogate") << QString(QChar(0xD800)).prepend("<a>").append("</a>");
        QTest::newRow("cdata end in text") << "<a>]]></a>";
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i) garbage += char((i * 7919 + 13) % 256);
        QTest::newRow("garbage bytes") << QString::fromLatin1(garbage);
        QTest::newRow("garbage after tag") << QString::fromLatin1("<a>" + garbage + "</a>");
    }
    void malformed() {
        QFETCH(QString, input);
        XmlDocument doc = loaded("<old/>");
        QVERIFY(!doc.loadXML(input));
        QCOMPARE(doc.childNodes().length(), 0);
        QVERIFY(doc.firstChild().isNull());
        QVERIFY(doc.documentElement().isNull());
        QVERIFY(doc.getElementsByTagName("a").item(0).isNull());
        QCOMPARE(doc.xml(), QString());
    }

    void largeDocuments() {
        // About 5 MB of items.
        QString big = QStringLiteral("<list>");
        const QString item = QStringLiteral("<item><id>b%1</id><show>按钮 &amp; %1</show></item>");
        int count = 0;
        while (big.size() < 5 * 1024 * 1024) big += item.arg(count++);
        big += QStringLiteral("</list>");
        XmlDocument doc;
        QVERIFY(doc.loadXML(big));
        QCOMPARE(doc.documentElement().childNodes().length(), count);
        QCOMPARE(doc.getElementsByTagName("show").item(count - 1).text(),
                 QStringLiteral("按钮 & %1").arg(count - 1));
        QCOMPARE(doc.xml(), big + kCrLf);

        // Deep nesting must not exhaust the stack in any walk.
        const int depth = 200000;
        const QString deep =
            QStringLiteral("<d>").repeated(depth) + "x" + QStringLiteral("</d>").repeated(depth);
        XmlDocument nested;
        QVERIFY(nested.loadXML(deep));
        QCOMPARE(nested.xml(), deep + kCrLf);
        QCOMPARE(nested.documentElement().text(), "x");
        QCOMPARE(nested.getElementsByTagName("d").length(), depth);
    }
};

SUITE_TEST_MAIN(XmlDocumentTest)
#include "tst_xmldocument.moc"
