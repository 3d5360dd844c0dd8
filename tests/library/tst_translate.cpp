#include <QApplication>
#include <random>

#include "library/plugins.h"
#include "library/scriptfunctions.h"
#include "library/translate.h"
#include "platform/core/ansi.h"
#include "support/testenv.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A script as authors write them: the statement snippets of the code editor, Chinese
// comments, and words that hold keywords inside them.
const QString kRealisticScript = QStringLiteral(
    "//tarObj512为自动生成,可变更为有意义的名称\r\n"
    "var tarObj512=document.getElementById('kw');\r\n"
    "var tarObj77=document.getElementsByName('wd');\r\n"
    "var cells = document.getElementsByTagName('td');\r\n"
    "function fillIn(text) {\r\n"
    "    // 如果输入框不存在就返回\r\n"
    "    if (tarObj512 == null) return false;\r\n"
    "    tarObj512.value='想要输入的内容';\r\n"
    "    tarObj512.click();\r\n"
    "    return true;\r\n"
    "}\r\n"
    "function collect(){\r\n"
    "    var list = new Array();\r\n"
    "    for (var i = 0; i < cells.length; i++) {\r\n"
    "        if(cells[i].innerHTML.indexOf('价格') >= 0) list.push(cells[i].innerHTML);\r\n"
    "        else if (cells[i].className == 'gift') list.shift();\r\n"
    "        else continue;\r\n"
    "    }\r\n"
    "    while (list.length > 100) { list.pop(); }\r\n"
    "    switch (typeof list) { case 'object': break; default: break; }\r\n"
    "    var verify = this.elseif; var variable = window.location.href;\r\n"
    "    var frame = document.getElementById('iframe1').src;\r\n"
    "    return list;\r\n"
    "}\r\n"
    "try{\r\n"
    "//请在这里书写可能出现执行错误的语句\r\n"
    "fillIn(\"a\");\r\n"
    "}catch(e){\r\n"
    "// e 为捕获的错误信息\r\n"
    "// 程序出错后,执行的语句\r\n"
    "}\r\n"
    "if ((tarObj77.length>0)==true){\r\n"
    "//输入的语句\r\n"
    "}\r\n"
    "setTimeout(\"collect();\",1000);setInterval(\"collect();\",3000);\r\n"
    "alert('完成:' + document.forms[0].submit);\r\n"
    "/*\r\n"
    " *************       给自己的代码加上注释是个好习惯       ***********\r\n"
    " */\r\n");

void usePairs(const QStringList& pairs) {
    TranslateModule::keywordPairs() = pairs;
}

}  // namespace

class TranslateTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void cleanup() { usePairs({}); }

    void loadKeepsPairLinesWhole() {
        TestProgramFolder folder;
        // Notes and empty lines are dropped; spaces and a second "=" stay in the line.
        writeBytes(folder.file("keyword.db"),
                   platform::toAnsi(QStringLiteral("说明行\r\n\r\n如果=if\r\n 函数 = function "
                                                   "\r\n甲=a=b\r\n=x\r\n")));
        TranslateModule::loadKeywords();
        QCOMPARE(TranslateModule::keywordPairs(),
                 QStringList({"如果=if", " 函数 = function ", "甲=a=b", "=x"}));
        // Spaces belong to the keywords; only the text up to a second "=" is English.
        QCOMPARE(TranslateModule::translateLineEn2Cn(" function f"), QStringLiteral(" 函数 f"));
        QCOMPARE(TranslateModule::translateLineEn2Cn("function f"), QStringLiteral("function f"));
        QCOMPARE(TranslateModule::translateLineEn2Cn("a=b"), QStringLiteral("甲=b"));
        // A new load replaces the list; a missing file leaves it empty.
        QFile::remove(folder.file("keyword.db"));
        TranslateModule::loadKeywords();
        QVERIFY(TranslateModule::keywordPairs().isEmpty());
        QCOMPARE(TranslateModule::translateScript("if x", "en2cn"), QStringLiteral("if x\r\n"));
    }

    void translatesLines_data() {
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<QString>("en");
        QTest::addColumn<QString>("cn");
        QTest::addColumn<QString>("backToEn");
        const QStringList ifPair{"如果=if"};
        QTest::newRow("keyword") << ifPair << "if (a) {"
                                 << "如果 (a) {"
                                 << "if (a) {";
        QTest::newRow("inside a word") << ifPair << "shift"
                                       << "sh如果t"
                                       << "shift";
        QTest::newRow("every occurrence") << ifPair << "if(if)"
                                          << "如果(如果)"
                                          << "if(if)";
        QTest::newRow("case-sensitive") << ifPair << "If IF"
                                        << "If IF"
                                        << "If IF";
        // The second pair works on what the first put in, in both directions.
        const QStringList chained{"甲=if", "乙=甲x"};
        QTest::newRow("chained pairs") << chained << "ifx if"
                                       << "乙 甲"
                                       << "甲x if";
        // Longer keywords first, or the shorter one takes their text apart.
        const QStringList elseFirst{"否则如果=else if", "否则=else", "如果=if"};
        QTest::newRow("else if first") << elseFirst << "else if"
                                       << "否则如果"
                                       << "else if";
        const QStringList ifFirst{"如果=if", "否则如果=else if", "否则=else"};
        QTest::newRow("if first") << ifFirst << "else if"
                                  << "否则 如果"
                                  << "else if";
        // An empty English keyword changes nothing going to Chinese and deletes going back.
        QTest::newRow("empty english") << QStringList{"注=", "如果=if"} << "if 注"
                                       << "如果 注"
                                       << "if ";
        QTest::newRow("empty chinese") << QStringList{"=var"} << "var a"
                                       << " a"
                                       << " a";
        QTest::newRow("no pairs") << QStringList{} << "if a"
                                  << "if a"
                                  << "if a";
    }
    void translatesLines() {
        QFETCH(QStringList, pairs);
        QFETCH(QString, en);
        QFETCH(QString, cn);
        QFETCH(QString, backToEn);
        usePairs(pairs);
        QCOMPARE(TranslateModule::translateLineEn2Cn(en), cn);
        QCOMPARE(TranslateModule::translateLineCn2En(cn), backToEn);
    }

    void scriptLineEnds_data() {
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<QString>("direction");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QStringList ifPair{"如果=if"};
        QTest::newRow("two lines") << ifPair << "en2cn"
                                   << "a\r\nb"
                                   << "a\r\nb\r\n";
        QTest::newRow("ends in CR LF") << ifPair << "en2cn"
                                       << "a\r\n"
                                       << "a\r\n\r\n";
        QTest::newRow("empty") << ifPair << "en2cn"
                               << ""
                               << "";
        QTest::newRow("only CR LF") << ifPair << "cn2en"
                                    << "\r\n"
                                    << "\r\n\r\n";
        QTest::newRow("lone LF stays") << ifPair << "en2cn"
                                       << "if\nif"
                                       << "如果\n如果\r\n";
        QTest::newRow("back") << ifPair << "cn2en"
                              << "如果\r\nx"
                              << "if\r\nx\r\n";
        QTest::newRow("other direction") << ifPair << "zh"
                                         << "if\r\nif"
                                         << "if\r\nif\r\n";
        // Keywords are matched within a line: one that spans a line end never matches.
        QTest::newRow("keyword across lines") << QStringList{"乙=b\r\nc", "丙=d\ne"} << "en2cn"
                                              << "ab\r\ncd\ne"
                                              << "ab\r\nc丙\r\n";
    }
    void scriptLineEnds() {
        QFETCH(QStringList, pairs);
        QFETCH(QString, direction);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        usePairs(pairs);
        QCOMPARE(TranslateModule::translateScript(text, direction), expected);
    }

    // Translations follow the pair list as it is now, however it was changed.
    void followsChangesOfThePairList() {
        usePairs({"如果=if"});
        QCOMPARE(TranslateModule::translateScript("if x\r\nif", "en2cn"),
                 QStringLiteral("如果 x\r\n如果\r\n"));
        TranslateModule::keywordPairs()[0] = "若=if";
        QCOMPARE(TranslateModule::translateScript("if x\r\nif", "en2cn"),
                 QStringLiteral("若 x\r\n若\r\n"));
        TranslateModule::keywordPairs().prepend("甲=x");
        QCOMPARE(TranslateModule::translateScript("if x\r\nif", "en2cn"),
                 QStringLiteral("若 甲\r\n若\r\n"));
        TranslateModule::keywordPairs().clear();
        QCOMPARE(TranslateModule::translateScript("if x\r\nif", "en2cn"),
                 QStringLiteral("if x\r\nif\r\n"));
    }

    void shippedKeywordFile() {
        TestProgramFolder folder(QStringLiteral("velmora"));
        const QByteArray bytes = readBytes(folder.file("keyword.db"));
        QVERIFY(!bytes.isEmpty());
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QCOMPARE(platform::toAnsi(platform::fromAnsi(bytes)), bytes);  // GBK all through
        TranslateModule::loadKeywords();
        const QStringList pairs = TranslateModule::keywordPairs();
        QVERIFY(pairs.size() > 20);
        QCOMPARE(pairs.first(), QStringLiteral("【否则如果】=else if"));
        QStringList chinese;
        for (const QString& p : pairs) chinese << p.section('=', 0, 0);
        QCOMPARE(QSet<QString>(chinese.begin(), chinese.end()).size(), chinese.size());
    }

    // Switching to the explain view and back gives the author's code back, plus the two
    // line ends that the two translations add.
    void shippedPairsRoundTripARealisticScript() {
        TestProgramFolder folder(QStringLiteral("velmora"));
        TranslateModule::loadKeywords();
        const QString cn = TranslateModule::translateScript(kRealisticScript, "en2cn");
        QVERIFY(cn.contains(QStringLiteral("【函数】 fillIn(text) {")));
        QVERIFY(cn.contains(QStringLiteral("【否则如果】 (")));
        QVERIFY(cn.contains(QStringLiteral("【如果】 ((tarObj77")));
        QVERIFY(cn.contains(QStringLiteral("【如果】(cells")));
        QVERIFY(!cn.contains(QStringLiteral("function")));
        QCOMPARE(cn.count(QStringLiteral("\r\n")), kRealisticScript.count("\r\n") + 1);
        QCOMPARE(TranslateModule::translateScript(cn, "cn2en"), kRealisticScript + kCrLf + kCrLf);
    }

    void shippedPairsRoundTripLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("afterRoundTrip");
        auto same = [](const char* name, const QString& line) {
            QTest::newRow(name) << line << line;
        };
        same("keywords", "if (a) { return b; } else { while(x) continue; }");
        same("keyword inside words", "list.shift(); verify(iframe, elseif, variable, fortune);");
        same("keywords next to each other", "elseiffor(vartrue");
        same("chinese comment", "// 如果没有找到, 否则返回空值, 函数结束");
        same("strings", "alert('if (x) function return');");
        same("full-width brackets", "// 【注意】 if 【");
        same("line breaks inside", QStringLiteral("if\rreturn"));
        // What does not survive: text that already holds a Chinese keyword of the file.
        QTest::newRow("chinese keyword in a comment")
            << QStringLiteral("// 写【如果】(就是写if(") << QStringLiteral("// 写if(就是写if(");
    }
    void shippedPairsRoundTripLine() {
        QFETCH(QString, line);
        QFETCH(QString, afterRoundTrip);
        TestProgramFolder folder(QStringLiteral("velmora"));
        TranslateModule::loadKeywords();
        const QString back =
            TranslateModule::translateLineCn2En(TranslateModule::translateLineEn2Cn(line));
        QCOMPARE(back, afterRoundTrip);
    }

    // Translating a line is the plain substitution of every pair in turn, whatever shortcut
    // passes pairs over: keys of one or two characters, keys that only appear once an
    // earlier pair has put them in, keys that overlap or share their first characters, empty
    // sides, keys that all begin with the same character, and pair lists too long or too
    // varied for the search to take them all at once (their keys all of one length, so that
    // a thousand replacements cannot make a line grow without end).
    void linesMatchPlainSubstitution_data() {
        QTest::addColumn<QString>("alphabet");
        QTest::addColumn<QString>("leader");  // put before every key, when not empty
        QTest::addColumn<int>("mostPairs");
        QTest::addColumn<int>("longestKey");  // negative: every key that long
        QTest::addColumn<int>("rounds");
        QTest::newRow("few pairs")
            << QStringLiteral("ab【】如果 x\r") << QString() << 8 << 3 << 300;
        QTest::newRow("keys that build on each other")
            << QStringLiteral("ab") << QString() << 12 << 4 << 300;
        QTest::newRow("one leading character")
            << QStringLiteral("a】如 (") << QStringLiteral("【") << 8 << 3 << 300;
        QString wide;
        for (char16_t c = 0x4E00; c < 0x4E00 + 3000; ++c) wide += QChar(c);
        QTest::newRow("too varied for the table") << wide << QString() << 1500 << -3 << 2;
        QTest::newRow("over a thousand pairs")
            << QStringLiteral("abcd") << QString() << 1200 << -2 << 2;
    }
    void linesMatchPlainSubstitution() {
        QFETCH(QString, alphabet);
        QFETCH(QString, leader);
        QFETCH(int, mostPairs);
        QFETCH(int, longestKey);
        QFETCH(int, rounds);
        std::mt19937 random(20261210);
        auto pick = [&](int most) {
            QString out;
            const int n = most < 0 ? -most : std::uniform_int_distribution<int>(0, most)(random);
            for (int i = 0; i < n; ++i)
                out += alphabet[std::uniform_int_distribution<int>(0, alphabet.size() - 1)(random)];
            return out;
        };
        auto key = [&] {
            const QString k = pick(longestKey);
            return leader.isEmpty() || k.isEmpty() ? k : leader + k;
        };
        for (int round = 0; round < rounds; ++round) {
            QStringList pairs;
            const int count = std::uniform_int_distribution<int>(1, mostPairs)(random);
            for (int i = rounds > 3 ? count : mostPairs; i > 0; --i) pairs << key() + "=" + key();
            usePairs(pairs);
            for (int i = 0; i < 20; ++i) {
                QString line = pick(longestKey < 0 ? -8 * longestKey : 24);
                // Lines made of keys, so that many pairs meet.
                for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k)
                    line += pairs[std::uniform_int_distribution<int>(0, pairs.size() - 1)(random)]
                                .section('=', i % 2, i % 2);
                for (const bool toEnglish : {false, true}) {
                    QString expected = line;
                    for (const QString& pair : pairs) {
                        const QString cn = pair.section('=', 0, 0);
                        const QString en = pair.section('=', 1, 1);
                        const QString& from = toEnglish ? cn : en;
                        if (!from.isEmpty()) expected.replace(from, toEnglish ? en : cn);
                    }
                    const QString got = toEnglish ? TranslateModule::translateLineCn2En(line)
                                                  : TranslateModule::translateLineEn2Cn(line);
                    if (got != expected)
                        QFAIL(qPrintable(QStringLiteral("pairs %1, line \"%2\": %3 instead of %4")
                                             .arg(pairs.join(' '), line, got, expected)));
                }
            }
        }
    }

    // A whole text is its lines translated one by one, each followed by CR LF: lone CRs and
    // LFs stay inside their lines, and a line translated after a long one or a changed one
    // carries nothing of it.
    void scriptsMatchTheirLines() {
        std::mt19937 random(20261211);
        const QString alphabet = QStringLiteral("ai f【如】\r\n");
        auto pick = [&](int most) {
            QString out;
            const int n = std::uniform_int_distribution<int>(0, most)(random);
            for (int i = 0; i < n; ++i)
                out += alphabet[std::uniform_int_distribution<int>(0, alphabet.size() - 1)(random)];
            return out;
        };
        for (int round = 0; round < 200; ++round) {
            QStringList pairs;
            for (int i = std::uniform_int_distribution<int>(1, 6)(random); i > 0; --i)
                pairs << pick(3).remove('\r').remove('\n') + "=" + pick(3).remove('\r');
            usePairs(pairs);
            const QString text = pick(60);
            for (const char* direction : {"en2cn", "cn2en"}) {
                QString expected;
                if (!text.isEmpty())
                    for (const QString& line : text.split(kCrLf))
                        expected += (direction == QByteArrayView("en2cn")
                                         ? TranslateModule::translateLineEn2Cn(line)
                                         : TranslateModule::translateLineCn2En(line)) +
                                    kCrLf;
                QCOMPARE(TranslateModule::translateScript(text, direction), expected);
            }
        }
    }

    void listsFunctions_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("space before brace") << "function add(a, b) {" << QStringList{"add(a, b) ;"};
        QTest::newRow("no space") << "function init(){\r\n}" << QStringList{"init();"};
        QTest::newRow("declaration and expression")
            << "function f(x) {\r\n  return x;\r\n}\r\nvar g = function (y) {\r\n}"
            << QStringList{"f(x) ;", "(y) ;"};
        QTest::newRow("brace on the next line empties the list")
            << "function a() {\nfunction b()\n{" << QStringList{};
        QTest::newRow("comment without brace empties the list")
            << "function a() {}\r\n// this function is old\r\nfunction b() {}" << QStringList{};
        QTest::newRow("capital F") << "Function f() {\r\nfunction g() {" << QStringList{"g() ;"};
        QTest::newRow("no space after function")
            << "function(){ }\r\nfunction\tx(){" << QStringList{};
        QTest::newRow("first function of the line, first brace after it")
            << "x{ function a(){ function b(){" << QStringList{"a();"};
        QTest::newRow("CR stays when no brace") << "function a()\r" << QStringList{};
        QTest::newRow("lines end at LF only")
            << "function a(){\rfunction b(){" << QStringList{"a();"};
    }
    void listsFunctions() {
        QFETCH(QString, code);
        QFETCH(QStringList, calls);
        QCOMPARE(ScriptModule::listScriptFunctions(code), calls);
    }

    // Random codes made of the pieces the scan looks for, against the rule written plainly.
    void listsFunctionsOfRandomCode() {
        const QStringList pieces{"function ", "functio", "f",  "n ", "{",
                                 "}",         "\n",      "\r", "x(", "中"};
        std::mt19937 random(20261213);
        for (int round = 0; round < 3000; ++round) {
            QString code;
            for (int i = std::uniform_int_distribution<int>(0, 14)(random); i > 0; --i)
                code += pieces[std::uniform_int_distribution<int>(0, pieces.size() - 1)(random)];
            QStringList expected;
            bool headerWithoutBrace = false;
            const QStringList lines = code.split('\n');
            for (qsizetype i = 0; i < lines.size(); ++i) {
                if (i + 1 == lines.size() && lines[i].isEmpty()) break;
                const qsizetype at = lines[i].indexOf("function ");
                if (at < 0) continue;
                const QString rest = lines[i].mid(at + 9);
                if (!rest.contains('{')) headerWithoutBrace = true;
                expected << rest.left(rest.indexOf('{')) + ";";
            }
            if (headerWithoutBrace) expected.clear();
            QCOMPARE(ScriptModule::listScriptFunctions(code), expected);
        }
    }

    void pluginCollectionExistsOnlyOnceSet() {
        ScriptModule::resetPluginCollectionForTest();
        QVERIFY(!ScriptModule::pluginCollectionExists());
        QVERIFY(ScriptModule::pluginCollection().isEmpty());
        ScriptModule::pluginCollection().append("stray");
        QVERIFY(ScriptModule::pluginCollection().isEmpty());
        QVERIFY(!ScriptModule::pluginCollectionExists());
        ScriptModule::setPluginCollection({});
        QVERIFY(ScriptModule::pluginCollectionExists());
        ScriptModule::setPluginCollection({"jq=http://a/jq.js", "", "x=http://b=c"});
        QCOMPARE(ScriptModule::pluginCollection(),
                 QStringList({"jq=http://a/jq.js", "", "x=http://b=c"}));
        ScriptModule::resetPluginCollectionForTest();
    }
};

SUITE_TEST_MAIN(TranslateTest)
#include "tst_translate.moc"
