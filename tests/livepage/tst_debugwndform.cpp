#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <memory>

#include "library/base64.h"
#include "library/plugins.h"
#include "library/scriptdocument.h"
#include "library/xmldocument.h"
#include "livepage/debugwndform.h"
#include "platform/core/ansi.h"
#include "platform/core/programfolder.h"
#include "platform/webbrowser.h"
#include "support/testenv.h"
#include "support/testserver.h"
#include "workbench/mainwndform.h"
#include "workbench/scripteditpanel.h"
#include "workbench/scriptwndform.h"
#include "workbench/skineditpanel.h"

using platform::BrowserArray;
using platform::WebBrowser;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

const QByteArray kPage =
    "<html><head><title>t</title></head><body><p id=\"own\">own</p></body></html>";

const QString kScript = QStringLiteral(
    "function add(a,b){\r\n  window.sum=a+b;\r\n}\r\nwindow.ran=(window.ran||'')+'code;';\r\n");
const QString kBoard = QStringLiteral(
    "<list style=\"night\"><item><id>b1</id><show>开始</show><click>add(1,2)</click>"
    "<style>tvButton</style></item></list>");

// What the dressing added after the page's own elements, each as kind:origin; runs of the same
// entry are written once ("script:panel" for however many scripts the panel has).
const char* const kAddedParts = R"JS((function () {
  function origin(e) {
    if (e.tagName === 'SCRIPT' && e.getAttribute('src'))
      return 'src=' + e.getAttribute('src').replace(/^.*\//, '');
    var t = e.tagName === 'SCRIPT' ? e.text : (e.id || e.textContent);
    if (e.tagName === 'SCRIPT' && t === window.__code) return 'code';
    if (t.indexOf('velmoraPanel') >= 0 || /^vp/.test(e.id)) return 'panel';
    if (t.indexOf('velmoraBoard') >= 0) return 'board';
    return '?';
  }
  function list(els) {
    var out = [];
    els.forEach(function (e) {
      var s = e.tagName.toLowerCase() + ':' + origin(e);
      if (out[out.length - 1] !== s) out.push(s);
    });
    return out.join('|');
  }
  return list([].slice.call(document.head.children, 1)) + ' || ' +
         list([].slice.call(document.body.children, 1));
})())JS";

// bug.log's messages, without the date and time in front of them.
QStringList logMessages() {
    const QString text = platform::fromAnsi(readBytes(platform::programFile("bug.log")));
    QStringList out;
    for (const QString& line : text.split(kCrLf, Qt::SkipEmptyParts)) {
        const int at = line.indexOf(QStringLiteral("=>"));
        out << (at < 0 ? line : line.mid(at + 2));
    }
    return out;
}

QByteArray pluginJs(const char* name) {
    return QByteArray("window.plugins=(window.plugins||[]).concat('") + name + "');";
}

}  // namespace

class DebugWndFormTest : public QObject {
    Q_OBJECT

    TestServer* server_ = nullptr;
    std::unique_ptr<TestProgramFolder> folder_;
    DebugWndForm& form_ = DebugWndForm::instance();

    BrowserArray* array() const { return form_.host().array(); }
    WebBrowser* inUse() const { return form_.host().elementInUse(); }
    template <typename T>
    T* control(const char* name) const {
        return form_.control<T>(QString::fromLatin1(name));
    }

    static bool waitFor(QSignalSpy& spy, int count = 1) {
        while (spy.size() < count)
            if (!spy.wait(15000)) return false;
        return true;
    }

    // Shows the window and waits for the load step's blank page.
    bool open() {
        if (form_.isLoaded()) return true;
        form_.show();
        if (!array()) return false;
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        return waitFor(done);
    }

    // Navigates through the address row and waits for the page.
    bool go(const QString& path = QStringLiteral("/page.html")) {
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        control<QLineEdit>("urlText")->setText(server_->url(path));
        control<QPushButton>("jumpCommand")->click();
        return waitFor(done);
    }

    QVariant page(const QString& expression) const {
        return inUse()->Document().evaluate(expression);
    }
    QString added() const {
        const QString code = ScriptWndForm::instance().scriptEdit()->getScriptText();
        inUse()->Document().execScript(QStringLiteral("window.__code=%1;").arg(jsString(code)));
        return page(QString::fromUtf8(kAddedParts)).toString();
    }
    static QString jsString(QString text) {
        text.replace('\\', "\\\\").replace('\'', "\\'").replace('\r', "\\r").replace('\n', "\\n");
        return '\'' + text + '\'';
    }

