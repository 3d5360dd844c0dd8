#include <QApplication>
#include <QRandomGenerator>

#include "library/scriptdocument.h"
#include "platform/core/ansi.h"
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

    void failedLoadsClearTheRecord_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("not base64") << QByteArray("!!!! ????\r\n");
        QTest::newRow("no end tag") << scriptFileBytes("<Tolvar><base/></Tolv").left(20);
        QTest::newRow("not well-formed")
            << scriptFileBytes("<Tolvar><base><name>x</base><script/></Tolvar>\r\n");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01\x80=\r", 7);
    }
    void failedLoadsClearTheRecord() {
        QFETCH(QByteArray, content);
        TestProgramFolder folder;
        const QString path = folder.file("f.txt");
        if (!content.isEmpty()) writeBytes(path, content);
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.name = "old";
        d.script = "old code";
        d.target = QStringList{"t"};
        d.include = QStringList{"kept"};
        d.encoding = "gb2312";
        d.currentScriptPath = path;
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QString());
        QCOMPARE(d.script, QString());
        QVERIFY(d.target.isEmpty());
        QVERIFY(d.list.isNull());
        QCOMPARE(d.include, QStringList{"kept"});
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

    // A well-formed script that lacks base, target or script still gives what it has.
    void partsMissing() {
        TestProgramFolder folder;
        const QString path = folder.file("p.txt");
        writeBytes(path,
                   scriptFileBytes("<!-- note --><Tolvar><script>go();</script></Tolvar>\r\n"));
        ScriptDocument& d = ScriptModule::scriptDocument();
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.script, QStringLiteral("go();"));
        QCOMPARE(d.name, QString());
        QVERIFY(d.target.isEmpty());
        writeBytes(path, scriptFileBytes("<Tolvar><base><name>n</name></base></Tolvar>\r\n"));
        ScriptModule::loadScriptFile(path);
        QCOMPARE(d.name, QStringLiteral("n"));
        QCOMPARE(d.script, QString());
    }

    void clearKeepsIncludeEncodingAndPath() {
        ScriptDocument& d = ScriptModule::scriptDocument();
        d.include = QStringList{"a", "b"};
        d.encoding = "gb2312";
        d.currentScriptPath = "/x/y.txt";
        d.name = d.home = d.information = d.author = d.icon = d.toolPop = d.script = "v";
        d.target = QStringList{"t"};
        d.list = boardFrom("<list/>");
        ScriptModule::clearScriptDocument();
        QCOMPARE(d.include, (QStringList{"a", "b"}));
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

    void failedSaveKeepsTheOldFile() {
        TestProgramFolder folder;
        const QString path = folder.file("keep.txt");
        writeBytes(path, "old\r\n");
        ScriptModule::scriptDocument().name = "new";
        // Tests run as root, so permissions refuse nothing; a file standing where the folder
        // should be always does.
        const QString blocked = folder.file("keep.txt/inner.txt");
        QVERIFY(!ScriptModule::saveScriptFile(blocked));
        QCOMPARE(readBytes(path), QByteArray("old\r\n"));
    }

    void randomFilesNeverCrash() {
        TestProgramFolder folder;
        const QString path = folder.file("rnd.txt");
        QRandomGenerator gen(7);
        for (int i = 0; i < 50; ++i) {
            QByteArray junk(gen.bounded(1, 4000), Qt::Uninitialized);
            for (char& c : junk) c = char(gen.bounded(256));
            writeBytes(path, junk);
            ScriptModule::loadScriptFile(path);
        }
        QVERIFY(true);
    }
};

SUITE_TEST_MAIN(ScriptDocumentTest)
#include "tst_scriptdocument.moc"
