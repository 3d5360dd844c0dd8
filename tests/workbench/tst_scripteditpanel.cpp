#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <memory>
#include <random>

#include "library/scriptdocument.h"
#include "library/scriptfunctions.h"
#include "library/translate.h"
#include "platform/core/random.h"
#include "platform/dialogs.h"
#include "support/testenv.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptview.h"

namespace {

// The script window's host for the panel, shown offscreen.
struct Host {
    Host() {
        window = std::make_unique<QWidget>();
        window->resize(1000, 700);
        panel = new ScriptEditPanel(window.get());
        panel->setGeometry(0, 0, 960, 660);
        window->show();
    }
    template <typename T>
    T* get(const char* name) const {
        T* c = panel->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    QPlainTextEdit* view(const char* name) const { return get<QPlainTextEdit>(name); }
    // What the user sees in a view, in the panel's line-end form.
    QString textOf(const char* name) const {
        return ScriptView::scriptText(view(name)->document());
    }
    void click(const char* name) const { get<QPushButton>(name)->click(); }
    void choose(const char* combo, int index) const {
        get<QComboBox>(combo)->setCurrentIndex(index);
    }
    void type(const char* name, const QString& text) const { get<QLineEdit>(name)->setText(text); }
    QStringList items(const char* combo) const {
        QStringList out;
        auto* c = get<QComboBox>(combo);
        for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
        return out;
    }
    // Types into a view key by key, as the user does; "\n" is the Enter key.
    void typeKeys(const char* name, const QString& text) const {
        for (const QChar c : text) {
            if (c == QLatin1Char('\n')) {
                QTest::keyClick(view(name), Qt::Key_Return);
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view(name), &press);
            QApplication::sendEvent(view(name), &release);
        }
    }
    void caretAtEnd(const char* name) const {
        QTextCursor c = view(name)->textCursor();
        c.movePosition(QTextCursor::End);
        view(name)->setTextCursor(c);
    }

    std::unique_ptr<QWidget> window;
    ScriptEditPanel* panel = nullptr;
};

const QStringList kFixedLists{"judgeCombo", "timerCombo", "timeUnitsCombo", "searchCombo",
                              "ctrlCombo",  "readCombo",  "notesCombo"};

}  // namespace

class ScriptEditPanelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        TranslateModule::keywordPairs() = QStringList{"【函数】=function", "如果=if"};
        platform::clearShownDialogs();
    }

    void startsInTheCodeView() {
        Host h;
        QCOMPARE(h.panel->objectName(), QStringLiteral("ScriptEditPanel"));
        QVERIFY(!h.view("codeText")->isHidden());
        QVERIFY(h.view("explainText")->isHidden());
        QVERIFY(!h.panel->isExplainView());
        QVERIFY(!h.get<QPushButton>("codeCommand")->isEnabled());
        QVERIFY(h.get<QPushButton>("explainCommand")->isEnabled());
        QCOMPARE(h.get<QPushButton>("explainCommand")->text(), QStringLiteral("解释模式"));
        auto* strip = h.get<QTabWidget>("scriptTabStrip");
        QCOMPARE(strip->count(), 4);
        QCOMPARE(strip->tabText(3), QStringLiteral("引入插件"));
        QCOMPARE(strip->currentIndex(), 0);
        QVERIFY(!h.get<QFrame>("baseCodeFrame")->isHidden());
        for (const char* f : {"ctrlCodeFrame", "otherCodeFrame", "pluginFrame"})
            QVERIFY(h.get<QFrame>(f)->isHidden());
        QVERIFY(h.items("functionCombo").isEmpty());
        QVERIFY(h.items("functionLineCombo").isEmpty());
        QCOMPARE(h.get<QListWidget>("pluginList")->count(), 0);
        QCOMPARE(h.panel->currentScriptText(), QString());
        QCOMPARE(h.get<QLineEdit>("timerText")->text(), QStringLiteral("1000"));
        QCOMPARE(h.get<QPushButton>("tryCommand")->text(), QStringLiteral("输 入"));
        // Both views at the same place, to the right of the palette.
        QCOMPARE(h.view("codeText")->geometry(), h.view("explainText")->geometry());
        QVERIFY(h.view("codeText")->x() >= strip->geometry().right());
    }

    // Every line break the user can make in either view, typed or pasted, comes back from the
    // panel as CR LF and through a script file as a line end: never as a character the file
    // cannot hold.
    // What the panel knows of a text it has just put into a view (the text itself, each
    // line's English form and function calls) is what the view gives when read afresh,
    // whatever line breaks and marks the text holds.
    void textPutInAViewIsKnownAsTheViewHoldsIt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pairs");  // empty: the shipped ones
        QTest::newRow("crlf lines")
            << QStringLiteral("function a() {\r\nif (x) {}\r\n") << QStringList();
        QTest::newRow("lone cr") << QStringLiteral("function a()\r{\r\nvar b;") << QStringList();
        QTest::newRow("line separator")
            << QString::fromUtf16(u"function a() {\u2028function b() {\r\nx") << QStringList();
        QTest::newRow("paragraph separator")
            << QString::fromUtf16(u"var a;\u2029function b() {\u2029") << QStringList();
        QTest::newRow("frame start")
            << QString::fromUtf16(u"function a() {\uFDD0if(x)") << QStringList();
        QTest::newRow("frame end")
            << QString::fromUtf16(u"if(x)\uFDD1function c() {") << QStringList();
        QTest::newRow("the lone cr mark")
            << QString::fromUtf16(u"function a() {\u240D\r\nvar \u240D;") << QStringList();
        QTest::newRow("keywords and NUL")
            << QString::fromUtf16(u"【函数】 q() {\r\n\u0000【如果】 (a)\r\n\r\n") << QStringList();
        // A keyword may hold a lone LF, which the translation then puts into the code view.
        QTest::newRow("lone lf from a keyword")
            << QStringLiteral("甲 function f() {") << QStringList{"甲=a\nb"};
    }
    void textPutInAViewIsKnownAsTheViewHoldsIt() {
        QFETCH(QString, text);
        QFETCH(QStringList, pairs);
        TestProgramFolder folder(QStringLiteral("velmora"));
        TranslateModule::loadKeywords();
        if (!pairs.isEmpty()) TranslateModule::keywordPairs() = pairs;
        Host h;
        auto afresh = [&](const char* name) {
            return ScriptView::scriptText(h.view(name)->document());
        };
        h.panel->setScriptText(text);
        QCOMPARE(h.panel->currentScriptText(), afresh("codeText"));
        QCOMPARE(h.panel->getScriptText(), afresh("codeText"));
        h.click("explainCommand");
        const QString english = TranslateModule::translateScript(afresh("explainText"), "cn2en");
        QCOMPARE(h.panel->getScriptText(), english);
        QCOMPARE(h.items("functionCombo"), ScriptModule::listScriptFunctions(english));
        // A line typed into after the switch is read on its own, the others stay as read.
        h.view("explainText")->setFocus();
        h.view("explainText")->moveCursor(QTextCursor::End);
        h.typeKeys("explainText", "\nfunction z() {");
        const QString typed = TranslateModule::translateScript(afresh("explainText"), "cn2en");
        QCOMPARE(h.panel->getScriptText(), typed);
        QCOMPARE(h.items("functionCombo"), ScriptModule::listScriptFunctions(typed));
        // Back in the code view the text in use is the translation itself, and the function
        // lists are those of the view.
        const QString back = TranslateModule::translateScript(afresh("explainText"), "cn2en");
        h.click("codeCommand");
        QCOMPARE(h.panel->currentScriptText(), back);
        QCOMPARE(h.items("functionCombo"), ScriptModule::listScriptFunctions(afresh("codeText")));
        // Once typed into, the code view is read again.
        h.view("codeText")->setFocus();
        h.typeKeys("codeText", "z");
        QCOMPARE(h.panel->currentScriptText(), afresh("codeText"));
        TranslateModule::keywordPairs().clear();
    }

    // The conversions between the panel's text and a view's, on texts of the characters
    // they treat and others, against the rules written out one character at a time.
    void viewTextConversionsFollowTheirRules() {
        const QString alphabet = QString::fromUtf16(u"a中\r\n\u2028\u2029\u240D ");
        std::mt19937 random(20261212);
        ScriptView view;
        for (int round = 0; round < 2000; ++round) {
            QString text;
            for (int i = std::uniform_int_distribution<int>(0, 12)(random); i > 0; --i)
                text +=
                    alphabet[std::uniform_int_distribution<int>(0, alphabet.size() - 1)(random)];
            QString forView, fromView;
            for (qsizetype i = 0; i < text.size(); ++i) {
                const bool crLf = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
                if (crLf)
                    forView += QChar(u'\n'), fromView += QStringLiteral("\r\n"), ++i;
                else if (text[i] == u'\r')
                    forView += ScriptView::kLoneCrMark, fromView += QChar(u'\r');
                else if (text[i] == u'\n' || text[i] == QChar::LineSeparator ||
                         text[i] == QChar::ParagraphSeparator)
                    forView += text[i], fromView += QStringLiteral("\r\n");
                else
                    forView += text[i], fromView += text[i];
            }
            QCOMPARE(ScriptView::shownText(text), forView);
            QCOMPARE(view.setScriptText(text), forView);
            QCOMPARE(ScriptView::scriptText(view.document()), fromView);
        }
    }

    void everyLineBreakIsALineEnd_data() {
        QTest::addColumn<QString>("viewName");
        QTest::newRow("code view") << "codeText";
        QTest::newRow("explain view") << "explainText";
    }
    void everyLineBreakIsALineEnd() {
        QFETCH(QString, viewName);
        const QByteArray name = viewName.toLatin1();
        Host h;
        if (viewName == "explainText") h.click("explainCommand");
        QPlainTextEdit* view = h.view(name.constData());
        view->setFocus();
        h.typeKeys(name.constData(), "var a=1;");
        QTest::keyClick(view, Qt::Key_Return, Qt::ShiftModifier);
        h.typeKeys(name.constData(), "var b=2;");
        QTest::keyClick(view, Qt::Key_Enter, Qt::ShiftModifier);  // the keypad's Enter
        h.typeKeys(name.constData(), "// note");
        QTest::keyClick(view, Qt::Key_Return);
        // Pasted text with a line separator, a paragraph separator, a lone CR and CR LF.
        QGuiApplication::clipboard()->setText(
            QString::fromUtf16(u"c();\u2028d();\u2029e();\rf();\r\ng();"));
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
        const QString expected =
            "var a=1;\r\nvar b=2;\r\n// note\r\nc();\r\nd();\r\ne();\r\nf();\r\ng();";
        // The explain view's text goes back through the translation, which ends every line.
        QCOMPARE(h.panel->getScriptText(),
                 viewName == "explainText" ? expected + "\r\n" : expected);
        QVERIFY(!view->document()->toRawText().contains(QChar::LineSeparator));

        // Through a script file: the code loads as the lines typed.
        TestProgramFolder folder;
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc = ScriptDocument();
        doc.script = h.panel->getScriptText();
        QVERIFY(ScriptModule::saveScriptFile(folder.file("s.txt")));
        ScriptModule::loadScriptFile(folder.file("s.txt"));
        QCOMPARE(doc.script, QString(expected).replace("\r\n", "\n"));
        QVERIFY(!doc.script.contains('?'));
    }

    void paletteTabsShowOneFrame() {
        Host h;
        const char* frames[] = {"baseCodeFrame", "ctrlCodeFrame", "otherCodeFrame", "pluginFrame"};
        for (int tab : {2, 1, 3, 0}) {
            h.get<QTabWidget>("scriptTabStrip")->setCurrentIndex(tab);
            for (int f = 0; f < 4; ++f) QCOMPARE(h.get<QFrame>(frames[f])->isHidden(), f != tab);
        }
    }

    void resizingPutsFixedListsBack() {
        Host h;
        const QStringList first{"执行语句", "延迟", "毫秒", "根据编号", "点击", "编号", "单行注释"};
        for (int i = 0; i < kFixedLists.size(); ++i) {
            auto* c = h.get<QComboBox>(kFixedLists[i].toLatin1().constData());
            QCOMPARE(c->currentText(), first[i]);  // selected at the first resize
            QVERIFY(!c->isEditable());
            c->setCurrentIndex(1);
        }
        h.panel->resize(900, 640);
        for (int i = 0; i < kFixedLists.size(); ++i)
            QCOMPARE(h.get<QComboBox>(kFixedLists[i].toLatin1().constData())->currentText(),
                     first[i]);
        // Views and frames follow the panel's size.
        const int w = 900 * 15, hgt = 640 * 15;
        auto* strip = h.get<QTabWidget>("scriptTabStrip");
        QCOMPARE(strip->height() * 15, hgt - strip->y() * 15);
        QCOMPARE(h.view("codeText")->width(), (w - strip->width() * 15 - 100) / 15);
        QCOMPARE(h.view("codeText")->height(), (hgt - h.view("codeText")->y() * 15 - 100) / 15);
        QCOMPARE(h.get<QFrame>("pluginFrame")->geometry(),
                 h.get<QFrame>("baseCodeFrame")->geometry());
    }

    void setScriptTextNormalisesLineEnds_data() {
        QTest::addColumn<QString>("cin");
        QTest::addColumn<QString>("stored");
        QTest::newRow("LF") << "a\nb\n"
                            << "a\r\nb\r\n";
        QTest::newRow("CR LF unchanged") << "a\r\nb\r\n"
                                         << "a\r\nb\r\n";
        QTest::newRow("lone CR stays") << "a\rb"
                                       << "a\rb";
        QTest::newRow("CR before CR LF") << "a\r\r\nb"
                                         << "a\r\r\nb";
        QTest::newRow("empty lines") << "\n\n"
                                     << "\r\n\r\n";
        QTest::newRow("no-break space and tab") << QStringLiteral("a\u00a0\tb") << "a\u00a0\tb";
        QTest::newRow("empty") << ""
                               << "";
    }
    void setScriptTextNormalisesLineEnds() {
        QFETCH(QString, cin);
        QFETCH(QString, stored);
        Host h;
        h.panel->setScriptText(cin);
        QCOMPARE(h.panel->currentScriptText(), stored);
        QCOMPARE(h.textOf("codeText"), stored);
        QCOMPARE(h.panel->getScriptText(), stored);
    }

    // The view shows a lone CR as the carriage-return symbol; the script's own symbol, put
    // in by the script, by typing or by pasting, stays that symbol in either view. Copying
    // and pasting within the views keeps the lone CR.
    void loneCrAndTheSymbolStayApart_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("view");
        QTest::newRow("code view") << "codeCommand"
                                   << "codeText";
        QTest::newRow("explain view") << "explainCommand"
                                      << "explainText";
    }
    void loneCrAndTheSymbolStayApart() {
        QFETCH(QString, button);
        QFETCH(QString, view);
        const QByteArray nameBytes = view.toLatin1();
        const char* name = nameBytes.constData();
        const QString symbol = QString::fromUtf16(u"\u240D");
        const QString code = "a\rb\r\nvar s='" + symbol + "';";
        const QString tail = view == "explainText" ? "\r\n" : "";
        Host h;
        h.panel->setScriptText(code);
        h.click(qPrintable(button));
        QCOMPARE(h.panel->getScriptText(), code + tail + tail);
        QPlainTextEdit* edit = h.view(name);
        edit->setFocus();

        // Typed right after the lone CR's symbol, and pasted there from elsewhere.
        QTextCursor at = edit->textCursor();
        at.setPosition(2);
        edit->setTextCursor(at);
        h.typeKeys(name, symbol);
        QGuiApplication::clipboard()->setText(symbol);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        const QString typed = "a\r" + symbol + symbol + "b\r\nvar s='" + symbol + "';";
        QCOMPARE(h.textOf(name), typed + tail);

        // The first line cut and put back at the end: its lone CR comes back as one.
        at.setPosition(0);
        at.setPosition(5, QTextCursor::KeepAnchor);
        edit->setTextCursor(at);
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), "a\r" + symbol + symbol + "b");
        h.caretAtEnd(name);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        const QString moved = "\r\nvar s='" + symbol + "';" + tail + "a\r" + symbol + symbol + "b";
        QCOMPARE(h.textOf(name), moved);
        QCOMPARE(h.panel->getScriptText(), view == "explainText" ? moved + "\r\n" : moved);

        // Undone, the paste takes nothing of the text before it with it.
        QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.textOf(name), "\r\nvar s='" + symbol + "';" + tail);
    }

    void setScriptTextAlwaysWritesTheCodeView() {
        Host h;
        h.panel->setScriptText("if a");
        h.click("explainCommand");
        QCOMPARE(h.textOf("explainText"), QStringLiteral("如果 a\r\n"));
        h.panel->setScriptText("b");
        QVERIFY(h.panel->isExplainView());
        QCOMPARE(h.textOf("codeText"), QStringLiteral("b"));
        QCOMPARE(h.textOf("explainText"), QStringLiteral("如果 a\r\n"));
        QCOMPARE(h.panel->currentScriptText(), QStringLiteral("b"));
    }

    // Every switch adds one line end to a text that is not empty.
    void viewSwitchesAddLineEnds_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("explain");
        QTest::newRow("no final line end") << "if a\r\nb"
                                           << "如果 a\r\nb\r\n";
        QTest::newRow("final line end") << "if a\r\n"
                                        << "如果 a\r\n\r\n";
        QTest::newRow("lone CR") << "if\ra"
                                 << "如果\ra\r\n";
        QTest::newRow("empty") << ""
                               << "";
    }
    void viewSwitchesAddLineEnds() {
        QFETCH(QString, code);
        QFETCH(QString, explain);
        Host h;
        h.panel->setScriptText(code);
        h.click("explainCommand");
        QVERIFY(h.panel->isExplainView());
        QVERIFY(h.view("codeText")->isHidden());
        QVERIFY(!h.get<QPushButton>("explainCommand")->isEnabled());
        QVERIFY(h.get<QPushButton>("codeCommand")->isEnabled());
        QCOMPARE(h.textOf("explainText"), explain);
        QCOMPARE(h.panel->currentScriptText(), explain);
        // Handed out in English, with one line end more than the view shows.
        const QString extra = code.isEmpty() ? "" : "\r\n\r\n";
        QCOMPARE(h.panel->getScriptText(), code + extra);
        QCOMPARE(h.textOf("codeText"), code);  // kept until the switch back
        h.click("codeCommand");
        QVERIFY(!h.panel->isExplainView());
        QCOMPARE(h.textOf("codeText"), code + extra);
        QCOMPARE(h.panel->getScriptText(), code + extra);
    }

    void functionListsFollowEveryChange() {
        Host h;
        h.panel->setScriptText("function a(x) {\r\n}\r\nfunction b(){\r\n}");
        const QStringList both{"a(x) ;", "b();"};
        QCOMPARE(h.items("functionCombo"), both);
        QCOMPARE(h.items("functionLineCombo"), both);
        // Emptied and refilled: a typed or picked text does not survive a change.
        h.get<QComboBox>("functionCombo")->setCurrentIndex(1);
        h.get<QComboBox>("functionLineCombo")->setEditText("typed");
        h.caretAtEnd("codeText");
        h.typeKeys("codeText", "\nfunction c(){");
        QCOMPARE(h.items("functionCombo"), QStringList({"a(x) ;", "b();", "c();"}));
        QCOMPARE(h.get<QComboBox>("functionCombo")->currentText(), QString());
        QCOMPARE(h.get<QComboBox>("functionLineCombo")->currentText(), QString());
        QCOMPARE(h.panel->currentScriptText(),
                 QStringLiteral("function a(x) {\r\n}\r\nfunction b(){\r\n}\r\nfunction c(){"));
        // A "function " without a brace after it empties both lists.
        h.typeKeys("codeText", "\n// this function is old");
        QVERIFY(h.items("functionCombo").isEmpty());
        QVERIFY(h.items("functionLineCombo").isEmpty());
    }

    // The panel follows each view line by line; whatever the user does to the text, what it
    // hands out and lists is what the whole text gives: the text as shown, its translation
    // back to English keywords, the functions of that translation.
    void editsKeepTheScriptInStep_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("view");
        QTest::newRow("code view") << "codeCommand"
                                   << "codeText";
        QTest::newRow("explain view") << "explainCommand"
                                      << "explainText";
    }
    void editsKeepTheScriptInStep() {
        QFETCH(QString, button);
        QFETCH(QString, view);
        TranslateModule::keywordPairs() =
            QStringList{"【函数】=function", "如果=if", "【否则如果】=else if", "【否则】=else"};
        Host h;
        h.panel->setScriptText(
            "function a(x) {\r\n  if (x) go();\r\n}\r\nvar b = function (y) {\r\n}\r\n");
        h.click(qPrintable(button));
        const QByteArray nameBytes = view.toLatin1();
        const char* name = nameBytes.constData();
        QPlainTextEdit* edit = h.view(name);
        edit->setFocus();
        const QStringList pieces{"【函数】 f(",
                                 "){",
                                 "function ",
                                 "如果 (a) {",
                                 "【函",
                                 "数】",
                                 "x",
                                 "{",
                                 " ",
                                 "// note function old",
                                 "如",
                                 "果",
                                 "【否则】【如果】",
                                 "else if",
                                 "\n",
                                 "\n【函数】 g(){\n"};
        const QStringList pasted{"a\r\nfunction p(){\r\n", "【函数】 q() {\u2028b", "lone\rcr",
                                 "\u00a0nbsp\u2029{"};
        const QList<QKeyCombination> keys{Qt::Key_Backspace,
                                          Qt::Key_Delete,
                                          Qt::Key_Left,
                                          Qt::Key_Right,
                                          Qt::Key_Up,
                                          Qt::Key_Down,
                                          Qt::Key_Home,
                                          Qt::Key_End,
                                          Qt::Key_PageUp,
                                          Qt::Key_PageDown,
                                          Qt::SHIFT | Qt::Key_Left,
                                          Qt::SHIFT | Qt::Key_Down,
                                          Qt::SHIFT | Qt::Key_Up,
                                          Qt::SHIFT | Qt::Key_End,
                                          Qt::SHIFT | Qt::Key_Return,
                                          Qt::CTRL | Qt::Key_Z,
                                          Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
                                          Qt::CTRL | Qt::Key_Home,
                                          Qt::CTRL | Qt::Key_End,
                                          Qt::CTRL | Qt::Key_X,
                                          Qt::Key_Return};
        std::mt19937 random(7);
        auto below = [&random](qsizetype n) {
            return std::uniform_int_distribution<qsizetype>(0, n - 1)(random);
        };
        for (int step = 0; step < 400; ++step) {
            const qsizetype what = below(10);
            if (what < 4) {
                h.typeKeys(name, pieces[below(pieces.size())]);
            } else if (what < 8) {
                const QKeyCombination k = keys[below(keys.size())];
                QTest::keyClick(edit, k.key(), k.keyboardModifiers());
            } else if (what == 8) {
                QApplication::clipboard()->setText(pasted[below(pasted.size())]);
                QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            } else if (below(4) == 0) {
                // Now and then the whole text goes, or a statement button fills in.
                QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(edit, Qt::Key_Delete);
            } else {
                h.click("tryCommand");
            }
            const QString shown = h.textOf(name);
            const QString english =
                view == "explainText" ? TranslateModule::translateScript(shown, "cn2en") : shown;
            const QString where = QStringLiteral("step %1: ").arg(step);
            QCOMPARE(where + h.panel->currentScriptText(), where + shown);
            QCOMPARE(where + h.panel->getScriptText(), where + english);
            QCOMPARE(h.items("functionCombo"), ScriptModule::listScriptFunctions(english));
            QCOMPARE(h.items("functionLineCombo"), h.items("functionCombo"));
        }
    }

    void explainViewListsFromTheEnglishText() {
        Host h;
        h.panel->setScriptText("function go(){\r\n}");
        h.click("explainCommand");
        QCOMPARE(h.textOf("explainText"), QStringLiteral("【函数】 go(){\r\n}\r\n"));
        QCOMPARE(h.items("functionCombo"), QStringList{"go();"});
        h.caretAtEnd("explainText");
        h.typeKeys("explainText", "【函数】 stop(){");
        QCOMPARE(h.items("functionLineCombo"), QStringList({"go();", "stop();"}));
    }

    void statementButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("inputs");  // control=value pairs, combos by index
        QTest::addColumn<QString>("inserted");    // empty: the guard holds the button back
        auto row = [](const char* name, const char* button, const QStringList& inputs,
                      const QString& inserted) {
            QTest::newRow(name) << button << inputs << inserted;
        };
        row("alert", "alertCommand", {"alertText=hi"}, "\r\nalert('hi');\r\n");
        row("alert blank counts", "alertCommand", {"alertText= "}, "\r\nalert(' ');\r\n");
        row("alert empty", "alertCommand", {"alertText="}, "");
        row("search by name", "searchCommand", {"searchText=q", "searchCombo=1"},
            "\r\n//$v为自动生成,可变更为有意义的名称\r\nvar "
            "$v=document.getElementsByName('q');\r\n");
        row("search empty", "searchCommand", {"searchText="}, "");
        row("control type", "ctrlCommand", {"ctrlText=box", "ctrlCombo=1"},
            "\r\nbox.value='想要输入的内容';\r\n");
        row("control empty", "ctrlCommand", {"ctrlText="}, "");
        row("read link", "readCommand", {"readText=a", "readCombo=3"},
            "\r\n//$v为读取的内容\r\nvar $v=a.href;\r\n");
        row("read empty", "readCommand", {"readText="}, "");
        row("try", "tryCommand", {},
            "\r\ntry{\r\n//请在这里书写可能出现执行错误的语句\r\n}catch(e){\r\n"
            "// e 为捕获的错误信息\r\n// 程序出错后,执行的语句\r\n}\r\n\r\n");
        row("single-line comment", "notesCommand", {}, "\r\n//\r\n\r\n");
        row("condition loop", "judgeCommand", {"judgeText=i<3", "judgeCombo=1"},
            "while (i<3){\r\n//输入的语句\r\n}\r\n");
        row("condition empty", "judgeCommand", {"judgeText="}, "");
        row("call", "useFunctionCommand", {"functionCombo=go"}, "go();\r\n");
        row("call empty", "useFunctionCommand", {"functionCombo="}, "");
        row("declaration", "functionCommand", {"functionText=go(a)"},
            "function go(a){\r\n//方法体内容\r\n}\r\n");
        row("declaration empty", "functionCommand", {"functionText="}, "");
        row("timer", "timerCommand", {"functionLineCombo=go();"},
            "\r\nsetTimeout(\"go();\",1000);");
        row("timer blanks around", "timerCommand", {"timerText= 12 ", "functionLineCombo=f"},
            "\r\nsetTimeout(\"f\",12);");
        row("timer half down", "timerCommand", {"timerText=2.5", "functionLineCombo=f"},
            "\r\nsetTimeout(\"f\",2);");
        row("timer half up", "timerCommand",
            {"timerText=3.5", "functionLineCombo=f", "timerCombo=1", "timeUnitsCombo=1"},
            "\r\nsetInterval(\"f\",4000);");
        row("timer seconds edge", "timerCommand",
            {"timerText=-32", "functionLineCombo=f", "timeUnitsCombo=1"},
            "\r\nsetTimeout(\"f\",-32000);");
        row("timer letters", "timerCommand", {"timerText=abc", "functionLineCombo=f"}, "");
        row("timer empty", "timerCommand", {"timerText=", "functionLineCombo=f"}, "");
        row("timer no code", "timerCommand", {"timerText=5", "functionLineCombo="}, "");
    }
    void statementButtons() {
        QFETCH(QString, button);
        QFETCH(QStringList, inputs);
        QFETCH(QString, inserted);
        for (bool explain : {false, true}) {
            Host h;
            h.panel->setScriptText("AXB");
            if (explain) h.click("explainCommand");
            const char* viewName = explain ? "explainText" : "codeText";
            const QString before = h.textOf(viewName);
            for (const QString& in : inputs) {
                const QString name = in.section('=', 0, 0);
                const QString value = in.section('=', 1);
                if (auto* c = h.panel->findChild<QComboBox*>(name)) {
                    if (c->isEditable())
                        c->setEditText(value);
                    else
                        c->setCurrentIndex(value.toInt());
                } else {
                    h.type(name.toLatin1().constData(), value);
                }
            }
            // Select the "X": the snippet takes its place.
            QTextCursor cur = h.view(viewName)->textCursor();
            cur.setPosition(1);
            cur.setPosition(2, QTextCursor::KeepAnchor);
            h.view(viewName)->setTextCursor(cur);
            platform::resetRandomForTest();
            const QString firstName =
                QStringLiteral("tarObj") +
                QString::number(
                    int(((0x50000u * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu) / 16777216.0 * 999));
            h.click(button.toLatin1().constData());
            const QString expected =
                inserted.isEmpty()
                    ? before
                    : "A" + QString(inserted).replace("$v", firstName) + before.mid(2);
            QCOMPARE(h.textOf(viewName), expected);
            QCOMPARE(h.panel->currentScriptText(), expected);
            QVERIFY(platform::shownDialogs().isEmpty());
        }
    }

    // The snippet goes in as built, also where the view shows keywords in Chinese.
    void snippetInExplainViewStaysEnglish() {
        TestProgramFolder folder(QStringLiteral("velmora"));
        TranslateModule::loadKeywords();
        Host h;
        h.panel->setScriptText("if (a) b();");
        h.click("explainCommand");
        QCOMPARE(h.textOf("explainText"), QStringLiteral("【如果】 (a) b();\r\n"));
        h.caretAtEnd("explainText");
        h.get<QTabWidget>("scriptTabStrip")->setCurrentIndex(1);
        h.type("functionText", "go()");
        h.click("functionCommand");
        QCOMPARE(h.textOf("explainText"),
                 QStringLiteral("【如果】 (a) b();\r\nfunction go(){\r\n//方法体内容\r\n}\r\n"));
        QCOMPARE(h.items("functionCombo"), QStringList{"go();"});
        QCOMPARE(h.panel->getScriptText(),
                 QStringLiteral("if (a) b();\r\nfunction go(){\r\n//方法体内容\r\n}\r\n\r\n"));
    }

    // Counts and delays beyond 16 bits are refused with a message, and nothing goes in.
    void timerOutOfRangeIsRefused_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("unit");
        QTest::newRow("count too large") << "32767.5" << 0;
        QTest::newRow("count too small") << "-40000" << 0;
        QTest::newRow("seconds too large") << "33" << 1;
        QTest::newRow("seconds too small") << "-32.6" << 1;
    }
    void timerOutOfRangeIsRefused() {
        QFETCH(QString, count);
        QFETCH(int, unit);
        Host h;
        h.panel->setScriptText("x");
        h.type("timerText", count);
        h.choose("timeUnitsCombo", unit);
        h.get<QComboBox>("functionLineCombo")->setEditText("f");
        h.click("timerCommand");
        QCOMPARE(h.textOf("codeText"), QStringLiteral("x"));
        const auto shown = platform::shownDialogs();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("提示"));
        QVERIFY(shown[0].text.contains(unit ? "-32到32" : "-32768到32767"));
    }

    void pluginListFromTheDownloadedLines() {
        Host h;
        h.panel->setScrtipHeadList(QStringList{"jq=http://a/jq.js", "", "plain", "x=http://b=c",
                                               "jq=http://c/jq2.js", "Jq=http://d"},
                                   QStringList{"jq", "plain", "missing"});
        auto* list = h.get<QListWidget>("pluginList");
        QStringList names;
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        QCOMPARE(names, QStringList({"jq", "plain", "x", "jq", "Jq"}));
        // Both entries of a repeated name are ticked; the match is exact.
        QCOMPARE(h.panel->getScriptList(), QStringList({"jq", "plain", "jq"}));
        // A second call appends again and unticks nothing; no include list ticks nothing.
        h.panel->setScrtipHeadList(QStringList{"x=1"}, std::nullopt);
        QCOMPARE(list->count(), 6);
        QCOMPARE(h.panel->getScriptList(), QStringList({"jq", "plain", "jq"}));
        h.panel->setScrtipHeadList(std::nullopt, QStringList{"x"});
        QCOMPARE(h.panel->getScriptList(), QStringList({"jq", "plain", "x", "jq", "x"}));
    }

    void nothingTickedGivesAnEmptyList() {
        Host h;
        QCOMPARE(h.panel->getScriptList(), QStringList());
        h.panel->setScrtipHeadList(QStringList{"a=1", "b=2"}, QStringList{});
        QCOMPARE(h.panel->getScriptList(), QStringList());
        h.get<QListWidget>("pluginList")->item(1)->setCheckState(Qt::Checked);
        QCOMPARE(h.panel->getScriptList(), QStringList{"b"});
    }
};

SUITE_TEST_MAIN(ScriptEditPanelTest)
#include "tst_scripteditpanel.moc"