    void runLine(const QString& code, const QString& language) {
        control<QComboBox>("languageCombo")->setCurrentText(language);
        control<QPlainTextEdit>("lineText")->setPlainText(code);
        control<QPushButton>("executeLineCommand")->click();
    }
    void clearHistory() { control<QPlainTextEdit>("tipsText")->clear(); }

  private Q_SLOTS:
    void initTestCase() {
        server_ = new TestServer(this);
        server_->page("/page.html", kPage);
        server_->page("/other.html", kPage);
        for (const char* name : {"jq", "jq2", "util", "other"})
            server_->page(QByteArray("/p/") + name + ".js", pluginJs(name),
                          "application/javascript");

        folder_ = std::make_unique<TestProgramFolder>(QStringLiteral("velmora"));
        // The main window comes back when the script window closes; its site refuses at once.
        writeBytes(folder_->file("site.ini"),
                   "[site]\r\nforumHost=http://127.0.0.1:1\r\nmainHost=http://127.0.0.1:1\r\n"
                   "requestTimeoutMs=500\r\n");
        MainWndForm::instance().setQuitOnClose(false);
        MainWndForm::instance().rndFlagStr = MainWndForm::instance().emailname(8);

        ScriptModule::setPluginCollection({
            "jq=" + server_->url("/p/jq.js"),
            QString(),
            "util=" + server_->url("/p/util.js") + "=more text",
            "jq=" + server_->url("/p/jq2.js"),
            "bare",
            "other=" + server_->url("/p/other.js"),
        });
        ScriptModule::clearScriptDocument();
        ScriptDocument& doc = ScriptModule::scriptDocument();
        doc.script = kScript;
        doc.include = {"jq", "util", "bare"};
        XmlDocument xml;
        QVERIFY(xml.loadXML(kBoard));
        doc.list = xml.documentElement();
        ScriptWndForm::instance().reLoadData();
        QCOMPARE(ScriptWndForm::instance().scriptEdit()->getScriptList(),
                 QStringList({"jq", "util", "jq", "bare"}));
    }

    void cleanupTestCase() {
        form_.close();
        ScriptWndForm::instance().close();
        MainWndForm::instance().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        folder_.reset();
    }

    void loadsWithBlankPageAndFunctionList() {
        QFile::remove(platform::programFile("bug.log"));
        QVERIFY(open());
        QCOMPARE(form_.widget()->windowTitle(), QStringLiteral("调试窗口"));
        QCOMPARE(inUse()->LocationURL(), QStringLiteral("about:blank"));
        // The start page is traced and nothing more.
        QCOMPARE(logMessages(), QStringList{"debug start"});
        QCOMPARE(control<QLineEdit>("urlText")->text(), QStringLiteral("http://"));
        auto* functions = control<QComboBox>("functionCombo");
        QCOMPARE(functions->count(), 1);
        QCOMPARE(functions->itemText(0), QStringLiteral("add(a,b);"));
        auto* languages = control<QComboBox>("languageCombo");
        QCOMPARE(languages->count(), 2);
        QCOMPARE(languages->currentText(), QStringLiteral("JavaScript"));
        QCOMPARE(languages->itemText(1), QStringLiteral("VBScript"));
        QVERIFY(form_.analysisPanelText.startsWith(QStringLiteral("<html>\r\n<style>")));
        QVERIFY(form_.analysisPanelText.contains(QStringLiteral("velmoraPanel")));
    }

    void dressesEveryTopLevelPage() {
        QVERIFY(open());
        QFile::remove(platform::programFile("bug.log"));
        QVERIFY(go());
        QCOMPARE(control<QLineEdit>("urlText")->text(), server_->url("/page.html"));
        // Plug-in tags in the order of the ticked names, each name once however often the
        // editor lists it (jq's two lines, util's address alone, the bare line none), then the skin
        // of the board with the board, the code, the panel. (What the panel's own script adds to
        // the body afterwards is its business.)
        const QString parts = added();
        QVERIFY2(parts.startsWith(QStringLiteral(
                     "script:src=jq.js|script:src=jq2.js|script:src=util.js|style:board|"
                     "style:panel || div:board|script:board|script:code|div:panel|script:panel")),
                 qPrintable(parts));
        QVERIFY(page("!!document.getElementById('b1')").toBool());
        // The board's skin, read from the program folder's css folder.
        QVERIFY(page("document.head.innerHTML.indexOf('#1e222b')>=0").toBool());
        QCOMPARE(page("window.ran").toString(), QStringLiteral("code;"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return page("String(window.plugins && window.plugins.slice().sort())") ==
                       QStringLiteral("jq,jq2,util");
            },
            5000));

