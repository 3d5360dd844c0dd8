// Keystroke cost of the code editor's explain view on a long script: the time from one typed
// character to both function lists rebuilt, with the shipped keyword pairs, against the same
// keystroke in a plain text view.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "library/scriptfunctions.h"
#include "library/translate.h"
#include "support/testenv.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptlines.h"
#include "workbench/scriptview.h"

namespace {

constexpr int kLines = 50000;
constexpr int kRuns = 100;

// 25-line blocks, each a function with the statements the snippet buttons make.
QString makeScript() {
    QStringList lines;
    for (int f = 0; lines.size() < kLines; ++f) {
        const QString n = QString::number(f);
        lines << "function step" + n + "(page, count) {"
              << "    // 如果页面还没有载入完成就等一会儿再试"
              << "    var tarObj" + n + "=document.getElementById('item" + n + "');"
              << "    var list = document.getElementsByTagName('td');"
              << "    if (tarObj" + n + " == null) return false;"
              << "    for (var i = 0; i < list.length; i++) {"
              << "        if(list[i].innerHTML.indexOf('价格') >= 0) list.shift();"
              << "        else if (list[i].className == 'gift') continue;"
              << "        else break;"
              << "    }"
              << "    while (count > 0) { count = count - 1; }"
              << "    tarObj" + n + ".value='想要输入的内容';"
              << "    tarObj" + n + ".click();"
              << "    try{"
              << "    //请在这里书写可能出现执行错误的语句"
              << "    window.location.href = tarObj" + n + ".href;"
              << "    }catch(e){"
              << "    // e 为捕获的错误信息"
              << "    }"
              << "    switch (typeof page) { case 'object': break; default: break; }"
              << "    setTimeout(\"step" + n + "(page, 1);\",1000);"
              << "    alert('完成' + this.title);"
              << "    var variable = new Array();"
              << "    return true;"
              << "}";
    }
    while (lines.size() > kLines) lines.removeLast();
    return lines.join("\r\n") + "\r\n";
}

struct Figures {
    double median = 0, worst = 0;
};

Figures measure(const std::function<void()>& once) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        once();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {(ms[kRuns / 2 - 1] + ms[kRuns / 2]) / 2, ms.back()};
}

void print(const char* what, const Figures& f) {
    std::printf("%-58s median %7.3f ms   worst %7.3f ms\n", what, f.median, f.worst);
}

void typeChar(QPlainTextEdit* view, QChar c) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(view, &press);
}

void caretInLine(QPlainTextEdit* view, int line, int column) {
    QTextCursor c(view->document()->findBlockByNumber(line));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    view->setTextCursor(c);
}

}  // namespace

