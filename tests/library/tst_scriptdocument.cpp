#include <errno.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QRandomGenerator>
#include <functional>

#include "library/base64.h"
#include "library/scriptdocument.h"
#include "library/textfile.h"
#include "platform/core/ansi.h"
#include "support/diskfaults.h"
#include "support/testenv.h"

namespace {

// Standard base64 with every character moved to the general alphabet's character at the same
// position: an encoder written independently of the one under test.
QString generalBase64(const QString& text) {
    static const QByteArray standard =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static const QByteArray general =
        "QwErTyUiOpAsDfGhJkLzXcVbNm1234567890qWeRtYuIoPaSdFgHjKlZxCvBnM+/";
    QByteArray b = platform::toAnsi(text).toBase64();
    for (char& c : b) {
        const qsizetype i = standard.indexOf(c);
        if (i >= 0) c = general[i];
    }
    return QString::fromLatin1(b);
}

QByteArray scriptFileBytes(const QString& xml) {
    return generalBase64(xml).toLatin1() + "\r\n";
}

const QString CRLF = QStringLiteral("\r\n");

// The writer's table, step by step, for a record without board children.
QString expectedXml(const QString& name, const QString& home, const QString& info,
                    const QString& author, const QString& icon, const QString& pop,
                    const QString& listXml, const QStringList& include, const QStringList& target,
                    const QString& code) {
    auto el = [](const QString& n, const QString& v) {
        return v.isEmpty() ? "<" + n + "/>" : "<" + n + ">" + v + "</" + n + ">";
    };
    QString x = CRLF + "<Tolvar>" + CRLF + CRLF + "<base>" + CRLF + CRLF;
    x += el("name", name) + CRLF + el("home", home) + CRLF + el("information", info) + CRLF;
    x += el("author", author) + CRLF + el("icon", icon) + CRLF + el("toolPop", pop) + CRLF;
    x += CRLF + "</base>" + CRLF + CRLF + listXml + CRLF + CRLF;
    x += "<include>" + CRLF;
    for (const QString& i : include) x += CRLF + el("url", i) + CRLF;
    x += CRLF + "</include>" + CRLF + CRLF + "<target>" + CRLF;
    for (const QString& t : target) x += CRLF + el("url", t) + CRLF;
    x += CRLF + "</target>" + CRLF + CRLF;
    x += "<script>" + CRLF + CRLF + code + CRLF + CRLF + "</script>" + CRLF + CRLF;
    x += "</Tolvar>" + CRLF;
    return x;
}

XmlNode boardFrom(const QString& xml) {
    XmlDocument d;
    if (!d.loadXML(xml)) return {};
    return d.firstChild();
}

// Every text and attribute value of the subtree with "{1}" made U+0001 and "{F}" U+FFFF: such
// characters cannot be written in XML text, so boards holding them are built in two steps.
void putControlCharacters(XmlNode node) {
    auto fix = [](QString v) { return v.replace("{1}", QChar(1)).replace("{F}", QChar(0xFFFF)); };
    for (int i = 0; i < node.attributeCount(); ++i) {
        const XmlNode a = node.attributeItem(i);
        node.setAttribute(a.nodeName(), fix(a.nodeTypedValue()));
    }
    for (XmlNode c = node.firstChild(); !c.isNull(); c = c.nextSibling()) {
        if (c.nodeType() == XmlNode::Type::Element)
            putControlCharacters(c);
        else
            c.setNodeTypedValue(fix(c.nodeTypedValue()));
    }
}

// A value as a file gives it back, worked out here on its own: characters XML cannot carry
// left out, the way through GBK, line ends as LF, blanks trimmed at both ends.
QString readBack(const QString& value, bool trim = true) {
    QString kept;
    for (QChar c : value)
        if (c.unicode() >= 0x20 ? c.unicode() < 0xFFFE : (c == '\t' || c == '\n' || c == '\r'))
            kept += c;
    QString t = platform::fromAnsi(platform::toAnsi(kept));
    t.replace("\r\n", "\n").replace('\r', '\n');
    if (!trim) return t;
    while (!t.isEmpty() && QString(" \t\n").contains(t.front())) t.remove(0, 1);
    while (!t.isEmpty() && QString(" \t\n").contains(t.back())) t.chop(1);
    return t;
}

// A generated board, kept as plain data so that what it should read back as is worked out
// without the XML layer.
struct GenNode {
    enum Kind { Element, Text, Comment, CData } kind = Element;
    QString name;  // element name
    QList<QPair<QString, QString>> attributes;
    QString value;  // text, comment or CDATA content
    QList<GenNode> children;
};

XmlNode buildNode(XmlDocument& doc, const GenNode& g) {
    switch (g.kind) {
        case GenNode::Text:
            return doc.createTextNode(g.value);
        case GenNode::Comment:
            return doc.createComment(g.value);
        case GenNode::CData:
            return XmlNode();  // made by the parent, below
        case GenNode::Element:
            break;
    }
    XmlNode e = doc.createElement(g.name);
    for (const auto& [n, v] : g.attributes) e.setAttribute(n, v);
    for (const GenNode& c : g.children) {
        if (c.kind == GenNode::CData) {
            XmlDocument holder;
            holder.loadXML("<a><![CDATA[x]]></a>");
            XmlNode cd = holder.documentElement().firstChild();
            cd.setNodeTypedValue(c.value);
            e.appendChild(cd);
        } else {
            e.appendChild(buildNode(doc, c));
        }
    }
    return e;
}

// What the reader makes of the generated board, as one text; the same walk over a loaded
// board gives the same text when nothing was lost.
QString expectedBoard(const GenNode& g) {
    switch (g.kind) {
        case GenNode::Text: {
            const QString t = readBack(g.value, false);
            for (QChar c : t)
                if (c != ' ' && c != '\t' && c != '\n') return "T[" + t + "]";
            return QString();  // white space alone between tags is no text to the reader
        }
        case GenNode::Comment:
            return "M[" + readBack(g.value, false) + "]";
        case GenNode::CData:
            return "C[" + readBack(g.value, false) + "]";
        case GenNode::Element:
            break;
    }
    QString out = "E[" + g.name;
    for (const auto& [n, v] : g.attributes) {
        QString value = readBack(v, false);
        value.replace('\n', ' ').replace('\t', ' ');
        out += " " + n + "=" + value;
    }
    out += "|";
    for (const GenNode& c : g.children) out += expectedBoard(c);
    return out + "]";
}

QString loadedBoard(const XmlNode& n) {
    switch (n.nodeType()) {
        case XmlNode::Type::Text:
            return "T[" + n.nodeTypedValue() + "]";
        case XmlNode::Type::Comment:
            return "M[" + n.nodeTypedValue() + "]";
        case XmlNode::Type::CData:
            return "C[" + n.nodeTypedValue() + "]";
        case XmlNode::Type::Element:
            break;
        default:
            return "?[]";
    }
    QString out = "E[" + n.nodeName();
    for (int i = 0; i < n.attributeCount(); ++i)
        out += " " + n.attributeItem(i).nodeName() + "=" + n.attributeItem(i).nodeTypedValue();
    out += "|";
    for (XmlNode c = n.firstChild(); !c.isNull(); c = c.nextSibling()) out += loadedBoard(c);
    return out + "]";
}

// Whether a file can carry the generated board at all: its names must pass through GBK
// unchanged, no markup may hide in a comment or CDATA section, a comment must be one XML
// allows, and no board element may take
// the name of a part of the script file that the reader looks up by name (the generator makes
// none of those; the table above has them).
bool boardCanBeStored(const GenNode& g) {
    auto survives = [](const QString& name) {
        return platform::fromAnsi(platform::toAnsi(name)) == name;
    };
    switch (g.kind) {
        case GenNode::Text:
            return true;
        case GenNode::Comment: {
            // A comment may hold neither "--" nor end in "-".
            const QString v = readBack(g.value, false);
            return !v.contains("--") && !v.endsWith('-') && !v.contains("</Tolvar>");
        }
        case GenNode::CData:
            return !readBack(g.value, false).contains("]]>") &&
                   !readBack(g.value, false).contains("</Tolvar>");
        case GenNode::Element:
            break;
    }
    if (!survives(g.name)) return false;
    for (const char* part : {"Tolvar", "include", "target", "script"})
        if (g.name == part) return false;
    for (const auto& a : g.attributes)
        if (!survives(a.first)) return false;
    for (const GenNode& c : g.children)
        if (!boardCanBeStored(c)) return false;
    return true;
}

// Random records: texts made of the given pieces, boards of elements, attributes, texts,
// comments and CDATA sections.
class RecordGenerator {
  public:
    RecordGenerator(quint32 seed, QStringList pieces,
                    QStringList elementNames = {"item", "enter", "label", "line", "id", "show",
                                                "click", "style", "按钮", "x-y", "a.b", "b_1", "ü",
                                                "한", "url"})
        : gen_(seed), pieces_(std::move(pieces)), elementNames_(std::move(elementNames)) {}

