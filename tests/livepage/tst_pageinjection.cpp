#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <memory>

#include "library/base64.h"
#include "library/board.h"
#include "library/textfile.h"
#include "library/xmldocument.h"
#include "livepage/pageinjection.h"
#include "platform/core/ansi.h"
#include "platform/core/clock.h"
#include "platform/core/programfolder.h"
#include "platform/pagedocument.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"

using platform::PageDocument;
using platform::WebBrowser;

namespace {

const QString kCode = QStringLiteral("window.ran=(window.ran||'')+'code;'");
const QString kSkinScript = QStringLiteral("window.ran=(window.ran||'')+'skin;'");
const QString kTrace = QStringLiteral("script-----------------------------");

// What the injection added, read back from the page: the head's and the body's elements after
// the page's own ones (the test page has two in its head and one in its body).
const char* const kAddedParts = R"JS((function () {
  function d(e) {
    var s = e.tagName;
    if (e.id) s += '#' + e.id;
    if (e.className) s += '.' + e.className;
    if (e.tagName === 'STYLE') return s + '[' + e.type + ']{' + e.textContent + '}';
    if (e.tagName === 'SCRIPT') return s + '[' + (e.getAttribute('language') || '') + ']{' + e.text + '}';
    return s + '{' + e.innerHTML + '}';
  }
  var head = document.head ? [].slice.call(document.head.children, 2).map(d).join('|') : 'no head';
  return head + ' || ' + [].slice.call(document.body.children, 1).map(d).join('|');
})())JS";

XmlNode boardOf(XmlDocument& doc, const QString& xml) {
    if (xml.isEmpty()) return XmlNode();
    if (!doc.loadXML(xml)) return XmlNode();
    return doc.documentElement();
}

QString button(const QString& id, const QString& caption) {
    return QStringLiteral(
               "<item><id>%1</id><show>%2</show><click>go()</click><style>tvButton</style>"
               "</item>")
        .arg(id, caption);
}

// bug.log's messages, without the date and time in front of them.
QStringList logMessages() {
    const QString text = platform::fromAnsi(readBytes(platform::programFile("bug.log")));
    QStringList out;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const int at = line.indexOf(QStringLiteral("=>"));
        out << (at < 0 ? line : line.mid(at + 2));
    }
    return out;
}

QStringList shippedSkins() {
    QDir dir(sourceDataFolder("velmora") + "/css");
    QStringList out;
    for (const QString& name : dir.entryList({"*.skin"}, QDir::Files, QDir::Name))
        out << dir.filePath(name);
    return out;
}

}  // namespace

class PageInjectionTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<QWidget> window_;
    WebBrowser* wb_ = nullptr;

    PageDocument open(const QByteArray& path = "/page.html") {
        QSignalSpy done(wb_, &WebBrowser::DocumentComplete);
        wb_->Navigate(server_->url(QString::fromLatin1(path)));
        if (!done.wait(15000)) return {};
        return wb_->Document();
    }

    static QString added(const PageDocument& doc) {
        return doc.evaluate(QString::fromUtf8(kAddedParts)).toString();
    }
    static QString probe(const PageDocument& doc, const QString& expression) {
        return doc.evaluate(expression).toString();
    }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/page.html",
                      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title></head>"
                      "<body><p id=\"first\">page</p></body></html>");
        server_->page("/target.html",
                      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title></head>"
                      "<body><div id=\"target\"><span>inner</span></div>"
                      "<p style=\"height:900px\">tall</p></body></html>");
        server_->page("/strict.html",
                      "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                      "<meta http-equiv=\"Content-Security-Policy\" "
                      "content=\"style-src 'self'; script-src 'self'\"></head>"
                      "<body><p id=\"first\">page</p></body></html>");
        window_ = std::make_unique<QWidget>();
        window_->resize(1000, 700);
        wb_ = new WebBrowser(window_.get());
        wb_->setGeometry(0, 0, 1000, 700);
        wb_->show();
        window_->show();
    }

    void cleanupTestCase() { window_.reset(); }

    // ---------------------------------------------------------------- markup for the page

    void htmlMarkupRebuildsTheSameTree_data() {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("markup");
        QTest::newRow("element with content")
            << "<a href=\"x?a=1&amp;b=&quot;2&quot;\">t <b>u</b></a>"
            << "<a href=\"x?a=1&amp;b=&quot;2&quot;\">t <b>u</b></a>";
        QTest::newRow("empty div keeps its end tag") << "<div id=\"l1\" class=\"lab\"/>"
                                                     << "<div id=\"l1\" class=\"lab\"></div>";
        QTest::newRow("void element stays short") << "<input type=\"text\" value=\"v\"/>"
                                                  << "<input type=\"text\" value=\"v\"/>";
        QTest::newRow("empty inside content") << "<p><span/>x<br/></p>"
                                              << "<p><span></span>x<br/></p>";
        QTest::newRow("cdata becomes text") << "<p><![CDATA[a<b&c]]></p>"
                                            << "<p>a&lt;b&amp;c</p>";
        QTest::newRow("text escapes") << "<p>1 &lt; 2 &amp; 3 &gt; 0</p>"
                                      << "<p>1 &lt; 2 &amp; 3 &gt; 0</p>";
        QTest::newRow("comment") << "<p><!-- c --></p>"
                                 << "<p><!-- c --></p>";
    }
    void htmlMarkupRebuildsTheSameTree() {
        QFETCH(QString, xml);
        QFETCH(QString, markup);
        XmlDocument doc;
        QVERIFY(doc.loadXML(xml));
        QCOMPARE(skinModule::detail::htmlMarkup(doc.documentElement()), markup);
    }

    void htmlMarkupMatchesXmlWhereHtmlReadsItAlike() {
        XmlDocument doc;
        QVERIFY(
            doc.loadXML("<d>a<b class=\"x\" title=\"&lt;&amp;\">bold<i>it</i></b>c<input "
                        "value=\"1\"/></d>"));
        const XmlNodeList parts = doc.documentElement().childNodes();
        for (int i = 0; i < parts.length(); ++i)
            QCOMPARE(skinModule::detail::htmlMarkup(parts.item(i)), parts.item(i).xml());
    }

    // ---------------------------------------------------------------- skin dressing

    void dressing_data() {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("board");
        QTest::addColumn<bool>("withoutHead");
        QTest::addColumn<QString>("parts");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QString>("probed");

        const QString code = "SCRIPT[javascript]{" + kCode + "}";
        const QString oneButton = "<list>" + button("b1", "Go") + "</list>";

        QTest::newRow("two styles and two divs in order")
            << "<r><style>p{color:red}</style><style>b{}</style><div id=\"d1\" "
               "class=\"c1\">one</div>"
               "<script>" +
                   kSkinScript + "</script><div id=\"d2\" class=\"c2\">two</div></r>"
            << QString() << false
            << "STYLE[text/css]{p{color:red}}|STYLE[text/css]{b{}} || DIV#d1.c1{one}|"
               "SCRIPT[javascript]{" +
                   kSkinScript + "}|DIV#d2.c2{two}|" + code
            << "window.ran"
            << "skin;code;";
        QTest::newRow("other letter case, comments and text ignored")
            << "<r><Style>x{}</Style><!-- c -->text<DIV id=\"u\" class=\"u\">no</DIV>"
               "<Script>window.bad=1</Script><div id=\"d\" class=\"c\">yes</div></r>"
            << QString() << false << " || DIV#d.c{yes}|" + code << "typeof window.bad"
            << "undefined";
        QTest::newRow("div of text, element and text")
            << "<r><div id=\"m\" class=\"k\">a<b>bold</b>c</div></r>" << QString() << false
            << " || DIV#m.k{a<b>bold</b>c}|" + code << QString() << QString();
        QTest::newRow("div without id and class still added")
            << "<r><div>bare</div><div id=\"i\">only id</div></r>" << QString() << false
            << " || DIV{bare}|DIV#i{only id}|" + code << QString() << QString();
        QTest::newRow("page without head: no styles, the rest goes on")
            << "<r><style>p{}</style><div id=\"d\" class=\"c\">x</div></r>" << QString() << true
            << "no head || DIV#d.c{x}|" + code << QString() << QString();
        QTest::newRow("empty skin: only the code")
            << QString() << oneButton << false << " || " + code << QString() << QString();
        QTest::newRow("not well formed: only the code")
            << "<r><div id=\"d\" class=\"c\">x</div>" << QString() << false << " || " + code
            << QString() << QString();
        QTest::newRow("declaration first: only the code")
            << "<?xml version=\"1.0\"?><r><div id=\"d\" class=\"c\">x</div></r>" << QString()
            << false << " || " + code << QString() << QString();
        QTest::newRow("bare ampersand in a caption: only the code")
            << "<r><div id=\"d\" class=\"c\">$BoardTemplate$</div><script>" + kSkinScript +
                   "</script></r>"
            << "<list>" + button("b1", "A &amp; B") + "</list>" << false << " || " + code
            << "window.ran"
            << "code;";
        QTest::newRow("token in other letter case stays text")
            << "<r><div id=\"d\" class=\"c\">$boardtemplate$</div></r>" << oneButton << false
            << " || DIV#d.c{$boardtemplate$}|" + code << "String(document.getElementById('b1'))"
            << "null";
        QTest::newRow("token twice shows the board twice")
            << "<r><div id=\"d\" class=\"c\">$BoardTemplate$<hr/>$BoardTemplate$</div></r>"
            << oneButton << false << QString()
            << "String(document.querySelectorAll('#d [id=b1]').length)"
            << "2";
        QTest::newRow("empty display area keeps later items beside it")
            << "<r><div id=\"d\" class=\"c\"><div id=\"inner\">$BoardTemplate$</div></div></r>"
            << "<list><label><id>l1</id><show></show><style>tvLabel</style></label>" +
                   button("b1", "Go") + "</list>"
            << false << QString()
            << "document.getElementById('b1').parentNode.id + '/' + "
               "document.getElementById('l1').childNodes.length"
            << "inner/0";
    }
    void dressing() {
        QFETCH(QString, skin);
        QFETCH(QString, board);
        QFETCH(bool, withoutHead);
        QFETCH(QString, parts);
        QFETCH(QString, probe);
        QFETCH(QString, probed);
        const PageDocument doc = open();
        QVERIFY(!doc.isNull());
        if (withoutHead) doc.evaluate("document.documentElement.removeChild(document.head) && 0");
        XmlDocument boardDoc;
        skinModule::applySkinAndRunScript(doc, skin, boardOf(boardDoc, board), kCode);
        if (!parts.isEmpty()) QCOMPARE(added(doc), parts);
        if (!probe.isEmpty()) QCOMPARE(this->probe(doc, probe), probed);
        // The code is always the last thing in the body.
        QCOMPARE(this->probe(doc, "document.body.lastElementChild.text"), kCode);
    }

    // Styles of the skin, the board and the panel look the same on a page whose policy
    // forbids inline styles as on any other.
    void stylesHoldOnStrictPages_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("ordinary page") << QByteArray("/page.html");
        QTest::newRow("style-src 'self'") << QByteArray("/strict.html");
    }
    void stylesHoldOnStrictPages() {
        QFETCH(QByteArray, path);
        TestProgramFolder folder;
        const PageDocument doc = open(path);
        XmlDocument boardDoc;
        skinModule::applySkinAndRunScript(
            doc,
            "<skin><style>#frame { color: rgb(1, 2, 3); }\r\n.tvButton { background-color: "
            "rgb(4, 5, 6); }</style><div id=\"frame\" class=\"k\"><span id=\"inline\" "
            "style=\"border-left: 3px solid rgb(7, 8, 9)\">i</span>$BoardTemplate$</div></skin>",
            boardOf(boardDoc, "<list>" + button("b1", "Go") + "</list>"), kCode);
        skinModule::injectAnalysisPanel(
            doc,
            "<panel><style>#vpBox { width: 123px; }</style><div id=\"vpBox\" class=\"vp\">"
            "<b id=\"vpIn\" style=\"padding-top: 9px\">p</b></div></panel>");
        QCOMPARE(probe(doc, R"JS((function () {
            function css(id, p) { return getComputedStyle(document.getElementById(id))[p]; }
            return [css('frame', 'color'), css('b1', 'backgroundColor'),
                    css('inline', 'borderLeftWidth'), css('inline', 'borderLeftColor'),
                    css('vpBox', 'width'), css('vpIn', 'paddingTop'), window.ran].join(',');
        })())JS"),
                 QStringLiteral("rgb(1, 2, 3),rgb(4, 5, 6),3px,rgb(7, 8, 9),123px,9px,code;"));
        // A style sheet whose text changes afterwards changes the page on both.
        const platform::PageElement style = doc.getElementsByTagName("style", 0);
        QVERIFY(style.setProperty("styleSheet.cssText", "#frame { color: rgb(9, 9, 9); }").ok);
        QCOMPARE(probe(doc, "getComputedStyle(document.getElementById('frame')).color"),
                 "rgb(9, 9, 9)");
        QVERIFY(logMessages().isEmpty());
    }

    // A board that swells past all measure stays out of the page with one trace line; the
    // skin and the code go in all the same.
    void swellingBoardIsLeftOut() {
        TestProgramFolder folder;
        const PageDocument doc = open();
        XmlDocument boardDoc;
        const XmlNode board = boardOf(
            boardDoc, "<list><label>" + QStringLiteral("<id>$TV_ID$$TV_ID$</id>").repeated(30) +
                          "</label></list>");
        skinModule::applySkinAndRunScript(
            doc, "<skin><div id=\"frame\" class=\"k\">[$BoardTemplate$]</div></skin>", board,
            kCode);
        QCOMPARE(probe(doc, "document.getElementById('frame').textContent"), "[]");
        QCOMPARE(probe(doc, "window.ran"), "code;");
        const QStringList log = logMessages();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith("Description:") && log[0].contains("8 MB"), qPrintable(log[0]));
    }

    // Markup nested far deeper than any page needs (a recursive writer runs out of stack at
    // about 12,000 levels) goes into the page whole (the page's own parser flattens what passes
    // its depth), and the page and the program go on. Deeper still only makes the page's own
    // parsing outlast the call's time limit on a loaded machine.
    void deeplyNestedSkinGoesIn() {
        TestProgramFolder folder;
        constexpr int kDepth = 20000;
        const QString nested = QStringLiteral("<b>").repeated(kDepth) +
                               QStringLiteral("$BoardTemplate$") +
                               QStringLiteral("</b>").repeated(kDepth);
        XmlDocument parsed;
        QVERIFY(parsed.loadXML(nested));
        QCOMPARE(skinModule::detail::htmlMarkup(parsed.documentElement()),
                 parsed.documentElement().xml());

        const PageDocument doc = open();
        XmlDocument boardDoc;
        skinModule::applySkinAndRunScript(
            doc, "<skin><div id=\"frame\" class=\"k\">" + nested + "</div></skin>",
            boardOf(boardDoc, "<list>" + button("b1", "Go") + "</list>"), kCode);
        QCOMPARE(probe(doc, "window.ran"), "code;");
        QCOMPARE(probe(doc, "document.getElementById('b1').textContent"), "Go");
        QCOMPARE(probe(doc, "document.getElementById('frame').className"), "k");
        QVERIFY(logMessages().isEmpty());
    }

    // ---------------------------------------------------------------- shipped skins

    void shippedSkinsKeepTheirRules_data() {
        QTest::addColumn<QString>("path");
        const QStringList skins = shippedSkins();
        QVERIFY(skins.size() >= 3);
        QVERIFY(skins.contains(sourceDataFolder("velmora") + "/css/default.skin"));
        for (const QString& p : skins) QTest::newRow(qPrintable(QFileInfo(p).baseName())) << p;
    }
    void shippedSkinsKeepTheirRules() {
        QFETCH(QString, path);
        const QByteArray bytes = readBytes(path);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        QCOMPARE(platform::toAnsi(platform::fromAnsi(bytes)), bytes);  // GBK throughout
        const QString text = ScriptModule::readTextFile(path);
        QVERIFY(text.startsWith('<') && !text.startsWith("<?") && !text.startsWith("<!"));
        QCOMPARE(text.count("$BoardTemplate$"), 1);

        XmlDocument doc;
        QVERIFY(doc.loadXML(text));
        const XmlNode root = doc.childNodes().item(0);
        QCOMPARE(root.nodeType(), XmlNode::Type::Element);
        QString scripts;
        int divs = 0;
        for (XmlNode c = root.firstChild(); !c.isNull(); c = c.nextSibling()) {
            if (c.baseName() == "script") scripts += c.text();
            if (c.baseName() == "div") {
                ++divs;
                QVERIFY(!c.getNamedItem("id").isNull() && !c.getNamedItem("class").isNull());
            }
        }
        QVERIFY(divs >= 1);
        QVERIFY(scripts.contains(QRegularExpression(R"(function\s+evtMenuOnmouseMove\s*\()")));
        QVERIFY(scripts.contains(QRegularExpression(R"(function\s+evtMenuOnMouseOut\s*\()")));

        // The board still loads with the board put in: the token stands where content may.
        XmlDocument board;
        QVERIFY(board.loadXML("<list>" + button("b1", "Go") + "</list>"));
        QString dressed = text;
        dressed.replace("$BoardTemplate$", skinModule::buildBoardHtml(board.documentElement()));
        QVERIFY(XmlDocument().loadXML(dressed));

        QStringList classes;
        for (const QString& line : text.split("\r\n"))
            if (line.startsWith('.')) classes << line.mid(1);
        QVERIFY(!classes.isEmpty());
        for (const QString& c : classes)
            QVERIFY2(QRegularExpression("^[A-Za-z_][\\w-]*$").match(c).hasMatch(), qPrintable(c));
        QVERIFY(classes.contains("tvButton"));
    }

    void shippedSkinsDressAPage_data() { shippedSkinsKeepTheirRules_data(); }
    void shippedSkinsDressAPage() {
        QFETCH(QString, path);
        const PageDocument doc = open();
        XmlDocument board;
        QVERIFY(board.loadXML("<list style=\"x\">" + button("b1", "开始") +
                              "<enter><id>e1</id><show>v</show><style>tvEnter</style></enter>"
                              "<label><id>l1</id><show>结果</show><style>tvLabel</style></label>"
                              "</list>"));
        skinModule::applySkinAndRunScript(doc, ScriptModule::readTextFile(path),
                                          board.documentElement(), kCode);
        const QString checks = probe(doc, R"JS((function () {
            var board = document.getElementById('velmoraBoard');
            var b = document.getElementById('b1');
            var out = [getComputedStyle(board).position, +getComputedStyle(board).zIndex > 1000000,
                       board.contains(b), board.contains(document.getElementById('e1')),
                       getComputedStyle(b).cursor, typeof evtMenuOnmouseMove,
                       typeof evtMenuOnMouseOut];
            evtMenuOnmouseMove(b);
            var hovered = b.className;
            evtMenuOnMouseOut(b);
            out.push(hovered !== b.className, b.className, window.ran);
            return out.join(',');
        })())JS");
        QCOMPARE(checks, QStringLiteral("fixed,true,true,true,pointer,function,function,true,"
                                        "tvButton,code;"));
    }

    // ---------------------------------------------------------------- code runner

    void execInPageKeepsTheLanguageOfItsPage() {
        PageDocument doc = open();
        QCOMPARE(skinModule::execInPage(doc, "runner", "JavaScript", "window.x=1"), QString());
        QCOMPARE(probe(doc, "String(window.x)"), "1");
        // Another language later in the same page: the element keeps its first one, and the
        // code runs as JavaScript.
        QCOMPARE(skinModule::execInPage(doc, "runner", "VBScript", "window.x=2"), QString());
        QCOMPARE(probe(doc, "String(window.x)"), "2");
        QCOMPARE(probe(doc,
                       "document.querySelectorAll('[id=runner]').length + ':' + "
                       "document.getElementById('runner').getAttribute('language')"),
                 "1:JavaScript");

        // Code the page rejects: its description comes back, the element holds the text, and
        // the next call simply replaces it.
        const QString rejected = skinModule::execInPage(doc, "runner", "JavaScript", "x = (;");
        QVERIFY(!rejected.isEmpty());
        QVERIFY2(rejected.contains("SyntaxError"), qPrintable(rejected));
        QCOMPARE(probe(doc, "document.getElementById('runner').text"), "x = (;");
        QVERIFY(skinModule::execInPage(doc, "runner", "JavaScript", "throw new Error('boom')")
                    .contains("boom"));
        QCOMPARE(skinModule::execInPage(doc, "runner", "JavaScript", "window.x=3"), QString());
        QCOMPARE(probe(doc, "String(window.x)"), "3");

        // A new page: its first call decides again. A language that does not run here fails
        // with a description and makes no element, so the next run decides afresh.
        doc = open();
        QCOMPARE(skinModule::execInPage(doc, "runner", "VBScript", "window.y=1"),
                 platform::pagetext::noLanguage("VBScript"));
        QCOMPARE(probe(doc, "typeof window.y"), "undefined");
        QCOMPARE(probe(doc, "String(document.getElementById('runner'))"), "null");
        QCOMPARE(skinModule::execInPage(doc, "runner", "JavaScript", "window.y=2"), QString());
        QCOMPARE(probe(doc, "String(window.y)"), "2");
        QCOMPARE(probe(doc, "document.getElementById('runner').getAttribute('language')"),
                 "JavaScript");
        // A page's own element of that id in a language that does not run: each run fails.
        doc.execScript(
            "var s = document.createElement('script'); s.id = 'vb';"
            " s.setAttribute('language', 'VBScript'); document.body.appendChild(s);");
        QCOMPARE(skinModule::execInPage(doc, "vb", "JavaScript", "window.v=1"),
                 platform::pagetext::noLanguage("VBScript"));
        QCOMPARE(probe(doc, "typeof window.v"), "undefined");

        doc = open();
        QCOMPARE(skinModule::execInPage(doc, "VelmoraHideScript", "JScript", "window.z=1"),
                 QString());
        QCOMPARE(probe(doc, "String(window.z)"), "1");
    }

    void execInPageWithoutAPageDescribesTheFailure() {
        QVERIFY(!skinModule::execInPage(PageDocument(), "runner", "javascript", "1").isEmpty());
    }

    // ---------------------------------------------------------------- analysis panel

    void analysisPanel_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("parts");
        QTest::addColumn<QStringList>("log");  // "Description:" alone: any description

        const auto enc = [](const QString& js) { return BASE64Module::base64Encode(js); };
        const QString p1 = "window.p=(window.p||'')+'1;'";
        const QString p2 = "window.p=(window.p||'')+'2;'";
        QTest::newRow("empty") << QString() << " || " << QStringList{"Description:"};
        QTest::newRow("not well formed") << "<p><div id=\"a\" class=\"x\">1</div>"
                                         << " || " << QStringList{"Description:"};
        QTest::newRow("declaration first")
            << "<?xml version=\"1.0\"?><p><div id=\"a\" class=\"x\">1</div></p>"
            << " || " << QStringList{"Description:"};
        QTest::newRow("two scripts, traced each")
            << "<p><style>q{}</style><div id=\"pd\" class=\"pc\">hi</div><script>" + enc(p1) +
                   "</script><script>" + enc(p2) + "</script></p>"
            << "STYLE[text/css]{q{}} || DIV#pd.pc{hi}|SCRIPT[javascript]{" + p1 +
                   "}|SCRIPT[javascript]{" + p2 + "}"
            << QStringList{kTrace, kTrace};
        QTest::newRow("div without class ends it there")
            << "<p><div id=\"a\" class=\"x\">1</div><div id=\"b\">2</div><script>" + enc(p1) +
                   "</script></p>"
            << " || DIV#a.x{1}" << QStringList{"Description:div 元素缺少属性: class"};
        QTest::newRow("script that fails ends it")
            << "<p><script>" + enc("throw new Error('boom')") +
                   "</script><div id=\"a\" class=\"x\">1</div></p>"
            << " || SCRIPT[javascript]{throw new Error('boom')}"
            << QStringList{kTrace, "Description:Uncaught Error: boom"};
    }
    void analysisPanel() {
        QFETCH(QString, panel);
        QFETCH(QString, parts);
        QFETCH(QStringList, log);
        TestProgramFolder folder;
        const PageDocument doc = open();
        skinModule::injectAnalysisPanel(doc, panel);
        QCOMPARE(added(doc), parts);
        const QStringList written = logMessages();
        QCOMPARE(written.size(), log.size());
        for (int i = 0; i < log.size(); ++i) {
            if (log[i] == "Description:")
                QVERIFY2(written[i].size() > 12 && written[i].startsWith(log[i]),
                         qPrintable(written[i]));
            else
                QCOMPARE(written[i], log[i]);
        }
    }

    void shippedPanelShowsTheElementUnderTheMouse() {
        TestProgramFolder folder("velmora");
        const QString text = ScriptModule::readTextFile(folder.file("Brannet.dll"));
        XmlDocument xml;
        QVERIFY(xml.loadXML(text));
        QCOMPARE(xml.childNodes().item(0).nodeType(), XmlNode::Type::Element);

        const PageDocument doc = open("/target.html");
        skinModule::injectAnalysisPanel(doc, text);
        QCOMPARE(logMessages(), QStringList{kTrace});
        QVERIFY(!doc.getElementById("velmoraPanel").isNull());

        doc.evaluate(
            "document.querySelector('#target span').dispatchEvent("
            "new MouseEvent('mousemove', {bubbles: true})) && 0");
        QTRY_COMPARE(probe(doc, "document.getElementById('vpPath').value"),
                     QStringLiteral("document.getElementById('target').childNodes[0]"));
        QCOMPARE(probe(doc, "document.getElementById('vpTag').textContent"), "span");
        QCOMPARE(probe(doc, "document.getElementById('vpText').textContent"), "inner");
        QVERIFY(probe(doc, "document.getElementById('vpCheck').textContent").contains("可用"));

        // The evaluation line works on the element shown.
        doc.evaluate(
            "(function () { var e = document.getElementById('vpEval');"
            " e.value = 'el.tagName + 1';"
            " e.dispatchEvent(new KeyboardEvent('keydown', {key: 'Enter'})); })()");
        QCOMPARE(probe(doc, "document.getElementById('vpResult').textContent"), "\"SPAN1\"");

        // Errors the page raises are listed.
        QVERIFY(!skinModule::execInPage(doc, "runner", "javascript", "throw new Error('zz9')")
                     .isEmpty());
        QCOMPARE(probe(doc, "document.getElementById('vpCount').textContent"), "1");
        QVERIFY(probe(doc, "document.getElementById('vpErrors').textContent").contains("zz9"));
    }

    // ---------------------------------------------------------------- trace log

    void bugLogLines() {
        TestProgramFolder folder;
        platform::setClockForTest(QDateTime(QDate(2026, 12, 10), QTime(8, 3, 56)));
        skinModule::writeBugLog("debug start");
        skinModule::writeBugLog("调试");
        platform::setClockForTest(QDateTime());
        QCOMPARE(readBytes(folder.file("bug.log")),
                 QByteArray("2026/12/10 8:03:56=>debug start\r\n2026/12/10 8:03:56=>") +
                     platform::toAnsi("调试") + "\r\n");
    }

    void bugLogThatCannotBeWrittenStopsNothing() {
        TestProgramFolder folder;
        QVERIFY(QDir().mkpath(folder.file("bug.log")));  // a folder where the file should be
        skinModule::writeBugLog("lost");
        const PageDocument doc = open();
        skinModule::injectAnalysisPanel(doc, "<p><div id=\"a\" class=\"x\">1</div><script>" +
                                                 BASE64Module::base64Encode("window.p='ok'") +
                                                 "</script></p>");
        QCOMPARE(probe(doc, "String(window.p)"), "ok");
        QVERIFY(QFileInfo(folder.file("bug.log")).isDir());

        platform::setProgramFolder(folder.file("missing/folder"));
        skinModule::writeBugLog("lost too");
        QVERIFY(!QFileInfo::exists(folder.file("missing")));
    }
};

SUITE_TEST_MAIN(PageInjectionTest)
#include "tst_pageinjection.moc"