int main(int argc, char** argv) {
    prepareTestEnvironment();
    QApplication app(argc, argv);
    finishTestEnvironment();
    TestProgramFolder folder(QStringLiteral("velmora"));
    TranslateModule::loadKeywords();

    const QString script = makeScript();
    std::printf("script: %d lines, %lld characters, %lld keyword pairs\n", kLines,
                static_cast<long long>(script.size()),
                static_cast<long long>(TranslateModule::keywordPairs().size()));

    QWidget host;
    host.resize(1200, 800);
    auto* panel = new ScriptEditPanel(&host);
    panel->setGeometry(0, 0, 1180, 780);
    host.show();
    QElapsedTimer switchTime;
    switchTime.start();
    panel->setScriptText(script);
    std::printf("script put in the code view: %.1f ms\n", switchTime.nsecsElapsed() / 1e6);
    switchTime.restart();
    panel->findChild<QPushButton*>("explainCommand")->click();
    std::printf("switch to the explain view: %.1f ms\n", switchTime.nsecsElapsed() / 1e6);
    auto* view = panel->findChild<QPlainTextEdit*>("explainText");
    for (const bool translated : {false, true}) {
        switchTime.restart();
        ScriptLines lines(view->document(), translated);
        std::printf("  every line read afresh (%s): %.1f ms\n",
                    translated ? "translated back" : "as written", switchTime.nsecsElapsed() / 1e6);
    }
    switchTime.restart();
    (void)TranslateModule::translateScript(panel->currentScriptText(), "cn2en");
    std::printf("  whole text translated back: %.1f ms\n", switchTime.nsecsElapsed() / 1e6);
    auto* calls = panel->findChild<QComboBox*>("functionCombo");
    std::printf("functions listed: %d\n\n", calls->count());

    // The switch as the user meets it, from the click to the explain view filled and its
    // function lists rebuilt, against the same text put into a bare text view like it.
    auto* explainButton = panel->findChild<QPushButton*>("explainCommand");
    auto* codeButton = panel->findChild<QPushButton*>("codeCommand");
    QPlainTextEdit bare(&host);
    bare.setGeometry(600, 0, 580, 780);
    bare.setLineWrapMode(QPlainTextEdit::NoWrap);
    bare.setFont(panel->findChild<QPlainTextEdit*>("explainText")->font());
    bare.show();
    const QString explainViewText = ScriptView::shownText(panel->currentScriptText());
    bare.setPlainText(explainViewText);
    std::vector<double> switches, bares;
    for (int run = 0; run < 9; ++run) {
        codeButton->click();
        panel->setScriptText(script);
        QElapsedTimer t;
        t.start();
        explainButton->click();
        switches.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        bare.setPlainText(explainViewText);
        bares.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(switches.begin(), switches.end());
    std::sort(bares.begin(), bares.end());
    const double switchMedian = switches[switches.size() / 2];
    const double bareMedian = bares[bares.size() / 2];
    std::printf("switch to the explain view (median of 9): %.1f ms, bare setPlainText %.1f ms\n\n",
                switchMedian, bareMedian);

    // The floor: the same text in a plain text view with nothing following its changes.
    QPlainTextEdit plain(&host);
    plain.setGeometry(0, 0, 600, 780);
    plain.setLineWrapMode(QPlainTextEdit::NoWrap);
    switchTime.restart();
    plain.setPlainText(ScriptView::shownText(panel->currentScriptText()));
    std::printf("the explain text put in a plain text view: %.1f ms\n",
                switchTime.nsecsElapsed() / 1e6);
    plain.show();
    caretInLine(&plain, kLines / 2 + 1, 8);
    const Figures floor = measure([&] { typeChar(&plain, 'x'); });
    print("keystroke in a plain text view (floor)", floor);

    // A character typed into a body line (the function lists come out the same) and into
    // a function header (the lists change at every key).
    caretInLine(view, kLines / 2 + 1, 8);
    const Figures body = measure([&] { typeChar(view, 'x'); });
    print("keystroke in a body line, explain view", body);
    caretInLine(view, kLines / 2, 16);
    const Figures header = measure([&] { typeChar(view, 'y'); });
    print("keystroke in a function header, explain view", header);
    if (calls->count() == 0) std::printf("(the function list is unexpectedly empty)\n");

    // Nothing remembers translated lines: translating many other lines first changes
    // nothing for the next keystroke.
    QString others;
    for (int i = 0; i < 100000; ++i)
        others += QStringLiteral("【变量】 other%1 = 【文档】.【按编号查找】('x');\r\n").arg(i);
    (void)TranslateModule::translateScript(others, "cn2en");
    caretInLine(view, kLines / 2 + 1, 8);
    const Figures after = measure([&] { typeChar(view, 'z'); });
    print("keystroke after 100,000 other lines were translated", after);

    // Where the time goes when the whole text is asked for (saving, the debugger).
    print("  the code with English keywords (getScriptText)",
          measure([&] { (void)panel->getScriptText(); }));
    const QString explain = ScriptView::scriptText(view->document());
    print("  whole text out of the view",
          measure([&] { (void)ScriptView::scriptText(view->document()); }));
    print("  translate the whole text back (cn2en)",
          measure([&] { (void)TranslateModule::translateScript(explain, "cn2en"); }));
    const QString english = TranslateModule::translateScript(explain, "cn2en");
    print("  list the functions of the whole text",
          measure([&] { (void)ScriptModule::listScriptFunctions(english); }));

    // Edits that take or bring many lines at once: the whole text cut out, then put back.
    auto cutAndPaste = [](QPlainTextEdit* edit, const char* what) {
        QTextCursor all(edit->document());
        all.select(QTextCursor::Document);
        edit->setTextCursor(all);
        QElapsedTimer t;
        t.start();
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        const double cut = t.nsecsElapsed() / 1e6;
        t.restart();
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        std::printf("%-40s whole text cut %6.1f ms, pasted back %6.1f ms\n", what, cut,
                    t.nsecsElapsed() / 1e6);
    };
    cutAndPaste(&plain, "plain text view (floor)");
    cutAndPaste(view, "explain view");
    if (calls->count() == 0) std::printf("(the function list is unexpectedly empty)\n");

    std::printf(
        "BENCH explain view of 50,000 lines, switch from the code view | %.1f | %.1f | <= 1.3 x "
        "floor (floor: bare setPlainText of the same text)\n",
        switchMedian, bareMedian);
    std::printf(
        "BENCH explain-view keystroke, 50,000 lines (body line) | %.3f | %.3f | <= 5 ms (floor: "
        "plain QPlainTextEdit)\n",
        body.median, floor.median);
    std::printf(
        "BENCH explain-view keystroke, 50,000 lines (function header) | %.3f | %.3f | <= 5 ms\n",
        header.median, floor.median);
    std::printf(
        "BENCH explain-view keystroke after 100,000 lines translated | %.3f | %.3f | <= 5 ms, "
        "no cliff\n",
        after.median, floor.median);
    return 0;
}