    QString text(int maxPieces) {
        QString t;
        const int n = gen_.bounded(maxPieces + 1);
        for (int i = 0; i < n; ++i) t += pieces_[gen_.bounded(int(pieces_.size()))];
        return t;
    }

    GenNode element(int depth) {
        static const QStringList attributeNames = {"style", "a", "类", "x-y", "é", "한"};
        GenNode e;
        e.name = elementNames_[gen_.bounded(int(elementNames_.size()))];
        const int attrs = gen_.bounded(3);
        QStringList used;
        for (int i = 0; i < attrs; ++i) {
            const QString a = attributeNames[gen_.bounded(int(attributeNames.size()))];
            if (used.contains(a)) continue;
            used << a;
            e.attributes.append({a, text(4)});
        }
        const int children = depth > 2 ? 0 : gen_.bounded(4);
        bool lastWasText = false;
        for (int i = 0; i < children; ++i) {
            const int kind = gen_.bounded(10);
            GenNode c;
            if (kind < 5) {
                c = element(depth + 1);
            } else if (kind < 8) {
                if (lastWasText) continue;  // the file cannot tell two texts in a row apart
                c.kind = GenNode::Text;
                c.value = text(5);
            } else {
                c.kind = kind == 8 ? GenNode::Comment : GenNode::CData;
                c.value = text(3);
            }
            lastWasText = c.kind == GenNode::Text;
            e.children.append(c);
        }
        return e;
    }

