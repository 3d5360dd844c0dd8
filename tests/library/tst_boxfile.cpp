#include <QApplication>
#include <QRandomGenerator>

#include "library/board.h"
#include "library/boxfile.h"
#include "library/scriptdocument.h"
#include "library/xmldocument.h"
#include "platform/core/ansi.h"
#include "support/testenv.h"

namespace {

const QByteArray kStandard = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const QByteArray kGeneral = "QwErTyUiOpAsDfGhJkLzXcVbNm1234567890qWeRtYuIoPaSdFgHjKlZxCvBnM+/";
const QByteArray kBox = "mNbVcXzLkJhGfDsApOiUyTrEwQ0987654321MnBvCxZlKjHgFdSaPoIuYtReWq/+";

// Qt's standard base64 with each character moved to the same position of another alphabet:
// an encoder written independently of the codecs under test.
QByteArray mapped(const QByteArray& bytes, const QByteArray& alphabet) {
    QByteArray b = bytes.toBase64();
    for (char& c : b) {
        const qsizetype i = kStandard.indexOf(c);
        if (i >= 0) c = alphabet[i];
    }
    return b;
}

QByteArray unmapped(const QByteArray& text, const QByteArray& alphabet) {
    QByteArray b = text;
    for (char& c : b) {
        const qsizetype i = alphabet.indexOf(c);
        if (i >= 0) c = kStandard[i];
    }
    return QByteArray::fromBase64(b);
}

const QString CRLF = QStringLiteral("\r\n");

const QString kSkinXml = QStringLiteral(
    "<skin>\r\n<style>div{color:red}</style>\r\n<div id=\"a\">$BoardTemplate$ 中文</div>\r\n"
    "<script>var a = 1 &amp;&amp; 2;</script>\r\n</skin>\r\n");

// A script with every part filled, saved through the workbench's writer.
void saveSampleScript(const QString& path) {
    ScriptModule::clearScriptDocument();
    ScriptDocument& d = ScriptModule::scriptDocument();
    d.name = QStringLiteral("盒子 & <脚本>");
    d.home = QStringLiteral("http://home.test/");
    d.information = QStringLiteral("第一行\n第二行");
    d.author = QStringLiteral("作者");
    d.icon = QStringLiteral("http://home.test/i.gif");
    d.toolPop = QStringLiteral("tip");
    d.script = QStringLiteral("alert(1 < 2);\nvar x = \"a:b\";");
    XmlDocument board;
    QVERIFY(board.loadXML(
        QStringLiteral("<list skin=\"default\"><item type=\"text\" name=\"n\">v</item></list>")));
    d.list = board.documentElement();
    d.include = QStringList{QStringLiteral("plugA")};
    d.target = QStringList{QStringLiteral("http://a.test/*"), QStringLiteral("http://b.test/")};
    QVERIFY(ScriptModule::saveScriptFile(path));
}

}  // namespace

class BoxFileTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void boxHasTheExactBytesOfTheFormat_data() {
        QTest::addColumn<QByteArray>("skinFile");  // null: no file
        QTest::addColumn<QByteArray>("scriptFile");
        QTest::addColumn<QString>("skinText");  // what the reader makes of the skin file

