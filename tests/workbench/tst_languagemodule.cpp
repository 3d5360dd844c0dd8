#include <QApplication>

#include "platform/core/random.h"
#include "support/testenv.h"
#include "workbench/languagemodule.h"
#include "workbench/numbertext.h"

using namespace LanguageModule;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The variable names the builders should draw, worked out from the generator's definition
// rather than by calling it: state starts at 0x50000, x = (x * 0x43FD43FD + 0xC39EC3) mod
// 2^24, value x / 2^24; the name is "tarObj" and the whole part of value * 999.
class ExpectedNames {
  public:
    QString next() {
        x_ = (x_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
        const double r = x_ / 16777216.0;
        return QStringLiteral("tarObj") + QString::number(int(r * 999));
    }

  private:
    quint32 x_ = 0x50000;
};

}  // namespace

class LanguageModuleTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void callSnippet_data() {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bare name") << "init"
                                   << "init();\r\n";
        QTest::newRow("parentheses") << "add(a, b)"
                                     << "add(a, b);\r\n";
        QTest::newRow("as listed") << "add(a, b) ;"
                                   << "add(a, b) ;\r\n";
        QTest::newRow("semicolon, no parentheses") << "init;"
                                                   << "init;();\r\n";
        QTest::newRow("one parenthesis") << "init("
                                         << "init(();\r\n";
        QTest::newRow("order does not matter") << ")x("
                                               << ")x(;\r\n";
        QTest::newRow("empty") << ""
                               << "();\r\n";
    }
    void callSnippet() {
        QFETCH(QString, header);
        QFETCH(QString, expected);
        QCOMPARE(makeCallSnippet(header), expected);
    }

    void functionSnippet_data() {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bare name") << "go"
                                   << "function go(){\r\n//方法体内容\r\n}\r\n";
        QTest::newRow("arguments") << "go(a,b)"
                                   << "function go(a,b){\r\n//方法体内容\r\n}\r\n";
        QTest::newRow("empty parentheses") << "go()"
                                           << "function go(){\r\n//方法体内容\r\n}\r\n";
        QTest::newRow("one parenthesis") << "go("
                                         << "function go((){\r\n//方法体内容\r\n}\r\n";
    }
    void functionSnippet() {
        QFETCH(QString, header);
        QFETCH(QString, expected);
        QCOMPARE(makeFunctionSnippet(header), expected);
    }

    void conditionSnippet_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("expected");
        QTest::newRow("statement") << "执行语句"
                                   << "if ((a>1)==true){\r\n//输入的语句\r\n}\r\n";
        QTest::newRow("loop") << "执行循环"
                              << "while (a>1){\r\n//输入的语句\r\n}\r\n";
        QTest::newRow("unlisted") << "执行"
                                  << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void conditionSnippet() {
        QFETCH(QString, choice);
        QFETCH(QString, expected);
        QCOMPARE(makeConditionSnippet("a>1", choice), expected);
    }

    void timerSnippet_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("fits");
        QTest::newRow("delay ms") << "延迟" << 1000 << "毫秒"
                                  << "run();"
                                  << "\r\nsetTimeout(\"run();\",1000);" << true;
        QTest::newRow("repeat s") << "循环" << 32 << "秒"
                                  << "run();"
                                  << "\r\nsetInterval(\"run();\",32000);" << true;
        QTest::newRow("negative s") << "延迟" << -32 << "秒"
                                    << "f"
                                    << "\r\nsetTimeout(\"f\",-32000);" << true;
        QTest::newRow("plain decimal") << "延迟" << 100 << "毫秒"
                                       << "f"
                                       << "\r\nsetTimeout(\"f\",100);" << true;
        QTest::newRow("largest ms") << "延迟" << 32767 << "毫秒"
                                    << "f"
                                    << "\r\nsetTimeout(\"f\",32767);" << true;
        QTest::newRow("unlisted kind") << "x" << 5 << "毫秒"
                                       << "f"
                                       << "\r\nf\",5);" << true;
        QTest::newRow("unlisted unit") << "延迟" << 5 << "分"
                                       << "f"
                                       << "\r\nsetTimeout(\"f\",);" << true;
        QTest::newRow("quote in code") << "延迟" << 1 << "毫秒"
                                       << "a(\"b\")"
                                       << "\r\nsetTimeout(\"a(\"b\")\",1);" << true;
        // Beyond 32 seconds the delay no longer fits 16 bits: written in full, and flagged.
        QTest::newRow("33 s") << "延迟" << 33 << "秒"
                              << "f"
                              << "\r\nsetTimeout(\"f\",33000);" << false;
        QTest::newRow("-33 s") << "延迟" << -33 << "秒"
                               << "f"
                               << "\r\nsetTimeout(\"f\",-33000);" << false;
    }
    void timerSnippet() {
        QFETCH(QString, kind);
        QFETCH(int, count);
        QFETCH(QString, unit);
        QFETCH(QString, code);
        QFETCH(QString, expected);
        QFETCH(bool, fits);
        QCOMPARE(makeTimerSnippet(kind, qint16(count), unit, code), expected);
        QCOMPARE(timerDelayFits(qint16(count), unit), fits);
    }

    void alertKeepsInputAsTyped() {
        QCOMPARE(makeAlertSnippet("it's \\n"), QStringLiteral("\r\nalert('it's \\n');\r\n"));
        QCOMPARE(makeAlertSnippet(""), QStringLiteral("\r\nalert('');\r\n"));
    }

    void controlSnippet_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("expected");
        QTest::newRow("click") << "点击"
                               << "\r\nbtn.click();\r\n";
        QTest::newRow("type") << "输入"
                              << "\r\nbtn.value='想要输入的内容';\r\n";
        QTest::newRow("unlisted") << "点 击"
                                  << "\r\n\r\n";
        QTest::newRow("empty") << ""
                               << "\r\n\r\n";
    }
    void controlSnippet() {
        QFETCH(QString, choice);
        QFETCH(QString, expected);
        QCOMPARE(makeControlSnippet(choice, "btn"), expected);
    }

    // Each search and read draws exactly one name, listed choice word or not, in call order.
    void elementSnippetsDrawNames_data() {
        QTest::addColumn<QString>("maker");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("body");  // "$v" stands for the drawn name
        const QString searchNote = "\r\n//$v为自动生成,可变更为有意义的名称\r\n";
        const QString readNote = "\r\n//$v为读取的内容\r\n";
        QTest::newRow("by id") << "search"
                               << "根据编号"
                               << searchNote + "var $v=document.getElementById('k');\r\n";
        QTest::newRow("by name") << "search"
                                 << "根据名称"
                                 << searchNote + "var $v=document.getElementsByName('k');\r\n";
        QTest::newRow("search unlisted") << "search"
                                         << "编号" << searchNote + "\r\n";
        QTest::newRow("read id") << "read"
                                 << "编号" << readNote + "var $v=k.id;\r\n";
        QTest::newRow("read name") << "read"
                                   << "名称" << readNote + "var $v=k.name;\r\n";
        QTest::newRow("read content") << "read"
                                      << "内容" << readNote + "var $v=k.innerHTML;\r\n";
        QTest::newRow("read link") << "read"
                                   << "链接" << readNote + "var $v=k.href;\r\n";
        QTest::newRow("read source") << "read"
                                     << "来源" << readNote + "var $v=k.src;\r\n";
        QTest::newRow("read unlisted") << "read"
                                       << "" << readNote + "\r\n";
    }
    void elementSnippetsDrawNames() {
        QFETCH(QString, maker);
        QFETCH(QString, choice);
        QFETCH(QString, body);
        platform::resetRandomForTest();
        ExpectedNames names;
        // Three calls in a row: the third name is the generator's third value.
        for (int i = 0; i < 3; ++i) {
            const QString v = names.next();
            const QString got =
                maker == "search" ? makeSearchSnippet(choice, "k") : makeReadSnippet(choice, "k");
            QCOMPARE(got, QString(body).replace("$v", v));
        }
    }

    void namesCoverTheirRangeAndMayRepeat() {
        platform::resetRandomForTest();
        ExpectedNames names;
        QSet<QString> seen;
        bool repeated = false;
        for (int i = 0; i < 2000; ++i) {
            const QString v = names.next();
            QVERIFY(makeReadSnippet("编号", "t").contains("var " + v + "=t.id;"));
            const int n = v.mid(6).toInt();
            QVERIFY(n >= 0 && n <= 998);
            QCOMPARE(QString::number(n), v.mid(6));
            repeated = repeated || seen.contains(v);
            seen.insert(v);
        }
        QVERIFY(repeated);
    }

    void trySnippet() {
        QCOMPARE(makeTrySnippet(),
                 QStringLiteral("\r\ntry{\r\n//请在这里书写可能出现执行错误的语句\r\n}catch(e){\r\n"
                                "// e 为捕获的错误信息\r\n// 程序出错后,执行的语句\r\n}\r\n\r\n"));
    }

    void commentSnippet() {
        QCOMPARE(makeCommentSnippet("单行注释"), QStringLiteral("\r\n//\r\n\r\n"));
        QCOMPARE(makeCommentSnippet("注释"), kCrLf + kCrLf);
        QCOMPARE(makeCommentSnippet(""), kCrLf + kCrLf);
        const QString rule =
            " ********************************************************************";
        const QString banner =
            QStringLiteral(" *************       给自己的代码加上注释是个好习惯       ***********");
        QCOMPARE(rule.size(), 69);
        QCOMPARE(banner.size(), 54);
        QCOMPARE(makeCommentSnippet("多行注释"),
                 "\r\n/*\r\n" + rule + "\r\n" + banner + "\r\n" + rule + "\r\n */\r\n\r\n");
    }

    void readsNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::newRow("digits") << "1000" << true << 1000.0;
        QTest::newRow("blanks around") << " 12 " << true << 12.0;
        QTest::newRow("tabs around") << "\t12\t" << true << 12.0;
        QTest::newRow("leading zeros") << "0100" << true << 100.0;
        QTest::newRow("signs") << "-3" << true << -3.0;
        QTest::newRow("plus") << "+3" << true << 3.0;
        QTest::newRow("fraction") << "2.5" << true << 2.5;
        QTest::newRow("no integer part") << ".5" << true << 0.5;
        QTest::newRow("no fraction digits") << "5." << true << 5.0;
        QTest::newRow("exponent") << "1e3" << true << 1000.0;
        QTest::newRow("signed exponent") << "25E-1" << true << 2.5;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("blank") << "  " << false << 0.0;
        QTest::newRow("bare point") << "." << false << 0.0;
        QTest::newRow("bare exponent") << "1e" << false << 0.0;
        QTest::newRow("inner blank") << "1 2" << false << 0.0;
        QTest::newRow("two signs") << "--1" << false << 0.0;
        QTest::newRow("thousands separator") << "1,000" << false << 0.0;
        QTest::newRow("hexadecimal") << "&H10" << false << 0.0;
        QTest::newRow("trailing letter") << "12ms" << false << 0.0;
        QTest::newRow("too large") << "1e999" << false << 0.0;
    }
    void readsNumbers() {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        const auto n = NumberText::readNumber(text, QLocale::c());
        QCOMPARE(n.has_value(), numeric);
        if (numeric) QCOMPARE(*n, value);
    }

    void readsTheLocalesDecimalSeparator() {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(NumberText::readNumber("2,5", german).value_or(-1), 2.5);
        QVERIFY(!NumberText::readNumber("2.5", german));
    }

    void roundsToInt16_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<int>("count");
        QTest::newRow("2.5") << 2.5 << true << 2;
        QTest::newRow("3.5") << 3.5 << true << 4;
        QTest::newRow("0.5") << 0.5 << true << 0;
        QTest::newRow("-2.5") << -2.5 << true << -2;
        QTest::newRow("-3.5") << -3.5 << true << -4;
        QTest::newRow("2.49") << 2.49 << true << 2;
        QTest::newRow("2.51") << 2.51 << true << 3;
        QTest::newRow("largest") << 32767.4 << true << 32767;
        QTest::newRow("rounds past the largest") << 32767.5 << false << 0;
        QTest::newRow("smallest half") << -32768.5 << true << -32768;
        QTest::newRow("below the smallest") << -32769.0 << false << 0;
    }
    void roundsToInt16() {
        QFETCH(double, value);
        QFETCH(bool, fits);
        QFETCH(int, count);
        const auto c = NumberText::toInt16(value);
        QCOMPARE(c.has_value(), fits);
        if (fits) QCOMPARE(int(*c), count);
    }
};

SUITE_TEST_MAIN(LanguageModuleTest)
#include "tst_languagemodule.moc"