    // A record with a board made of generated nodes, whose document doc keeps.
    ScriptDocument record(XmlDocument& doc, GenNode& board) {
        board = element(0);
        board.name = "list";
        const XmlNode list = doc.appendChild(buildNode(doc, board));
        ScriptDocument d;
        d.name = text(4);
        d.home = text(4);
        d.information = text(8);
        d.author = text(3);
        d.icon = text(3);
        d.toolPop = text(3);
        d.script = text(12);
        for (int i = gen_.bounded(3); i > 0; --i) d.include << text(3);
        for (int i = gen_.bounded(4); i > 0; --i) d.target << text(4);
        d.list = list;
        return d;
    }

    int bounded(int below) { return gen_.bounded(below); }

  private:
    QRandomGenerator gen_;
    QStringList pieces_;
    QStringList elementNames_;
};

// The writer's text for a record, worked out here on its own: values with the characters
// XML cannot carry left out and markup characters escaped, the board's markup as it is.
QString fileXml(const ScriptDocument& d) {
    auto dropped = [](QChar c) {
        return c.unicode() >= 0x20 ? c.unicode() >= 0xFFFE : (c != '\t' && c != '\n' && c != '\r');
    };
    auto escaped = [&dropped](const QString& v) {
        QString out;
        for (QChar c : v) {
            if (dropped(c)) continue;
            if (c == '&')
                out += "&amp;";
            else if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else
                out += c;
        }
        return out;
    };
    QString board = d.list.isNull() ? QString("<list/>") : d.list.xml();
    board.removeIf(dropped);
    QStringList include, target;
    for (const QString& i : d.include) include << escaped(i);
    for (const QString& t : d.target) target << escaped(t);
    return expectedXml(escaped(d.name), escaped(d.home), escaped(d.information), escaped(d.author),
                       escaped(d.icon), escaped(d.toolPop), board, include, target,
                       escaped(d.script));
}

const QStringList kPieces = {"a",      "Z",          "9",    " ",    "  ",     "\t",     "\r\n",
                             "\n",     "\r",         "&",    "<",    ">",      "\"",     "'",
                             "中",     "文",         "é",    "ü",    "\u00A0", "\u200B", "\uFEFF",
                             "\uD55C", "\U0001F600", "\x01", "\x1f", "\uFFFF", "]]>",    "--",
                             "-->",    "</Tolvar>",  "=",    "\\",   "?",      "\u2028"};

}  // namespace

class ScriptDocumentTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        ScriptDocument& d = ScriptModule::scriptDocument();
        d = ScriptDocument();
    }

    void savesTheWritersBytes() {
        TestProgramFolder folder;
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = "百度搜索";
        d.home = "http://a.example/?x=1&y=2";
        d.information = "第一行\r\n第二行 <b>";
        d.author = "作者";
        d.icon = "";
        d.toolPop = "tip";
        d.list =
            boardFrom("<list style=\"default\"><item><id>b1</id><show>开始</show></item></list>");
        d.include = QStringList{"jquery"};
        d.target = QStringList{"baidu.com", "www.baidu.com/s?wd="};
        d.script = "function run(){\r\n  if (a < b && c > d) go();\r\n}";
        const QString path = folder.file("s.txt");
        QVERIFY(ScriptModule::saveScriptFile(path));
        const QString expected = expectedXml(
            "百度搜索", "http://a.example/?x=1&amp;y=2", "第一行\r\n第二行 &lt;b&gt;", "作者", "",
            "tip", "<list style=\"default\"><item><id>b1</id><show>开始</show></item></list>",
            {"jquery"}, {"baidu.com", "www.baidu.com/s?wd="},
            "function run(){\r\n  if (a &lt; b &amp;&amp; c &gt; d) go();\r\n}");
        QCOMPARE(readBytes(path), scriptFileBytes(expected));
    }

    // The file is built in one pass, a piece at a time; for long codes of every kind of
    // character, across the pieces' edges, its line is the encoding of the whole XML text.
    void longCodesSaveAsTheWholeText() {
        TestProgramFolder folder;
        const QStringList pieces = {"a",
                                    "function f(a, b) {",
                                    " if (a < b && b > 0) ",
                                    "第",
                                    "页\r\n",
                                    "&",
                                    ">",
                                    QString::fromUtf8("\xf0\x9f\x98\x80"),
                                    QString(QChar(0x0001)),
                                    "\t",
                                    "\n",
                                    QString::fromUtf8("\xed\x95\x9c"),
                                    QString("x").repeated(5000),
                                    QString("中").repeated(3000)};
        quint32 seed = 11;
        for (int round = 0; round < 12; ++round) {
            ScriptDocument& d = ScriptModule::scriptDocument();
            d.name = "名" + QString::number(round);
            d.information = "<i>&";
            d.list = boardFrom("<list style=\"default\"/>");
            d.target = QStringList{"a.example"};
            QString code;
            while (code.size() < 20000 + round * 15000) {
                seed = seed * 1103515245u + 12345u;
                code += pieces[(seed >> 16) % pieces.size()];
            }
            // One round with a character XML cannot carry and that GBK would write as "?".
            if (round == 5) code.insert(code.size() / 2, QChar(0xFFFE));
            d.script = code;
            const QString path = folder.file("long.txt");
            QVERIFY(ScriptModule::saveScriptFile(path));
            const QByteArray expected =
                BASE64Module::base64Encode(ScriptModule::scriptXmlText(d)).toLatin1() + "\r\n";
            QVERIFY2(readBytes(path) == expected, qPrintable(QString::number(round)));
            QVERIFY2(readBytes(path) == scriptFileBytes(fileXml(d)),
                     qPrintable(QString::number(round)));
        }
    }

    void emptyListsAndFields() {
        TestProgramFolder folder;
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.list = boardFrom("<list/>");
        const QString path = folder.file("e.txt");
        QVERIFY(ScriptModule::saveScriptFile(path));
        QCOMPARE(readBytes(path),
                 scriptFileBytes(expectedXml("", "", "", "", "", "", "<list/>", {}, {}, "")));
        d.name = "x";
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QString());
        QCOMPARE(d.script, QString());
        QVERIFY(d.include.isEmpty());
        QVERIFY(d.target.isEmpty());
        QVERIFY(!d.list.isNull());
        QCOMPARE(d.list.nodeName(), QStringLiteral("list"));
    }

    // Each padding length: the decoder meets "==", "=" or, for a length that is a multiple of
    // three, nothing but the CR LF the reader adds, which load cuts away after the root.
    void roundTripsWithEveryPadding_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("a") << "a";
        QTest::newRow("ab") << "ab";
        QTest::newRow("abc") << "abc";
    }
    void roundTripsWithEveryPadding() {
        QFETCH(QString, name);
        TestProgramFolder folder;
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = name;
        d.information = "多行\r\n介绍";
        d.home = "a&b<c>d";
        d.list = boardFrom("<list style=\"red\"><line/></list>");
        d.include = QStringList{"p1", "p2"};
        d.target = QStringList{"t1"};
        d.script = "\r\n\r\nvar a = 1;\r\nalert(a);\r\n\r\n";
        const QString path = folder.file("r.txt");
        QVERIFY(ScriptModule::saveScriptFile(path));
        const qsizetype ansiLength = platform::toAnsi(ScriptModule::scriptXmlText(d)).size();
        const QByteArray line = readBytes(path);

        ScriptModule::clearScriptDocument();
        d.include.clear();
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, name);
        QCOMPARE(d.information, QStringLiteral("多行\n介绍"));
        QCOMPARE(d.home, QStringLiteral("a&b<c>d"));
        // Blank lines around the code are lost; line ends inside come back as LF.
        QCOMPARE(d.script, QStringLiteral("var a = 1;\nalert(a);"));
        QCOMPARE(d.include, (QStringList{"p1", "p2"}));
        QCOMPARE(d.target, QStringList{"t1"});
        QCOMPARE(d.list.getNamedItem("style").nodeTypedValue(), QStringLiteral("red"));
        QCOMPARE(line.count('='), int((3 - ansiLength % 3) % 3));
    }

    // The load also says why it found no script: the main window tells the user.
    void failedLoadsClearTheRecord_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("why");
        using F = ScriptModule::LoadFailure;
        QTest::newRow("missing file") << QByteArray() << int(F::Missing);
        // Unreadable even for root: a folder in the file's place, and a file far too large.
        QTest::newRow("folder") << QByteArray("folder") << int(F::Unreadable);
        QTest::newRow("too large") << QByteArray("huge") << int(F::Unreadable);
        QTest::newRow("not base64") << QByteArray("!!!! ????\r\n") << int(F::NotAScript);
        QTest::newRow("no end tag")
            << scriptFileBytes("<Tolvar><base/></Tolv").left(20) << int(F::NotAScript);
        QTest::newRow("not well-formed")
            << scriptFileBytes("<Tolvar><base><name>x</base><script/></Tolvar>\r\n")
            << int(F::NotAScript);
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01\x80=\r", 7) << int(F::NotAScript);
    }
    void failedLoadsClearTheRecord() {
        QFETCH(QByteArray, content);
        QFETCH(int, why);
        TestProgramFolder folder;
        const QString path = folder.file("f.txt");
        if (content == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (content == "huge") {
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(ScriptModule::detail::kMaxReadBytes + 1));
        } else if (!content.isEmpty()) {
            writeBytes(path, content);
        }
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = "old";
        d.script = "old code";
        d.target = QStringList{"t"};
        d.include = QStringList{"kept"};
        d.encoding = "gb2312";
        d.currentScriptPath = path;
        ScriptModule::LoadFailure failure = ScriptModule::LoadFailure::None;
        QVERIFY(!ScriptModule::loadScriptFile(path, &failure));
        QCOMPARE(int(failure), why);
        QCOMPARE(d.name, QString());
        QCOMPARE(d.script, QString());
        QVERIFY(d.target.isEmpty());
        QVERIFY(d.list.isNull());
        // A script that did not load has no plug-ins, not those of the one before it.
        QVERIFY(d.include.isEmpty());
        QCOMPARE(d.encoding, QStringLiteral("gb2312"));
        QCOMPARE(d.currentScriptPath, path);
    }

    void readingRules() {
        TestProgramFolder folder;
        const QString path = folder.file("x.txt");
        // Letter case of base children, a second base, no include, no list, an encoding in
        // the declaration, a later child overwriting an earlier one.
        writeBytes(path,
                   scriptFileBytes("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<Tolvar><base>"
                                   "<Name>no</Name><name>first</name><name>second</name>"
                                   "<author> 甲 </author></base><base><home>no</home></base>"
                                   "<target><url>a</url><url>b</url></target>"
                                   "<script>\r\n  code();\r\n</script></Tolvar>\r\n"));
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.include = QStringList{"old"};
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("second"));
        QCOMPARE(d.author, QStringLiteral("甲"));
        QCOMPARE(d.home, QString());
        QCOMPARE(d.encoding, QStringLiteral("gb2312"));
        QVERIFY(d.include.isEmpty());
        QVERIFY(d.list.isNull());
        QCOMPARE(d.target, (QStringList{"a", "b"}));
        QCOMPARE(d.script, QStringLiteral("code();"));

        writeBytes(path, scriptFileBytes("<Tolvar encoding=\"utf-8\" version=\"2\"><base/>"
                                         "<target/><script>x</script></Tolvar>\r\n"));
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.encoding, QStringLiteral("utf-8"));
        QCOMPARE(d.script, QStringLiteral("x"));
    }

    // A script whose document type declares entities loads with them expanded, in the
    // fields and on the board alike.
    void internalEntitiesLoad() {
        TestProgramFolder folder;
        const QString path = folder.file("e.txt");
        writeBytes(path, scriptFileBytes(
                             "<!DOCTYPE Tolvar [\r\n<!ENTITY site \"http://example.com/\">\r\n"
                             "<!ENTITY btn '<item><id>b1</id><show>开始</show></item>'>\r\n]>"
                             "\r\n<Tolvar><base><name>名 &amp; 姓</name><home>&site;</home></base>"
                             "<list>&btn;</list><target><url>&site;x</url></target>"
                             "<script>go('&site;');</script></Tolvar>\r\n"));
        ScriptDocument& d = ScriptModule::scriptDocument();
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("名 & 姓"));
        QCOMPARE(d.home, QStringLiteral("http://example.com/"));
        QCOMPARE(d.target, QStringList{"http://example.com/x"});
        QCOMPARE(d.script, QStringLiteral("go('http://example.com/');"));
        QCOMPARE(d.list.xml(),
                 QStringLiteral("<list><item><id>b1</id><show>开始</show></item></list>"));
    }

    // A well-formed script that lacks base, target or script still gives what it has.
    void partsMissing() {
        TestProgramFolder folder;
        const QString path = folder.file("p.txt");
        writeBytes(path,
                   scriptFileBytes("<!-- note --><Tolvar><script>go();</script></Tolvar>\r\n"));
        ScriptDocument& d = ScriptModule::scriptDocument();
        ScriptModule::LoadFailure failure = ScriptModule::LoadFailure::Missing;
        QVERIFY(ScriptModule::loadScriptFile(path, &failure));
        QCOMPARE(failure, ScriptModule::LoadFailure::None);
        QCOMPARE(d.script, QStringLiteral("go();"));
        QCOMPARE(d.name, QString());
        QVERIFY(d.target.isEmpty());
        writeBytes(path, scriptFileBytes("<Tolvar><base><name>n</name></base></Tolvar>\r\n"));
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("n"));
        QCOMPARE(d.script, QString());
    }

    void clearKeepsEncodingAndPath() {
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.include = QStringList{"a", "b"};
        d.encoding = "gb2312";
        d.currentScriptPath = "/x/y.txt";
        d.name = d.home = d.information = d.author = d.icon = d.toolPop = d.script = "v";
        d.target = QStringList{"t"};
        d.list = boardFrom("<list/>");
        ScriptModule::clearScriptDocument();
        QVERIFY(d.include.isEmpty());
        QCOMPARE(d.encoding, QStringLiteral("gb2312"));
        QCOMPARE(d.currentScriptPath, QStringLiteral("/x/y.txt"));
        for (const QString* f :
             {&d.name, &d.home, &d.information, &d.author, &d.icon, &d.toolPop, &d.script})
            QVERIFY(f->isEmpty());
        QVERIFY(d.target.isEmpty());
        QVERIFY(d.list.isNull());
    }

    // Control characters cannot live in an XML file; the rest of the script must survive.
    void controlCharactersDoNotBreakTheFile() {
        TestProgramFolder folder;
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = QStringLiteral(
            "a\x01"
            "b");
        d.script = QString("x") + QChar(0) + "y" + QChar(0x1b) + "z\tq";
        const QString path = folder.file("c.txt");
        QVERIFY(ScriptModule::saveScriptFile(path));
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("ab"));
        QCOMPARE(d.script, QStringLiteral("xyz\tq"));
    }

    void noBoardSavesAnEmptyOne() {
        TestProgramFolder folder;
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = "n";
        const QString path = folder.file("n.txt");
        QVERIFY(ScriptModule::saveScriptFile(path));
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("n"));
        QVERIFY(!d.list.isNull());
        QCOMPARE(d.list.childNodes().length(), 0);
    }

    // A save either gives a file that loads again with the same content, or writes nothing
    // and says why. Control characters are left out of the board as they are of the fields.
    void savedScriptLoadsAgainOrIsRefused_data() {
        QTest::addColumn<QString>("board");  // "{1}" stands for U+0001, "{F}" for U+FFFF
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("loadedBoard");
        QTest::addColumn<QString>("loadedName");
        QTest::newRow("control character in a board caption")
            << "<list><item><id>b</id><show>开{1}始</show></item></list>"
            << "n" << true << "<list><item><id>b</id><show>开始</show></item></list>"
            << "n";
        QTest::newRow("control characters in an attribute and a comment")
            << "<list style=\"d{1}ef{F}\"><!--a{1}b--><line/></list>"
            << "n" << true << "<list style=\"def\"><!--ab--><line/></list>"
            << "n";
        QTest::newRow("control character in a field") << "<list/>"
                                                      << "a\x01"
                                                         "b\x1f"
                                                      << true << "<list/>"
                                                      << "ab";
        QTest::newRow("characters GBK lacks in board text")
            << QString::fromUtf16(u"<list><item><show>x\u200By\uD55C</show></item></list>") << "n"
            << true << "<list><item><show>x?y?</show></item></list>"
            << "n";
        QTest::newRow("element name from an invalid byte")
            << QString::fromUtf16(u"<list><\uFFFD/></list>") << "n" << false << ""
            << "";
        QTest::newRow("attribute name from an invalid byte")
            << QString::fromUtf16(u"<list><item a\uFFFD=\"1\"/></list>") << "n" << false << ""
            << "";
        QTest::newRow("element name GBK lacks")
            << QString::fromUtf16(u"<list><\uD55C/></list>") << "n" << false << ""
            << "";
        QTest::newRow("end of the script file in a comment") << "<list><!--</Tolvar>--></list>"
                                                             << "n" << false << ""
                                                             << "";
        QTest::newRow("end of the script file in CDATA")
            << "<list><show><![CDATA[</Tolvar>]]></show></list>"
            << "n" << false << ""
            << "";
        QTest::newRow("a board element the reader would take for the code")
            << "<list><script>x</script></list>"
            << "n" << false << ""
            << "";
        QTest::newRow("a board element the reader would take for the addresses")
            << "<list><target><url>x</url></target></list>"
            << "n" << false << ""
            << "";
        QTest::newRow("Chinese names and CDATA")
            << "<list 样式=\"默认\"><按钮><![CDATA[a<b]]></按钮></list>"
            << "名" << true << "<list 样式=\"默认\"><按钮><![CDATA[a<b]]></按钮></list>"
            << "名";
    }
    void savedScriptLoadsAgainOrIsRefused() {
        QFETCH(QString, board);
        QFETCH(QString, name);
        QFETCH(bool, saved);
        QFETCH(QString, loadedBoard);
        QFETCH(QString, loadedName);
        TestProgramFolder folder;
        const QString path = folder.file("s.txt");
        writeBytes(path, "old\r\n");
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = name;
        d.script = "go();";
        d.list = boardFrom(board);
        QVERIFY(!d.list.isNull());
        putControlCharacters(d.list);

        ScriptModule::SaveFailure why = ScriptModule::SaveFailure::None;
        QCOMPARE(ScriptModule::saveScriptFile(path, &why), saved);
        if (!saved) {
            QCOMPARE(why, ScriptModule::SaveFailure::Content);
            QCOMPARE(readBytes(path), QByteArray("old\r\n"));
            return;
        }
        QCOMPARE(why, ScriptModule::SaveFailure::None);
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, loadedName);
        QCOMPARE(d.script, QStringLiteral("go();"));
        QCOMPARE(d.list.xml(), loadedBoard);
    }

    // Generated records, saved and loaded: what comes back is the record as the file format
    // carries it, and a record the format cannot carry is refused with the old file left.
    void generatedRecordsComeBackAsSaved() {
        RecordGenerator generate(20261210, kPieces);

        // Every save is flushed to the disk; in memory that costs nothing.
        QTemporaryDir folder(QFileInfo("/dev/shm").isDir() ? "/dev/shm/gen-XXXXXX" : QString());
        QVERIFY(folder.isValid());
        const QString path = folder.filePath("g.txt");
        int saved = 0, refused = 0;
        for (int round = 0; round < 400; ++round) {
            XmlDocument doc;
            GenNode board;
            ScriptDocument& d = ScriptModule::scriptDocument();
            d = generate.record(doc, board);
            const XmlNode list = d.list;
            const ScriptDocument record = d;

            const QByteArray old = "old " + QByteArray::number(round) + "\r\n";
            writeBytes(path, old);
            ScriptModule::SaveFailure why = ScriptModule::SaveFailure::None;
            const bool ok = ScriptModule::saveScriptFile(path, &why);
            const QString what = QString("round %1: %2").arg(round).arg(loadedBoard(list));
            QVERIFY2(ok == boardCanBeStored(board), qPrintable(what));
            if (!ok) {
                ++refused;
                QCOMPARE(why, ScriptModule::SaveFailure::Content);
                QCOMPARE(readBytes(path), old);
                continue;
            }
            ++saved;
            QCOMPARE(readBytes(path), scriptFileBytes(fileXml(record)));
            ScriptDocument back;
            QVERIFY2(ScriptModule::readScriptFile(path, back), qPrintable(what));
            QCOMPARE(back.name, readBack(record.name));
            QCOMPARE(back.home, readBack(record.home));
            QCOMPARE(back.information, readBack(record.information));
            QCOMPARE(back.author, readBack(record.author));
            QCOMPARE(back.icon, readBack(record.icon));
            QCOMPARE(back.toolPop, readBack(record.toolPop));
            QCOMPARE(back.script, readBack(record.script));
            QCOMPARE(back.include.size(), record.include.size());
            for (qsizetype i = 0; i < record.include.size(); ++i)
                QCOMPARE(back.include[i], readBack(record.include[i]));
            QCOMPARE(back.target.size(), record.target.size());
            for (qsizetype i = 0; i < record.target.size(); ++i)
                QCOMPARE(back.target[i], readBack(record.target[i]));
            QCOMPARE(loadedBoard(back.list), expectedBoard(board));
        }
        // Both outcomes were met often enough to mean something.
        QVERIFY2(saved > 100 && refused > 40, qPrintable(QString("%1 %2").arg(saved).arg(refused)));
    }

    // A save tries a record with the texts that cannot fail left out. Over generated records,
    // nasty characters and long codes among them, that trial must answer as writing the whole
    // record and reading it back does; the save must follow the answer and write the bytes
    // of the file format.
    void trialAnswersAsTheWholeFile() {
        QStringList pieces = kPieces;
        pieces << QString(QChar(0xD800)) << QString(QChar(0xDBFF)) << QString(QChar(0xDC00))
               << QString(QChar(0)) << QString(QChar(0xFFFE)) << QString(QChar(0xFEFF))
               << QString::fromUtf16(u"\u0085") << QString::fromUtf16(u"\u3000")
               << QString::fromUtf16(u"\uFFFD") << QString::fromUtf16(u"\uE000")
               << QString::fromUtf16(u"\u20AC") << "&amp;"
               << "&#1;"
               << " \r\n\t "
               << "\r\r\n"
               << "</script>"
               << "<![CDATA["
               << "\n\r";
        // Boards may also hold elements named like the parts of the file the reader looks up.
        RecordGenerator generate(4242, pieces,
                                 {"item", "show", "按钮", "url", "script", "target", "include",
                                  "base", "list", "name", "Tolvar"});
        QStringList wholePieces;  // without lone surrogates: long codes written a piece at a time
        for (const QString& p : pieces)
            if (p.size() != 1 || !p.at(0).isSurrogate()) wholePieces << p;
        RecordGenerator longCode(77, wholePieces);

        QTemporaryDir folder(QFileInfo("/dev/shm").isDir() ? "/dev/shm/gen-XXXXXX" : QString());
        QVERIFY(folder.isValid());
        const QString path = folder.filePath("t.txt");
        int saved = 0, refused = 0, refusedForAText = 0, textsLeftOut = 0, savedShadowed = 0;
        for (int round = 0; round < 1000; ++round) {
            XmlDocument doc;
            GenNode board;
            ScriptDocument record = generate.record(doc, board);
            if (round % 40 == 0) record.script = (round % 80 ? generate : longCode).text(30000);
            // Now and then the parts a board element stands in for hold what that element
            // reads back as: the file then loads back as saved although the board shadows them.
            if (generate.bounded(2) == 0) {
                const XmlNode script = doc.getElementsByTagName("script").item(0);
                if (!script.isNull()) record.script = script.text();
                const XmlNode target = doc.getElementsByTagName("target").item(0);
                if (!target.isNull()) {
                    record.target.clear();
                    for (XmlNode c = target.firstChild(); !c.isNull(); c = c.nextSibling())
                        record.target << c.text();
                }
            }

            const ScriptDocument trial = ScriptModule::detail::trialRecord(record);
            for (const auto& [value, tried] : {std::pair{&record.name, &trial.name},
                                               {&record.script, &trial.script},
                                               {&record.information, &trial.information}})
                if (!value->isEmpty() && tried->isEmpty()) ++textsLeftOut;
            const bool whole = ScriptModule::detail::loadsBackWhole(record);
            const QString what = QString("round %1: %2").arg(round).arg(loadedBoard(record.list));
            QVERIFY2(ScriptModule::detail::loadsBackWhole(trial) == whole, qPrintable(what));

            ScriptModule::scriptDocument() = record;
            const QByteArray old = "old " + QByteArray::number(round) + "\r\n";
            writeBytes(path, old);
            ScriptModule::SaveFailure why = ScriptModule::SaveFailure::None;
            QVERIFY2(ScriptModule::saveScriptFile(path, &why) == whole, qPrintable(what));
            if (!whole) {
                ++refused;
                if (boardCanBeStored(board)) ++refusedForAText;
                QCOMPARE(why, ScriptModule::SaveFailure::Content);
                QCOMPARE(readBytes(path), old);
                continue;
            }
            ++saved;
            if (!doc.getElementsByTagName("script").item(0).isNull() ||
                !doc.getElementsByTagName("target").item(0).isNull())
                ++savedShadowed;
            QVERIFY2(readBytes(path) == scriptFileBytes(fileXml(record)), qPrintable(what));
        }
        // Both answers came often, for boards and for texts alike, and most texts were left
        // out of the trial.
        QVERIFY2(saved > 200 && refused > 100 && refusedForAText > 20 && textsLeftOut > 1000 &&
                     savedShadowed > 10,
                 qPrintable(QString("%1 %2 %3 %4 %5")
                                .arg(saved)
                                .arg(refused)
                                .arg(refusedForAText)
                                .arg(textsLeftOut)
                                .arg(savedShadowed)));
    }

    // A save that cannot be completed leaves the file it was to replace exactly as it was.
    void failedSaveKeepsTheOldFile_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("file size limit") << "size";
        QTest::newRow("flush to the disk fails") << "sync";
        QTest::newRow("close fails") << "close";
    }
    void failedSaveKeepsTheOldFile() {
        QFETCH(QString, failure);
        TestProgramFolder folder;
        const QString path = folder.file("keep.txt");
        writeBytes(path, "old\r\n");
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = "new";
        d.script = QString(100000, 'x');
        ScriptModule::SaveFailure why = ScriptModule::SaveFailure::None;
        bool saved = true;
        if (failure == "size") {
            FileSizeLimit limit(4096);
            QVERIFY(limit.ok());
            saved = ScriptModule::saveScriptFile(path, &why);
        } else {
            FailingFlush failing(failure == "sync" ? FailingFlush::Sync : FailingFlush::Close);
            saved = ScriptModule::saveScriptFile(path, &why);
        }
        QVERIFY(!saved);
        QCOMPARE(why, ScriptModule::SaveFailure::Write);
        QCOMPARE(readBytes(path), QByteArray("old\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"keep.txt"});
        // The same save goes through once the disk lets it.
        QVERIFY(ScriptModule::saveScriptFile(path));
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("new"));
    }

    // Whatever a file holds, loading it ends in a clear state: a file that is no script
    // leaves the record cleared, its plug-in names too, with its path as it was.
    void randomFilesNeverCrash() {
        TestProgramFolder folder;
        const QString path = folder.file("rnd.txt");
        QRandomGenerator gen(7);
        ScriptDocument& d = ScriptModule::scriptDocument();
        for (int i = 0; i < 50; ++i) {
            QByteArray junk(gen.bounded(1, 4000), Qt::Uninitialized);
            for (char& c : junk) c = char(gen.bounded(256));
            writeBytes(path, junk);
            d.name = d.home = d.information = d.author = d.icon = d.toolPop = d.script = "before";
            d.target = {"t"};
            d.include = {"plug"};
            d.list = boardFrom("<list><line/></list>");
            d.currentScriptPath = "where";
            ScriptModule::loadScriptFile(path);
            for (const QString* field :
                 {&d.name, &d.home, &d.information, &d.author, &d.icon, &d.toolPop, &d.script})
                QCOMPARE(*field, QString());
            QVERIFY(d.target.isEmpty());
            QVERIFY(d.list.isNull());
            QVERIFY(d.include.isEmpty());
            QCOMPARE(d.currentScriptPath, QStringLiteral("where"));
        }
    }
};

SUITE_TEST_MAIN(ScriptDocumentTest)
#include "tst_scriptdocument.moc"
