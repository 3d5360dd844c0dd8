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
        QTest::newRow("one text with references") << "<a>  x &amp; &lt;y&gt;&#20013;  </a>"
                                                  << "x & <y>\u4e2d";
        QTest::newRow("references to blanks alone") << "<a>&#32;&#9;</a>"
                                                    << "";
        QTest::newRow("one CDATA section") << "<a><![CDATA[ y ]]></a>"
                                           << "y";
        QTest::newRow("text and CDATA") << "<a>p<![CDATA[q]]></a>"
                                        << "pq";
        QTest::newRow("entities longer than their references")
            << "<!DOCTYPE a [<!ENTITY e 'long text'>]><a>&e;&e;</a>"
            << "long textlong text";
        QTest::newRow("entity with markup amid references")
            << "<!DOCTYPE a [<!ENTITY e '<b>in</b>'>]><a>x &e; y &amp;</a>"
            << "x in y &";
        QTest::newRow("entity of nothing") << "<!DOCTYPE a [<!ENTITY e ''>]><a>&e;</a>"
                                           << "";
        QTest::newRow("long text with references")
            << "<a>" + QString("x&lt;").repeated(100000) + "</a>" << QString("x<").repeated(100000);
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

    // XML 1.0 (fifth edition) well-formedness: each text either loads and serializes as
    // given, or (expected empty) is not well-formed and loads nothing.
    void wellFormedness_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString no;
        // Names: NameStartChar and NameChar.
        QTest::newRow("name with multiplication sign") << QStringLiteral("<a\u00d7b/>") << no;
        QTest::newRow("name with en quad") << QStringLiteral("<a\u2000b/>") << no;
        QTest::newRow("name with ideographic space") << QStringLiteral("<a\u3000b/>") << no;
        QTest::newRow("attribute name with multiplication sign")
            << QStringLiteral("<a b\u00d7='1'/>") << no;
        QTest::newRow("name starting with middle dot") << QStringLiteral("<\u00b7a/>") << no;
        QTest::newRow("name starting with combining mark") << QStringLiteral("<\u0301a/>") << no;
        QTest::newRow("name starting with digit") << "<1a/>" << no;
        QTest::newRow("end tag name with en quad") << QStringLiteral("<a\u2000></a\u2000>") << no;
        QTest::newRow("processing instruction target with multiplication sign")
            << QStringLiteral("<?p\u00d7 x?><a/>") << no;
        QTest::newRow("processing instruction target XML") << "<?XML x?><a/>" << no;
        QTest::newRow("middle dot and combining mark inside a name")
            << QStringLiteral("<a\u00b7b\u0301/>") << QStringLiteral("<a\u00b7b\u0301/>\r\n");
        QTest::newRow("ideographic full stop inside a name")
            << QStringLiteral("<\u53e5\u3002/>") << QStringLiteral("<\u53e5\u3002/>\r\n");
        QTest::newRow("chinese names, colon, dash, dot, digit")
            << QStringLiteral("<\u540d:x-1.2 \u5c5e_\u6027='v'/>")
            << QStringLiteral("<\u540d:x-1.2 \u5c5e_\u6027=\"v\"/>\r\n");
        QTest::newRow("processing instruction named xml-stylesheet")
            << "<?xml-stylesheet href='s'?><a/>"
            << "<?xml-stylesheet href='s'?>\r\n<a/>\r\n";
        // Comments.
        QTest::newRow("double hyphen in comment") << "<a><!-- a -- b --></a>" << no;
        QTest::newRow("comment ending in hyphen") << "<a><!-- a ---></a>" << no;
        QTest::newRow("double hyphen in comment before root") << "<!----- x --><a/>" << no;
        QTest::newRow("single hyphens in comment") << "<a><!-- a - b -c- --></a>"
                                                   << "<a><!-- a - b -c- --></a>\r\n";
        // The XML declaration.
        QTest::newRow("declaration without anything") << "<?xml?><a/>" << no;
        QTest::newRow("declaration without version") << "<?xml encoding='UTF-8'?><a/>" << no;
        QTest::newRow("standalone maybe") << "<?xml version='1.0' standalone='maybe'?><a/>" << no;
        QTest::newRow("version 2.0") << "<?xml version='2.0'?><a/>" << no;
        QTest::newRow("version 1.") << "<?xml version='1.'?><a/>" << no;
        QTest::newRow("standalone before encoding")
            << "<?xml version='1.0' standalone='yes' encoding='UTF-8'?><a/>" << no;
        QTest::newRow("unknown pseudo-attribute") << "<?xml version='1.0' foo='x'?><a/>" << no;
        QTest::newRow("no space between pseudo-attributes")
            << "<?xml version='1.0'encoding='UTF-8'?><a/>" << no;
        QTest::newRow("encoding starting with digit")
            << "<?xml version='1.0' encoding='8bit'?><a/>" << no;
        QTest::newRow("white space before declaration") << " <?xml version='1.0'?><a/>" << no;
        QTest::newRow("declaration in capitals") << "<?XML version='1.0'?><a/>" << no;
        QTest::newRow("full declaration")
            << "<?xml version = \"1.0\" encoding='GB_2312-80' standalone=\"no\" ?><a/>"
            << "<?xml version=\"1.0\"?>\r\n<a/>\r\n";
        QTest::newRow("version 1.1") << "<?xml version='1.1'?><a/>"
                                     << "<?xml version=\"1.0\"?>\r\n<a/>\r\n";
        // The document type declaration.
        QTest::newRow("two document types") << "<!DOCTYPE a><!DOCTYPE a><a/>" << no;
        QTest::newRow("document type without space") << "<!DOCTYPEa><a/>" << no;
        QTest::newRow("unknown declaration in subset") << "<!DOCTYPE a [<!FOO>]><a/>" << no;
        QTest::newRow("text in subset") << "<!DOCTYPE a [ x ]><a/>" << no;
        QTest::newRow("double hyphen in subset comment")
            << "<!DOCTYPE a [<!-- a -- b -->]><a/>" << no;
        QTest::newRow("parameter entity inside a declaration")
            << "<!DOCTYPE a [<!ENTITY % p 'x'><!ENTITY e '%p;'>]><a/>" << no;
        QTest::newRow("document type with external id and subset")
            << "<!DOCTYPE a PUBLIC \"-//X//DTD Y//EN\" \"y.dtd\" [\r\n<!ELEMENT a (#PCDATA|b)*>"
               "\r\n<!ATTLIST a x CDATA #IMPLIED y (p|q) 'p'>\r\n<!NOTATION n PUBLIC 'n'>"
               "\r\n<!-- c --><?pi?>\r\n]><a/>"
            << "<!DOCTYPE a PUBLIC \"-//X//DTD Y//EN\" \"y.dtd\" [\r\n<!ELEMENT a (#PCDATA|b)*>"
               "\r\n<!ATTLIST a x CDATA #IMPLIED y (p|q) 'p'>\r\n<!NOTATION n PUBLIC 'n'>"
               "\r\n<!-- c --><?pi?>\r\n]>\r\n<a/>\r\n";
        // Entities declared in the document type.
        QTest::newRow("internal entity")
            << "<!DOCTYPE a [<!ENTITY e \"x &#38;amp; y\">]><a>&e;</a>"
            << "<!DOCTYPE a [<!ENTITY e \"x &#38;amp; y\">]>\r\n<a>x &amp; y</a>\r\n";
        QTest::newRow("entity holding markup")
            << "<!DOCTYPE a [<!ENTITY b '<b k=\"v\">bold</b>'>]><a>x &b; y</a>"
            << "<!DOCTYPE a [<!ENTITY b '<b k=\"v\">bold</b>'>]>\r\n"
               "<a>x <b k=\"v\">bold</b> y</a>\r\n";
        QTest::newRow("nested entities in text and attribute")
            << "<!DOCTYPE a [<!ENTITY n 'N'><!ENTITY m '&n;-&n;'>]><a t='&m;'>&m;</a>"
            << "<!DOCTYPE a [<!ENTITY n 'N'><!ENTITY m '&n;-&n;'>]>\r\n<a t=\"N-N\">N-N</a>\r\n";
        QTest::newRow("first declaration binds")
            << "<!DOCTYPE a [<!ENTITY e '1'><!ENTITY e '2'>]><a>&e;</a>"
            << "<!DOCTYPE a [<!ENTITY e '1'><!ENTITY e '2'>]>\r\n<a>1</a>\r\n";
        QTest::newRow("declarations from a parameter entity")
            << "<!DOCTYPE a [<!ENTITY % d \"<!ENTITY e 'pe'>\"> %d;]><a>&e;</a>"
            << "<!DOCTYPE a [<!ENTITY % d \"<!ENTITY e 'pe'>\"> %d;]>\r\n<a>pe</a>\r\n";
        QTest::newRow("undeclared entity despite a document type")
            << "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&f;</a>" << no;
        QTest::newRow("recursive entity")
            << "<!DOCTYPE a [<!ENTITY e '&f;'><!ENTITY f '&e;'>]><a>&e;</a>" << no;
        QTest::newRow("entity with unbalanced markup")
            << "<!DOCTYPE a [<!ENTITY e '<b>'>]><a>&e;</b></a>" << no;
        QTest::newRow("lt in attribute through an entity")
            << "<!DOCTYPE a [<!ENTITY e '&#60;'>]><a x='&e;'/>" << no;
        QTest::newRow("external entity in content")
            << "<!DOCTYPE a [<!ENTITY e SYSTEM 'e.xml'>]><a>&e;</a>" << no;
        QTest::newRow("unparsed entity in content")
            << "<!DOCTYPE a [<!NOTATION g SYSTEM 'g'><!ENTITY e SYSTEM 'e.gif' NDATA g>]><a>&e;</a>"
            << no;
        QString laughs = QStringLiteral("<!DOCTYPE a [<!ENTITY l0 'lol'>");
        for (int i = 1; i < 20; ++i)
            laughs += QStringLiteral("<!ENTITY l%1 '%2'>")
                          .arg(i)
                          .arg(QStringLiteral("&l%1;").arg(i - 1).repeated(10));
        QTest::newRow("billion laughs") << laughs + "]><a>&l19;</a>" << no;
        // Character references: any number of digits.
        QTest::newRow("character reference with leading zeros")
            << "<a b='&#00000000000065;'>&#0000000065;&#x000000000042;</a>"
            << "<a b=\"A\">AB</a>\r\n";
        QTest::newRow("character reference beyond Unicode") << "<a>&#x0000000110000;</a>" << no;
        QTest::newRow("character references with a hundred digits")
            << "<a>&#" + QString(98, u'0') + "65;&#x" + QString(98, u'0') + "42;</a>"
            << "<a>AB</a>\r\n";
    }
    void wellFormedness() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        XmlDocument doc = loaded("<old/>");
        QCOMPARE(doc.loadXML(input), !expected.isEmpty());
        QCOMPARE(doc.xml(), expected);
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