        const QByteArray skinAnsi = platform::toAnsi(kSkinXml);
        QTest::newRow("both empty files") << QByteArray("") << QByteArray("") << QString();
        QTest::newRow("both missing") << QByteArray() << QByteArray() << QString();
        QTest::newRow("crlf skin") << skinAnsi << QByteArray("QwEr\r\n") << kSkinXml;
        QByteArray crOnly = skinAnsi;
        crOnly.replace("\r\n", "\r");
        QTest::newRow("cr-only skin") << crOnly << QByteArray("QwEr\r\n") << kSkinXml;
        QByteArray noLastEnd = skinAnsi;
        noLastEnd.chop(2);
        QTest::newRow("no last line end") << noLastEnd << QByteArray() << kSkinXml;
        // The script part is taken as stored, whatever it holds.
        QTest::newRow("script as stored")
            << QByteArray("a") << QByteArray("not base64 = at all\r\nsecond") << QString("a\r\n");
        for (int n : {1, 2, 3, 4, 5}) {
            QTest::newRow(qPrintable(QString("skin of %1 bytes").arg(n)))
                << QByteArray(n, 'x') << QByteArray("y") << QString(QString(n, 'x') + CRLF);
        }
        // Long scripts are encoded a piece at a time, after the skin's line and ":" joined
        // with the script's first bytes into whole groups: every way the two can meet, and
        // lengths about the size of a piece.
        QByteArray longScript;
        QRandomGenerator random(2026);
        while (longScript.size() < 3 * 65536 * 2 + 5) longScript += kGeneral[random.bounded(64)];
        for (int skinBytes : {0, 1, 2, 3})
            for (qsizetype scriptBytes : {1, 2, 3, 4, 3 * 65536 - 2, 3 * 65536 - 1, 3 * 65536,
                                          3 * 65536 + 1, 3 * 65536 * 2 + 5}) {
                QByteArray script = longScript.left(scriptBytes - 2) + "\r\n";
                if (scriptBytes < 3) script = longScript.left(scriptBytes);
                QTest::newRow(qPrintable(
                    QString("skin of %1 bytes, script of %2").arg(skinBytes).arg(scriptBytes)))
                    << QByteArray(skinBytes, 's') << script
                    << (skinBytes ? QString(QString(skinBytes, 's') + CRLF) : QString());
            }
        const qsizetype copies = (3 * 65536 + 100) / skinAnsi.size() + 1;
        QTest::newRow("long skin")
            << skinAnsi.repeated(copies) << longScript << kSkinXml.repeated(copies);
        // A script file that is not ASCII (no saved one is) goes through the code page both
        // ways, as its text: bytes that are not GBK come back as the reader decodes them.
        QTest::newRow("script not ascii")
            << QByteArray("a") << QByteArray("\xd6\xd0\xce\xc4 \x81\x20 \xff\r\nQwEr\rx")
            << QString("a\r\n");
    }
    void boxHasTheExactBytesOfTheFormat() {
        QFETCH(QByteArray, skinFile);
        QFETCH(QByteArray, scriptFile);
        QFETCH(QString, skinText);
        TestProgramFolder folder;
        const QString skin = folder.file("s.skin"), script = folder.file("s.txt");
        if (!skinFile.isNull()) QVERIFY(writeBytes(skin, skinFile));
        if (!scriptFile.isNull()) QVERIFY(writeBytes(script, scriptFile));

        QByteArray scriptText;  // the reader's text of the script file: lines, CR LF each
        if (!scriptFile.isEmpty()) {
            QByteArray t = scriptFile;
            t.replace("\r\n", "\n");
            t.replace('\r', '\n');
            if (!t.endsWith('\n')) t += '\n';
            t.replace('\n', "\r\n");
            // In the code page's bytes of that text.
            scriptText = platform::toAnsi(platform::fromAnsi(t));
        }
        const QByteArray inner = mapped(platform::toAnsi(skinText), kGeneral) + ':' + scriptText;
        const QByteArray expected = mapped(inner, kBox) + "\r\n";

        const QString box = folder.file("out.tvb");
        QVERIFY(BoxFile::writeBox(skin, script, box));
        const QByteArray written = readBytes(box);
        QCOMPARE(written, expected);
        QCOMPARE(written.size(), 4 * ((inner.size() + 2) / 3) + 2);
        QCOMPARE(written.count(':'), 0);
        QCOMPARE(unmapped(written.chopped(2), kBox), inner);
        if (skinText.isEmpty() && scriptText.isEmpty()) QCOMPARE(written.size(), 6);
    }

    void writeReplacesAndReportsFailure() {
        TestProgramFolder folder;
        const QString box = folder.file("b.tvb");
        QVERIFY(writeBytes(box, "old content that is much longer than the new box\r\n"));
        QVERIFY(BoxFile::writeBox(folder.file("none"), folder.file("none"), box));
        QCOMPARE(readBytes(box), mapped(":", kBox) + "\r\n");

        // The box never replaces the files it is made from.
        QVERIFY(writeBytes(folder.file("s.txt"), "QwEr\r\n"));
        QVERIFY(writeBytes(folder.file("s.skin"), "<s/>\r\n"));
        QVERIFY(
            !BoxFile::writeBox(folder.file("s.skin"), folder.file("s.txt"), folder.file("s.txt")));
        QVERIFY(!BoxFile::writeBox(folder.file("s.skin"), folder.file("s.txt"),
                                   folder.path() + "/./s.skin"));
        QCOMPARE(readBytes(folder.file("s.txt")), QByteArray("QwEr\r\n"));
        QCOMPARE(readBytes(folder.file("s.skin")), QByteArray("<s/>\r\n"));

        // A folder that does not exist is not created; nothing is written.
        const QString missing = folder.file("box/b.tvb");
        QVERIFY(!BoxFile::writeBox(folder.file("none"), folder.file("none"), missing));
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!QDir(folder.file("box")).exists());
    }

    void openingGivesBackSkinAndScript() {
        TestProgramFolder folder;
        const QString skin = folder.file("default.skin"), script = folder.file("s.txt");
        QVERIFY(writeBytes(skin, platform::toAnsi(kSkinXml)));
        saveSampleScript(script);
        QVERIFY(BoxFile::writeBox(skin, script, folder.file("盒子.tvb")));

        // What the workbench's loader makes of the same script file.
        ScriptModule::scriptDocument().encoding = QStringLiteral("gb2312");
        ScriptModule::loadScriptFile(script);
        const ScriptDocument loaded = ScriptModule::scriptDocument();
        QVERIFY(!loaded.include.isEmpty());

        QString skinText = "stale", scriptText = "stale";
        QVERIFY(BoxScript::openBox(QStringLiteral("盒子.tvb"), skinText, scriptText));
        QCOMPARE(skinText, kSkinXml);
        XmlDocument fromFile, fromBox;
        QVERIFY(fromFile.loadXML(kSkinXml));
        QVERIFY(fromBox.loadXML(skinText));
        QCOMPARE(fromBox.xml(), fromFile.xml());
        QVERIFY(scriptText.startsWith(CRLF + "<Tolvar>"));
        QVERIFY(!scriptText.contains(QLatin1String("=")) || scriptText.contains("</Tolvar>"));

        const ScriptDocument& d = ScriptModule::scriptDocument();
        QCOMPARE(d.name, loaded.name);
        QCOMPARE(d.home, loaded.home);
        QCOMPARE(d.information, loaded.information);
        QCOMPARE(d.author, loaded.author);
        QCOMPARE(d.icon, loaded.icon);
        QCOMPARE(d.toolPop, loaded.toolPop);
        QCOMPARE(d.script, loaded.script);
        QCOMPARE(d.target, loaded.target);
        QCOMPARE(d.list.xml(), loaded.list.xml());
        QCOMPARE(d.encoding, QStringLiteral("gb2312"));
        QCOMPARE(d.name, QStringLiteral("盒子 & <脚本>"));
        QVERIFY(d.include.isEmpty());  // the player keeps none
    }

    void parserEdgeCases_data() {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("target");
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("hasList");
        QTest::addColumn<QString>("encoding");

        const QString keep = QStringLiteral("kept");
        QTest::newRow("empty target")
            << "<Tolvar><base><name>n</name></base><target></target><script>c</script></Tolvar>"
            << true << "n" << QStringList() << "c" << false << keep;
        QTest::newRow("two targets, first taken")
            << "<Tolvar><base/><target><url>a</url><url> b </url></target>"
               "<target><url>z</url></target><script/></Tolvar>"
            << true << "" << QStringList{"a", "b"} << "" << false << keep;
        QTest::newRow("include ignored")
            << "<Tolvar><base/><list/><include><url>p</url></include><target/>"
               "<script>s</script></Tolvar>"
            << true << "" << QStringList() << "s" << true << keep;
        QTest::newRow("name case differs")
            << "<Tolvar><base><Name>x</Name><name>a</name><name>b</name></base><target/>"
               "<script/></Tolvar>"
            << true << "b" << QStringList() << "" << false << keep;
        QTest::newRow("second base ignored")
            << "<Tolvar><base><name>a</name></base><base><name>b</name></base><target/>"
               "<script/></Tolvar>"
            << true << "a" << QStringList() << "" << false << keep;
        QTest::newRow("root encoding attribute")
            << "<Tolvar encoding=\"utf-8\"><base/><target/><script/></Tolvar>" << true << ""
            << QStringList() << "" << false << "utf-8";
        QTest::newRow("declaration encoding")
            << "<?xml version=\"1.0\" encoding=\"big5\"?><Tolvar><base/><target/><script/>"
               "</Tolvar>"
            << true << "" << QStringList() << "" << false << "big5";
        QTest::newRow("garbage after the cut")
            << "<Tolvar><base><name>n</name></base><target/><script/></Tolvar>\r\xff<<&" << true
            << "n" << QStringList() << "" << false << keep;
        QTest::newRow("missing parts read empty")
            << "<Tolvar></Tolvar>" << true << "" << QStringList() << "" << false << keep;
        QTest::newRow("no end tag") << "<Tolvar><base/><target/><script/>" << false << ""
                                    << QStringList() << "" << false << keep;
        QTest::newRow("end tag case differs")
            << "<Tolvar><base/></tolvar>" << false << "" << QStringList() << "" << false << keep;
        QTest::newRow("not well-formed")
            << "<Tolvar><base><name>a & b</name></base><target/><script/></Tolvar>" << false << ""
            << QStringList() << "" << false << keep;
        QTest::newRow("empty") << "" << false << "" << QStringList() << "" << false << keep;
    }
    void parserEdgeCases() {
        QFETCH(QString, xml);
        QFETCH(bool, parsed);
        QFETCH(QString, name);
        QFETCH(QStringList, target);
        QFETCH(QString, script);
        QFETCH(bool, hasList);
        QFETCH(QString, encoding);

        // A full record beforehand: nothing of it may survive the parse.
        ScriptDocument& d = ScriptModule::scriptDocument();
        d = ScriptDocument();
        d.encoding = QStringLiteral("kept");
        d.name = d.home = d.information = d.author = d.icon = d.toolPop = d.script = "old";
        d.target = d.include = QStringList{"old"};
        XmlDocument old;
        QVERIFY(old.loadXML("<list><item/></list>"));
        d.list = old.documentElement();

        QCOMPARE(BoxScript::parseScriptText(xml), parsed);
        QCOMPARE(d.name, name);
        QCOMPARE(d.target, target);
        QCOMPARE(d.script, script);
        QCOMPARE(!d.list.isNull(), hasList);
        QCOMPARE(d.encoding, encoding);
        QVERIFY(d.home.isEmpty() && d.information.isEmpty() && d.author.isEmpty());
        QVERIFY(d.icon.isEmpty() && d.toolPop.isEmpty());
        QVERIFY(d.include.isEmpty());
    }

    void malformedBoxesNeverCrash_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");  // null: no file written
        QTest::addColumn<bool>("separated");
        QTest::addColumn<QString>("skinText");

        const QByteArray a = mapped("<a/>", kGeneral);
        QTest::newRow("missing file") << "none.tvb" << QByteArray() << false << "";
        QTest::newRow("empty file") << "e.tvb" << QByteArray("") << false << "";
        QTest::newRow("no separator") << "n.tvb" << mapped("QwErQwEr", kBox) + "\r\n"
                                      << false << "";
        QTest::newRow("script part not xml")
            << "x.tvb" << mapped(a + ":" + "Zm9v\r\n", kBox) + "\r\n"
            << true << "<a/>";
        QTest::newRow("three pieces") << "t.tvb" << mapped(a + "::", kBox) + "\r\n"
                                      << true << "<a/>";
        QTest::newRow("binary") << "b.tvb" << QByteArray("\x00\xff\xfe:\r\r\n\x81", 8) << false
                                << "";
        // A line end inside the data puts the rest out of step; the separator still counts.
        QTest::newRow("several lines")
            << "l.tvb" << mapped(":", kBox) + "\r\n" + mapped("x:y", kBox) + "\r\n"
            << true << "";
        QTest::newRow("parent folder") << "../x.tvb" << QByteArray() << false << "";
        QTest::newRow("nul") << QString::fromUtf8("x\0.tvb", 6) << QByteArray() << false << "";
        QTest::newRow("slash") << "sub/x.tvb" << QByteArray() << false << "";
        QTest::newRow("dot dot") << ".." << QByteArray() << false << "";
        QTest::newRow("empty name") << "" << QByteArray() << false << "";
    }
    void malformedBoxesNeverCrash() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, separated);
        QFETCH(QString, skinText);
        TestProgramFolder folder;
        QDir(folder.path()).mkdir("sub");
        if (!bytes.isNull()) QVERIFY(writeBytes(folder.file(name), bytes));
        QVERIFY(writeBytes(folder.file("x"), mapped(mapped("<s/>", kGeneral) + ":", kBox)));
        // Files an unsafe name would reach: they must not be opened.
        const QByteArray good = mapped(mapped("<s/>", kGeneral) + ":", kBox) + "\r\n";
        if (name.contains('/') || name.contains('\\')) {
            QVERIFY(writeBytes(folder.file("sub/x.tvb"), good));
            QVERIFY(writeBytes(folder.file("sub\\x.tvb"), good));
            QVERIFY(writeBytes(folder.path() + "/../x.tvb", good));
        }

        ScriptModule::scriptDocument().name = "previous box";
        ScriptModule::scriptDocument().target = QStringList{"http://previous/"};
        QString skin = "previous skin", script = "previous script";
        QVERIFY(!BoxScript::openBox(name, skin, script));
        QCOMPARE(ScriptModule::scriptDocument().name, QString());
        QVERIFY(ScriptModule::scriptDocument().target.isEmpty());
        QCOMPARE(BoxFile::decodeBox(platform::fromAnsi(bytes)).separated, separated);
        QCOMPARE(skin, skinText);
        if (!separated) QCOMPARE(script, QString());
        if (name.contains('/')) QFile::remove(folder.path() + "/../x.tvb");
    }

    // Names the folder listing gives may hold any character but "/": they open like others.
    void unusualNamesOpen_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("backslash") << QStringLiteral("a\\b.tvb");
        QTest::newRow("two dots inside") << QStringLiteral("a..b.tvb");
        QTest::newRow("leading dots") << QStringLiteral("..tvb");
    }
    void unusualNamesOpen() {
        QFETCH(QString, name);
        TestProgramFolder folder;
        const QString skin = folder.file("default.skin"), script = folder.file("s.txt");
        QVERIFY(writeBytes(skin, platform::toAnsi(kSkinXml)));
        saveSampleScript(script);
        QVERIFY(BoxFile::writeBox(skin, script, folder.file(name)));
        QCOMPARE(BoxFile::boxFilePath(name), folder.file(name));
        ScriptModule::clearScriptDocument();
        QString skinText, scriptText;
        QVERIFY(BoxScript::openBox(name, skinText, scriptText));
        QCOMPARE(skinText, kSkinXml);
        QCOMPARE(ScriptModule::scriptDocument().name, QStringLiteral("盒子 & <脚本>"));
    }

    // A box from a stranger nested far deeper than any board needs: in the skin, in the board
    // and in a value. It opens, its script is saved and loaded again, its board renders.
    void deeplyNestedBoxOpens() {
        TestProgramFolder folder;
        constexpr int kDepth = 100000;
        const QString deep = QStringLiteral("<b>").repeated(kDepth) + QStringLiteral("x") +
                             QStringLiteral("</b>").repeated(kDepth);
        const QString skin = QStringLiteral("<skin><div id=\"d\" class=\"c\">") + deep +
                             QStringLiteral("$BoardTemplate$</div></skin>\r\n");
        const QString script = QStringLiteral(
                                   "<Tolvar><base><name>深</name></base><list style=\"s\">"
                                   "<label><id>l</id><show>") +
                               deep + QStringLiteral("</show></label>") + deep +
                               QStringLiteral(
                                   "</list><target><url>/</url></target>"
                                   "<script>go()</script></Tolvar>");
        const QByteArray scriptLine = mapped(platform::toAnsi(script), kGeneral) + "\r\n";
        QVERIFY(writeBytes(
            folder.file("deep.tvb"),
            mapped(mapped(platform::toAnsi(skin), kGeneral) + ":" + scriptLine, kBox) + "\r\n"));
        QString skinText, scriptText;
        QVERIFY(BoxScript::openBox("deep.tvb", skinText, scriptText));
        QCOMPARE(skinText, skin);
        const ScriptDocument& d = ScriptModule::scriptDocument();
        QCOMPARE(d.name, QStringLiteral("深"));
        QCOMPARE(skinModule::buildBoardHtml(d.list),
                 QStringLiteral("<div id=\"l\" class=\"$TV_STYLE$\">x</div>\r\n"));
        XmlDocument skinDoc;
        QVERIFY(skinDoc.loadXML(skinText));
        QVERIFY(ScriptModule::saveScriptFile(folder.file("deep.txt")));
        ScriptModule::loadScriptFile(folder.file("deep.txt"));
        QCOMPARE(ScriptModule::scriptDocument().name, QStringLiteral("深"));
        QCOMPARE(ScriptModule::scriptDocument().list.xml().size(), d.list.xml().size());
    }

    void randomBoxesNeverCrash() {
        TestProgramFolder folder;
        QRandomGenerator gen(7);
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes(int(gen.bounded(200)), Qt::Uninitialized);
            for (char& c : bytes) c = char(gen.bounded(256));
            if (round % 3 == 0) {  // a real box with damaged bytes
                bytes = mapped(mapped(bytes, kGeneral) + ":" + mapped(bytes, kGeneral), kBox);
                if (!bytes.isEmpty()) bytes[int(gen.bounded(int(bytes.size())))] = '=';
            }
            QVERIFY(writeBytes(folder.file("r.tvb"), bytes));
            QString skin, script;
            BoxScript::openBox("r.tvb", skin, script);
        }
    }
};

SUITE_TEST_MAIN(BoxFileTest)
#include "tst_boxfile.moc"