        QStringList expected{"debug start",
                             "debug url start",
                             "debug url end",
                             "debug runScript start",
                             "debug runScript end",
                             "debug inScript2Wnd start",
                             "debug inScript2Wnd end",
                             "debug end"};
        QStringList trace = logMessages();
        QVERIFY2(!trace.contains(QStringLiteral("Description:")), qPrintable(trace.join('\n')));
        // The panel traces each of its scripts inside its own bracket.
        const int panelScripts = trace.count(QStringLiteral("script-----------------------------"));
        QVERIFY(panelScripts >= 1);
        for (int i = 0; i < panelScripts; ++i)
            expected.insert(6, "script-----------------------------");
        QCOMPARE(trace, expected);

        // Edits in the editor reach the next page; the function list stays as loaded.
        ScriptEditPanel* editor = ScriptWndForm::instance().scriptEdit();
        editor->setScriptText(QStringLiteral("function sub(a,b){\r\n}\r\nwindow.ran='new;';\r\n"));
        QVERIFY(go("/other.html"));
        QCOMPARE(page("window.ran").toString(), QStringLiteral("new;"));
        QCOMPARE(control<QComboBox>("functionCombo")->itemText(0), QStringLiteral("add(a,b);"));
        editor->setScriptText(kScript);

        // A board whose skin file is missing: no skin and no board, the code all the same.
        SkinEditPanel* skins = ScriptWndForm::instance().skinEdit();
        XmlDocument xml;
        QVERIFY(xml.loadXML(QString(kBoard).replace("night", "gone")));
        const XmlNode board = skins->getSkinData();
        skins->setSkinData(xml.documentElement());
        QVERIFY(go());
        QVERIFY2(added().contains(QStringLiteral("style:panel || script:code|div:panel")),
                 qPrintable(added()));
        QVERIFY(!page("!!document.getElementById('b1')").toBool());
        skins->setSkinData(board);
    }

    // Each trace line is written when its stage is reached, with its own time: a dressing that
    // hangs in the page has left the lines before it in bug.log while it hangs.
    void traceLinesComeAsTheyHappen() {
        QVERIFY(open());
        ScriptEditPanel* editor = ScriptWndForm::instance().scriptEdit();
        editor->setScriptText(QStringLiteral("while (true) {}\r\n"));
        QFile::remove(platform::programFile("bug.log"));
        QStringList duringHang;
        QTimer::singleShot(1500, this, [&] { duringHang = logMessages(); });
        QVERIFY(go());
        QCOMPARE(duringHang, QStringList({"debug start", "debug url start", "debug url end",
                                          "debug runScript start"}));
        QCOMPARE(logMessages(), QStringList({"debug start", "debug url start", "debug url end",
                                             "debug runScript start", "debug runScript end",
                                             "debug inScript2Wnd start", "Description:页面没有响应",
                                             "debug inScript2Wnd end", "debug end"}));
        const QStringList lines =
            platform::fromAnsi(readBytes(platform::programFile("bug.log"))).split(kCrLf);
        const auto timeOf = [&](int i) { return lines.at(i).left(lines.at(i).indexOf("=>")); };
        QVERIFY2(timeOf(3) != timeOf(4), qPrintable(lines.join('\n')));
        editor->setScriptText(kScript);
        QVERIFY(go());
        QCOMPARE(page("window.ran").toString(), QStringLiteral("code;"));

        // The skin and the code went in and the page is busy with the panel: their lines are
        // there already.
        const QString panel = form_.analysisPanelText;
        form_.analysisPanelText =
            QStringLiteral("<p><script>%1</script></p>")
                .arg(BASE64Module::base64Encode(QStringLiteral(
                    "var t = Date.now(); while (Date.now() - t < 2000) {} window.panel = 1;")));
        QFile::remove(platform::programFile("bug.log"));
        duringHang.clear();
        QTimer::singleShot(1000, this, [&] { duringHang = logMessages(); });
        QVERIFY(go());
        form_.analysisPanelText = panel;
        QCOMPARE(duringHang, QStringList({"debug start", "debug url start", "debug url end",
                                          "debug runScript start", "debug runScript end",
                                          "debug inScript2Wnd start"}));
        QCOMPARE(logMessages(),
                 QStringList({"debug start", "debug url start", "debug url end",
                              "debug runScript start", "debug runScript end",
                              "debug inScript2Wnd start", "script-----------------------------",
                              "debug inScript2Wnd end", "debug end"}));
        QCOMPARE(page("window.ran").toString(), QStringLiteral("code;"));
        QCOMPARE(page("window.panel").toInt(), 1);
    }

    void runsLinesAndFunctionsIntoTheHistory() {
        QVERIFY(open());
        QVERIFY(go());
        clearHistory();
        runLine(QStringLiteral("window.x=1;"), QStringLiteral("JavaScript"));
        QString history = QStringLiteral(">>window.x=1;\r\n+>执行成功\r\n");
        QCOMPARE(form_.historyContents(), history);
        QCOMPARE(page("window.x").toInt(), 1);
        QVERIFY(control<QPlainTextEdit>("lineText")->toPlainText().isEmpty());
        auto* tips = control<QPlainTextEdit>("tipsText");
        QCOMPARE(tips->textCursor().position(), tips->document()->characterCount() - 1);

        // A line the page rejects: its description, and the next run works all the same.
        runLine(QStringLiteral("throw new Error('boom');"), QStringLiteral("JavaScript"));
        const QStringList lines = form_.historyContents().split(kCrLf);
        QCOMPARE(lines.at(2), QStringLiteral(">>throw new Error('boom');"));
        QVERIFY2(lines.at(3).startsWith("->") && lines.at(3).contains("boom"),
                 qPrintable(lines.at(3)));
        // A syntax error is told of the line as typed, not of anything the program adds.
        runLine(QStringLiteral("foo("), QStringLiteral("JavaScript"));
        QCOMPARE(form_.historyContents().split(kCrLf).at(5),
                 QStringLiteral("->Uncaught SyntaxError: Unexpected end of input"));
        history = form_.historyContents();
        // Several lines go to the page as one piece and into the history as typed.
        runLine(QStringLiteral("window.a=1;\nwindow.b=2;"), QStringLiteral("JavaScript"));
        history += QStringLiteral(">>window.a=1;\r\nwindow.b=2;\r\n+>执行成功\r\n");
        QCOMPARE(form_.historyContents(), history);
        QCOMPARE(page("window.a+window.b").toInt(), 3);

        // A function: the statement stays in the combo, and running it again adds a twin.
        auto* functions = control<QComboBox>("functionCombo");
        functions->setCurrentIndex(0);
        functions->setEditText(QStringLiteral("add(2,3);"));
        control<QPushButton>("executeFunctionCommand")->click();
        control<QPushButton>("executeFunctionCommand")->click();
        history += QStringLiteral(">>add(2,3);\r\n+>执行成功\r\n").repeated(2);
        QCOMPARE(form_.historyContents(), history);
        QCOMPARE(functions->currentText(), QStringLiteral("add(2,3);"));
        QCOMPARE(page("window.sum").toInt(), 5);
    }

    // The page's run element keeps the language of the first run in that page. A run in a
    // language that does not run here is a failure, with its description in the history, and
    // leaves the choice to the next run.
    void firstRunInAPageDecidesTheLanguage_data() {
        QTest::addColumn<QString>("first");  // a language, or empty for the function button
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("secondRuns");
        QTest::newRow("JavaScript, then VBScript") << "JavaScript"
                                                   << "VBScript" << true;
        QTest::newRow("VBScript, then JavaScript") << "VBScript"
                                                   << "JavaScript" << true;
        QTest::newRow("VBScript, then VBScript") << "VBScript"
                                                 << "VBScript" << false;
        QTest::newRow("function, then VBScript") << QString() << "VBScript" << true;
    }
    void firstRunInAPageDecidesTheLanguage() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, secondRuns);
        QVERIFY(open());
        QVERIFY(go());  // a fresh page: the element is made anew
        if (first.isEmpty()) {
            control<QComboBox>("functionCombo")->setEditText(QStringLiteral("add(1,1);"));
            control<QPushButton>("executeFunctionCommand")->click();
            QCOMPARE(page("window.sum").toInt(), 2);
        } else {
            clearHistory();
            runLine(QStringLiteral("window.first=1;"), first);
            const bool runs = first == QStringLiteral("JavaScript");
            QCOMPARE(page("window.first===1").toBool(), runs);
            QCOMPARE(form_.historyContents(),
                     QStringLiteral(">>window.first=1;\r\n") +
                         (runs ? QStringLiteral("+>执行成功")
                               : QStringLiteral(
                                     "->不支持的脚本语言: VBScript (只能运行 JavaScript 脚本)")) +
                         kCrLf);
        }
        clearHistory();
        runLine(QStringLiteral("window.probe=1;"), second);
        QCOMPARE(page("window.probe===1").toBool(), secondRuns);
        QCOMPARE(form_.historyContents().split(kCrLf).value(1).startsWith(QStringLiteral("+>")),
                 secondRuns);
        const QString id = MainWndForm::instance().rndFlagStr;
        QCOMPARE(page(QStringLiteral("document.querySelectorAll('#%1').length").arg(id)).toInt(),
                 secondRuns ? 1 : 0);
    }

    void newWindowModes_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("index");
        QTest::newRow("locked: opens in the next element") << 0 << 1;
        QTest::newRow("blocked: refused") << 1 << 0;
    }
    void newWindowModes() {
        QFETCH(int, item);
        QFETCH(int, index);
        QVERIFY(open());
        QVERIFY(go());
        form_.host().selectNewWindowItem(item);
        QCOMPARE(form_.newWindowMode, qint16(item == 0 ? 0 : -1));
        QSignalSpy asked(array(), &BrowserArray::NewWindow2);
        QSignalSpy done(array(), &BrowserArray::DocumentComplete);
        QVERIFY(inUse()->Document().execScript("window.open('/other.html');").ok);
        QVERIFY(waitFor(asked));
        if (index > 0) QVERIFY(waitFor(done));
        QCOMPARE(form_.curBrowserIndex, qint16(index));
        if (index > 0) {
            // The kept window's page is dressed like any other, at the browser's place.
            QCOMPARE(inUse()->LocationURL(), server_->url("/other.html"));
            QVERIFY(page("!!document.getElementById('b1')").toBool());
            auto* frame = control<QGroupBox>("debugFrame");
            QCOMPARE(inUse()->Left() / 15, (frame->x() + frame->width()) + 100 / 15);

            // Opened again after a kept window, the load starts over on element 0.
            form_.close();
            QVERIFY(!form_.isLoaded());
            QCOMPARE(form_.curBrowserIndex, qint16(1));
            QVERIFY(open());
            QCOMPARE(form_.curBrowserIndex, qint16(0));
            QCOMPARE(form_.newWindowMode, qint16(0));
            QCOMPARE(control<QComboBox>("languageCombo")->itemText(0), QStringLiteral("JScript"));
            QCOMPARE(control<QComboBox>("functionCombo")->count(), 1);
            form_.close();
        }
    }

    void panelFoldsAndWindowKeepsItsSize() {
        QVERIFY(open());
        auto* frame = control<QGroupBox>("debugFrame");
        QCOMPARE(frame->toolTip(), QStringLiteral("双击隐藏此框"));
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(3, 30));
        QCOMPARE(form_.debugFrameWidth, qint16(100));
        QCOMPARE(frame->toolTip(), QStringLiteral("双击显示此框"));
        QCOMPARE(frame->width(), platform::px(100));
        QCOMPARE(inUse()->Left() / 15, (frame->x() + frame->width()) + 100 / 15);
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(3, 30));
        QCOMPARE(form_.debugFrameWidth, DebugWndForm::kFrameShownTwips);
        QCOMPARE(frame->toolTip(), QStringLiteral("双击隐藏此框"));
        // A double-click on a control inside the frame does not fold it.
        QTest::mouseDClick(control<QPlainTextEdit>("tipsText")->viewport(), Qt::LeftButton);
        QCOMPARE(form_.debugFrameWidth, DebugWndForm::kFrameShownTwips);

        form_.widget()->resize(200, 150);
        QVERIFY(QTest::qWaitFor(
            [&] {
                return platform::twips(form_.widget()->frameGeometry().width()) >=
                           DebugWndForm::kMinWidthTwips &&
                       platform::twips(form_.widget()->frameGeometry().height()) >=
                           DebugWndForm::kMinHeightTwips;
            },
            3000));
    }

    // Last: it closes the script window, which brings the main window back.
    void closedScriptWindowIsLoadedAgainUnseen() {
        QVERIFY(open());
        ScriptWndForm::instance().close();
        QVERIFY(!ScriptWndForm::instance().isLoaded());
        QVERIFY(go());
        QVERIFY(ScriptWndForm::instance().isLoaded());
        QVERIFY(!ScriptWndForm::instance().widget()->isVisible());
        // Empty panels: no plug-in tags and an empty code script after the first skin.
        const QString parts = added();
        QVERIFY2(!parts.contains("src="), qPrintable(parts));
        QVERIFY2(parts.contains("script:code|div:panel"), qPrintable(parts));
    }
};

SUITE_TEST_MAIN(DebugWndFormTest)
#include "tst_debugwndform.moc"
